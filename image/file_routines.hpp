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

// Whether an opened image fits where `use` would put it: Ok, or OverSize
// once "over size" was told. Commands check this before they touch the chip.
Result CheckImageFits(FileRoutineContext& ctx, const ImageFile& file, ImageUse use, int block,
                      std::uint32_t startAddress);
// Opens the file and checks that it fits: Ok, Failed when it cannot be read,
// or OverSize (told either way). Nothing on the chip is touched.
Result OpenImageFor(FileRoutineContext& ctx, ImageFile& file, const std::string& fileName, ImageUse use,
                    int block, std::uint32_t startAddress);

// The transfers of an opened image. Results: Ok; Failed an erase failed;
// OverSize; ProgramFailed programming or comparing failed; NoReply the
// read-back came short; NoMemory; Cancelled between two sectors or chunks
// (nothing told for it). Each value names one step (TransferStepName).
Result DownloadFileToRange(FileRoutineContext& ctx, const ImageFile& file, int block, std::uint32_t startAddress);
// DownloadFileToRange that reads the range first and erases and writes only
// the sectors whose bytes differ (NoReply when that read came short);
// `skippedSectors` receives how many were left as they were.
Result DownloadChangedSectorsToRange(FileRoutineContext& ctx, const ImageFile& file, int block,
                                     std::uint32_t startAddress, std::size_t& skippedSectors);
Result DownloadFileToBlock(FileRoutineContext& ctx, const ImageFile& file, int block, std::uint32_t startAddress);
Result DownloadFileToBlock1(FileRoutineContext& ctx, const ImageFile& file, std::uint32_t startAddress);
Result CompareFileWithRange(FileRoutineContext& ctx, const ImageFile& file, int block, std::uint32_t startAddress,
                            long& mismatchAddress, int& mismatchPair);

// The step of a transfer that ended with `result`: "erase", "program and
// verify", "read back", "allocate the image", "size check"; "" for Ok and
// Cancelled.
const char* TransferStepName(Result result);

}  // namespace brisko
