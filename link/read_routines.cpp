#include "link/read_routines.hpp"

#include <algorithm>
#include <chrono>

#include "link/command_primitives.hpp"
#include "link/report_texts.hpp"
#include "link/result_codes.hpp"

namespace brisko {
namespace {

constexpr std::size_t kSector = 128;
constexpr std::size_t kExternalLoaderChunks = 9;
// Of the 1152 bytes read back, the last eight are not part of the comparison.
constexpr std::size_t kExternalLoaderCompared = 1144;

}  // namespace

// The worker puts reply bytes into replyQueue as the chip sends them; a byte
// that has not come within the limit never will.
bool TakeQueuedReply(LegacyQueues& queues, MessageSink& owner, const LinkTiming& timing,
                     const std::atomic<bool>& operationFailed, std::uint8_t& byte) {
  const auto deadline = std::chrono::steady_clock::now() + timing.queueReplyWait;
  QueueResult result = QueueResult::FullOrEmpty;
  queues.AwaitNews(deadline, [&] {
    result = QueueGet(queues.replyQueue, queues.replyMutex, byte, owner);
    // Nothing more will come once the worker or the chip has given up.
    return result != QueueResult::FullOrEmpty || operationFailed.load() || queues.commandLost.load() ||
           queues.workerGone.load();
  });
  // The worker sets the latch when it has given up: a byte taken then is no
  // part of a reply that will complete.
  return result == QueueResult::Ok && !operationFailed.load();
}

bool ReadLoaderBytes(SerialPort& port, std::uint32_t address, std::span<std::uint8_t> out) {
  for (std::size_t done = 0; done < out.size(); done += kSector) {
    const std::size_t n = std::min(kSector, out.size() - done);
    const auto at = static_cast<std::uint16_t>(address + done);
    bool whole = SendFrame(port, cmd::kRead, at, static_cast<std::uint8_t>(n));
    for (std::size_t i = 0; whole && i < n; ++i) whole = port.ReadByte(out[done + i]);
    if (!whole) {
      port.PurgeInput();
      return false;
    }
  }
  return true;
}

bool ReadLoaderBytesQueued(LegacyQueues& queues, MessageSink& owner, const LinkTiming& timing,
                           const std::atomic<bool>& operationFailed, std::uint32_t address,
                           std::span<std::uint8_t> out) {
  // Whatever a read given up earlier still brings in is not this read's.
  SettleQueues(queues, timing.inputWait + timing.readCompletion);
  for (std::size_t done = 0; done < out.size(); done += kSector) {
    const std::size_t n = std::min(kSector, out.size() - done);
    const auto at = static_cast<std::uint16_t>(address + done);
    if (!QueueFrame(queues, owner, cmd::kRead, at, static_cast<std::uint8_t>(n))) return false;
    for (std::size_t i = 0; i < n; ++i)
      if (!TakeQueuedReply(queues, owner, timing, operationFailed, out[done + i])) return false;
  }
  return true;
}

Result VerifyExternalLoaderImage(SerialPort& port, std::span<const std::uint8_t> image) {
  for (std::size_t k = 0; k < kExternalLoaderChunks; ++k) {
    auto address = static_cast<std::uint16_t>(k * kSector);
    if (!SendFrame(port, cmd::kStartOrExternalRead, address, kSector)) {
      port.Owner().Tell(text::kSendReadCommandFailed);
      return Result::CommFailure;
    }
    int mismatches = 0;
    for (std::size_t j = 0; j < kSector; ++j) {
      std::uint8_t byte = 0;
      if (!port.ReadByte(byte)) {
        port.Owner().Tell(text::kDataByteMissing);
        return Result::CommFailure;
      }
      std::size_t i = k * kSector + j;
      // An image shorter than the compared range cannot be the one on the chip.
      if (i < kExternalLoaderCompared && (i >= image.size() || byte != image[i])) ++mismatches;
    }
    if (mismatches > 0) return Result::Failed;
  }
  return Result::Ok;
}

}  // namespace brisko
