#pragma once
#include <string>

#include "link/message_sink.hpp"
#include "chip/flash_engine.hpp"
#include "chip/session_record.hpp"
#include "chip/session_state.hpp"

namespace brisko {

// What the file-level routines work with.
struct FileRoutineContext {
  SessionRecord& record;
  SessionState& state;
  FlashEngine& engine;
  MessageSink& messages;
};

// Results: 10 success; -1 cannot open/convert or an erase failed; 3 over
// size; 4 programming or comparing failed; 6 read-back failed; 7 no memory.
int DownloadFileToRange(FileRoutineContext& ctx, const std::string& fileName, int block,
                        std::uint32_t startAddress);
int DownloadFileToBlock(FileRoutineContext& ctx, const std::string& fileName, int block,
                        std::uint32_t startAddress);
int DownloadFileToBlock1(FileRoutineContext& ctx, const std::string& fileName, std::uint32_t startAddress);
int CompareFileWithRange(FileRoutineContext& ctx, const std::string& fileName, int block,
                         std::uint32_t startAddress, long& mismatchAddress, int& mismatchPair);

}  // namespace brisko
