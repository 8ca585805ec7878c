#pragma once
#include <string>

#include "image/image_file.hpp"
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

// Which routine an image is meant for: each lays it out in its own way.
enum class ImageUse { DownloadRange, DownloadBlock, DownloadBlock1, Compare };

// Whether an opened image fits where `use` would put it: 10, or 3 once
// "over size" was told. Commands check this before they touch the chip.
int CheckImageFits(FileRoutineContext& ctx, const ImageFile& file, ImageUse use, int block,
                   std::uint32_t startAddress);
// Opens the file and checks that it fits: 10, -1 when it cannot be read, or
// 3 when it is over size (told either way).
int OpenImageFor(FileRoutineContext& ctx, ImageFile& file, const std::string& fileName, ImageUse use, int block,
                 std::uint32_t startAddress);

// Results: 10 success; -1 the image could not be read or an erase failed; 3
// over size; 4 programming or comparing failed; 6 read-back failed; 7 no
// memory; 13 cancelled between two sectors.
int DownloadFileToRange(FileRoutineContext& ctx, const ImageFile& file, int block, std::uint32_t startAddress);
int DownloadFileToBlock(FileRoutineContext& ctx, const ImageFile& file, int block, std::uint32_t startAddress);
int DownloadFileToBlock1(FileRoutineContext& ctx, const ImageFile& file, std::uint32_t startAddress);
int CompareFileWithRange(FileRoutineContext& ctx, const ImageFile& file, int block, std::uint32_t startAddress,
                         long& mismatchAddress, int& mismatchPair);

}  // namespace brisko
