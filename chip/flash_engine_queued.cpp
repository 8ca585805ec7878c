#include <algorithm>
#include <vector>

#include "link/command_primitives.hpp"
#include "link/read_routines.hpp"
#include "link/result_codes.hpp"
#include "chip/engine_commands.hpp"
#include "chip/engine_labels.hpp"
#include "chip/flash_engine.hpp"

// The flash operations over the legacy worker's queues. The worker owns the
// port; the window thread puts frames and data into the queues and polls the
// reply queue for each byte it expects.

namespace brisko {

bool FlashEngine::TakeReply(LegacyQueues& queues, std::uint8_t& byte) {
  return TakeQueuedReply(queues, messages_, Timing(), state_.operationFailed, byte);
}

bool FlashEngine::TakeReplies(LegacyQueues& queues, std::span<std::uint8_t> out) {
  return std::all_of(out.begin(), out.end(), [&](std::uint8_t& b) { return TakeReply(queues, b); });
}

bool FlashEngine::QueueData(LegacyQueues& queues, std::span<const std::uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [&](std::uint8_t b) {
    return QueuePut(queues.parameterQueue, queues.parameterMutex, b, messages_) == QueueResult::Ok;
  });
}

Result FlashEngine::EraseSectorsQueued(LegacyQueues& queues, std::uint32_t start, std::uint32_t sectorSize,
                                       std::uint32_t count) {
  SettleQueues(queues, Timing().inputWait + Timing().readCompletion);
  BeginProgress(count, label::kErasing);
  std::uint32_t address = start;
  for (std::uint32_t i = 0; i < count; ++i, address += sectorSize) {
    std::uint8_t reply = 0;
    const bool erased = QueueFrame(queues, messages_, cmd::kErase, WireAddress(address), 0x01) &&
                        TakeReply(queues, reply) && reply == kAck;
    if (!erased) return Finish(false);
    progress_.ProgressAdvance();
  }
  return Finish(true);
}

bool FlashEngine::QueueProgramAndVerifyChunk(LegacyQueues& queues, std::uint32_t address,
                                             std::span<const std::uint8_t> working,
                                             std::span<std::uint8_t> readBack) {
  const std::uint8_t count = CountByte(working.size());
  return QueueFrame(queues, messages_, cmd::kProgram, WireAddress(address), count) &&
         QueueData(queues, working) &&
         QueueFrame(queues, messages_, cmd::kRead, WireAddress(address), count) &&
         TakeReplies(queues, readBack) && std::equal(readBack.begin(), readBack.end(), working.begin());
}

Result FlashEngine::ProgramRangeQueued(LegacyQueues& queues, std::uint32_t start, std::uint32_t chunk,
                                       const std::uint8_t* data, std::size_t length) {
  SettleQueues(queues, Timing().inputWait + Timing().readCompletion);
  return ProgramChunks(start, chunk, data, length, label::kWriting, nullptr, [this, &queues](std::uint32_t address, auto working, auto readBack) {
    return QueueProgramAndVerifyChunk(queues, address, working, readBack);
  });
}

}  // namespace brisko
