#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <span>

#include "link/link_timing.hpp"
#include "link/message_sink.hpp"
#include "link/queue_ops.hpp"
#include "link/result_codes.hpp"
#include "link/serial_port.hpp"

namespace brisko {

// Block-0 areas the host keeps while a helper program occupies them.
struct SavedAreas {
  std::array<std::uint8_t, 128> savedSector0{};    // 0000h-007Fh
  std::array<std::uint8_t, 384> savedArea2000{};   // 2000h-217Fh
  std::array<std::uint8_t, 1280> savedUserCode{};  // 0000h-04FFh (legacy loader)
};

// Ok, or Failed with "Failed to Send Read Command!" or
// "Failed to Read data byte from the chip!" told to the port's owner.
Result SaveSector0(SerialPort& port, SavedAreas& saved);
Result SaveArea2000(SerialPort& port, SavedAreas& saved);

// One reply byte from the worker's replyQueue, waited for at most
// timing.queueReplyWait; false at once when operationFailed is set, when the
// chip gave up on the command, or when the worker has ended with the queue
// empty.
bool TakeQueuedReply(LegacyQueues& queues, MessageSink& owner, const LinkTiming& timing,
                     const std::atomic<bool>& operationFailed, std::uint8_t& byte);

// Through the worker's queues. Each reply byte is polled from replyQueue for
// at most timing.queueReplyWait, and the wait ends early once operationFailed
// is set; a byte that does not come is "Failed to Read data byte from the
// chip!" and Failed.
Result SaveUserCode(LegacyQueues& queues, MessageSink& owner, const LinkTiming& timing,
                    const std::atomic<bool>& operationFailed, SavedAreas& saved);

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
