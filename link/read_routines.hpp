#pragma once
#include <atomic>
#include <cstdint>
#include <span>

#include "link/link_timing.hpp"
#include "link/message_sink.hpp"
#include "link/queue_ops.hpp"
#include "link/result_codes.hpp"
#include "link/serial_port.hpp"

namespace brisko {

// One reply byte from the worker's replyQueue, waited for at most
// timing.queueReplyWait; false at once when operationFailed is set, when the
// chip gave up on the command, or when the worker has ended with the queue
// empty.
bool TakeQueuedReply(LegacyQueues& queues, MessageSink& owner, const LinkTiming& timing,
                     const std::atomic<bool>& operationFailed, std::uint8_t& byte);

// Block-0 bytes as the loader shows them, with 0Ch frames of at most 128
// bytes; silent, the caller reports. A short answer ends the read, and its
// late bytes are purged so that they cannot pass for the next answer.
bool ReadLoaderBytes(SerialPort& port, std::uint32_t address, std::span<std::uint8_t> out);
// The same through the legacy worker's queues.
bool ReadLoaderBytesQueued(LegacyQueues& queues, MessageSink& owner, const LinkTiming& timing,
                           const std::atomic<bool>& operationFailed, std::uint32_t address,
                           std::span<std::uint8_t> out);

// Reads the external low bank's first 1152 bytes (03h frames) and compares the
// first 1144 with `image`. Ok equal, Failed a mismatch (stops after the chunk
// that holds it), CommFailure a frame not sent or a byte missing.
Result VerifyExternalLoaderImage(SerialPort& port, std::span<const std::uint8_t> image);

}  // namespace brisko
