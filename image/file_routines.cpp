#include "image/file_routines.hpp"

#include <algorithm>
#include <optional>

#include "image/image_file.hpp"
#include "link/report_texts.hpp"
#include "link/result_codes.hpp"
#include "link/user_paths.hpp"
#include "chip/chip_catalogue.hpp"

namespace brisko {
namespace {

constexpr const char* kEraseFailedOnChip = "Erase failed on talon51!";

// An external bank is one 64 KB window, erased in 4096-byte sectors but
// programmed in 128-byte chunks.
constexpr std::uint64_t kBankEnd = 0x10000;
constexpr std::uint32_t kBankEraseUnit = 4096;
constexpr std::uint32_t kBankChunk = 128;
// Internal flash is padded to whole 128-byte block-0 sectors.
constexpr std::uint32_t kInternalPadUnit = 128;

// A stretch of the image file and where on the chip it goes. A file is laid
// down from the start address on, so file offset k belongs at start + k.
struct Part {
  int block = 0;
  std::uint32_t address = 0;
  std::uint64_t fileOffset = 0;
  std::size_t length = 0;
};

int OverSize(FileRoutineContext& ctx) {
  ctx.messages.Tell(text::kFileOverSize);
  return kResultOverSize;
}

std::uint64_t BlockEnd(const SessionRecord& record, int block) {
  return static_cast<std::uint64_t>(record.BaseAddress(block)) + record.BlockSize(block);
}

// Block 1 sits at the top of the 64 KB space on all but KT540/KT550, so a
// file for block 0 may run on into it: the part beyond block 0 and below
// block 1 is not used.
bool DownloadMaySpill(int model, std::uint64_t end) {
  if (SharesBlockAddresses(model)) return false;
  const std::uint64_t from = HasBlock1AtE000(model) ? 0xE000 : 0xF000;
  return end >= from && end <= kBankEnd;
}

// A compare reads block 1 at its own addresses only where the loader shows
// it there: always on KT410/KT420, in external memory mode on the E000h models.
bool CompareMaySpill(const SessionRecord& record, std::uint64_t end) {
  const int model = record.GetChipModel();
  if (IsKT400(model)) return end >= 0xF000 && end <= kBankEnd;
  if (HasBlock1AtE000(model) && !record.IsInternalMode()) return end >= 0xE000 && end <= kBankEnd;
  return false;
}

// Splits a file that runs past block 0 into its block-0 and block-1 parts.
std::optional<Part> SplitAtBlockEnd(const SessionRecord& record, Part& first, std::uint64_t end) {
  const std::uint64_t limit = BlockEnd(record, 0);
  if (first.address >= limit) return std::nullopt;
  const std::uint32_t base1 = record.BaseAddress(1);
  first.length = static_cast<std::size_t>(limit - first.address);
  return Part{1, base1, base1 - first.address, static_cast<std::size_t>(end - base1)};
}

// Erase, program, read back and compare one part, through the loader's own
// commands (block 0, or either block in external memory mode).
int WriteAndVerify(FileRoutineContext& ctx, ImageFile& file, const Part& part) {
  SessionRecord& record = ctx.record;
  const std::uint32_t unit = record.SectorSize(part.block);
  const std::size_t padded = RoundUp(part.length, unit);
  ImageBuffer data;
  ImageBuffer readBack;
  const int loaded = LoadImage(file, part.fileOffset, part.length, padded, data, ctx.messages);
  if (loaded != kResultOk) return loaded;
  if (!readBack.Allocate(padded)) return kResultNoMemory;

  if (ctx.engine.EraseSectors(part.address, unit, static_cast<std::uint32_t>(padded / unit)) != kResultOk) {
    ctx.messages.Tell(text::kSectorEraseFailed);
    return kResultFail;
  }
  if (ctx.engine.ProgramRange(part.address, unit, data.Data(), padded) != kResultOk) {
    ctx.messages.Tell(text::kDownloadFailed);
    return kResultProgramFailed;
  }
  const std::size_t got = ctx.engine.ReadRange(readBack.Data(), part.address, padded, unit);

  // The block's image shows what was read, at the offset of its address.
  FlashImage& image = record.BlockImage(part.block);
  const std::size_t offset = part.address - record.BaseAddress(part.block);
  if (offset < image.Size())
    std::copy_n(readBack.Data(), std::min(got, image.Size() - offset), image.Data() + offset);

  if (got != padded) {
    ctx.messages.Tell(text::kReadFailed);
    return kResultNoReply;
  }
  if (!std::equal(data.Data(), data.Data() + padded, readBack.Data())) {
    ctx.messages.Tell(text::kVerifyFailed);
    return kResultProgramFailed;
  }
  return kResultOk;
}

int ComparePart(FileRoutineContext& ctx, ImageFile& file, const Part& part, std::size_t padUnit,
                long& mismatchAddress, int& mismatchPair) {
  ImageBuffer data;
  const int loaded =
      LoadImage(file, part.fileOffset, part.length, RoundUp(part.length, padUnit), data, ctx.messages);
  if (loaded != kResultOk) return loaded;
  const int compared = ctx.engine.CompareRange(part.address, ctx.record.SectorSize(part.block), data.Data(),
                                               part.length, mismatchAddress, mismatchPair);
  return compared == kResultOk ? kResultOk : kResultProgramFailed;
}

}  // namespace

int DownloadFileToRange(FileRoutineContext& ctx, const std::string& fileName, int block,
                        std::uint32_t startAddress) {
  const bool bank = ctx.state.ExternalBankSelected();
  const std::uint32_t unit = bank ? kBankEraseUnit : ctx.record.SectorSize(block);
  ImageFile file;
  if (file.Open(fileName, TempImagePath(), ctx.messages) != kResultOk) return kResultFail;
  const std::uint64_t end = startAddress + file.Length();
  if (end > (bank ? kBankEnd : BlockEnd(ctx.record, block))) return OverSize(ctx);

  const auto length = static_cast<std::size_t>(file.Length());
  const std::size_t padded = RoundUp(length, bank ? kBankEraseUnit : kInternalPadUnit);
  ImageBuffer data;
  const int loaded = LoadImage(file, 0, length, padded, data, ctx.messages);
  if (loaded != kResultOk) return loaded;

  if (ctx.engine.EraseSectors(startAddress, unit, static_cast<std::uint32_t>(padded / unit)) != kResultOk)
    return kResultFail;
  const std::uint32_t chunk = bank ? kBankChunk : unit;
  if (ctx.engine.ProgramRange(startAddress, chunk, data.Data(), padded) != kResultOk)
    return kResultProgramFailed;
  return kResultOk;
}

int DownloadFileToBlock(FileRoutineContext& ctx, const std::string& fileName, int block,
                        std::uint32_t startAddress) {
  SessionRecord& record = ctx.record;
  ImageFile file;
  if (file.Open(fileName, TempImagePath(), ctx.messages) != kResultOk) return kResultFail;
  const std::uint64_t end = startAddress + file.Length();

  Part first{block, startAddress, 0, static_cast<std::size_t>(file.Length())};
  std::optional<Part> spill;
  if (end > BlockEnd(record, block)) {
    if (block != 0 || !DownloadMaySpill(record.GetChipModel(), end)) return OverSize(ctx);
    spill = SplitAtBlockEnd(record, first, end);
    if (!spill) return OverSize(ctx);
  }

  const int result = WriteAndVerify(ctx, file, first);
  if (result != kResultOk || !spill) return result;
  return WriteAndVerify(ctx, file, *spill);
}

int DownloadFileToBlock1(FileRoutineContext& ctx, const std::string& fileName, std::uint32_t startAddress) {
  SessionRecord& record = ctx.record;
  const std::uint32_t unit = record.SectorSize(1);
  ImageFile file;
  if (file.Open(fileName, TempImage1Path(), ctx.messages) != kResultOk) return kResultFail;
  if (startAddress + file.Length() > BlockEnd(record, 1)) return OverSize(ctx);

  const auto length = static_cast<std::size_t>(file.Length());
  const std::size_t padded = RoundUp(length, unit);
  ImageBuffer data;
  const int loaded = LoadImage(file, 0, length, padded, data, ctx.messages);
  if (loaded != kResultOk) return loaded;

  // A loader rewrite leaves the erase to ProgramBlock1Range's own frame.
  if (!ctx.state.loaderUpdateInProgress &&
      ctx.engine.EraseSectors(startAddress, unit, static_cast<std::uint32_t>(padded / unit)) != kResultOk) {
    ctx.messages.Tell(text::kSectorEraseFailed);
    record.Port().Owner().Tell(kEraseFailedOnChip);
    return kResultFail;
  }
  if (ctx.engine.ProgramBlock1Range(startAddress, unit, data.Data(), padded) != kResultOk) {
    ctx.messages.Tell(text::kDownloadFailed);
    return kResultProgramFailed;
  }
  return kResultOk;
}

int CompareFileWithRange(FileRoutineContext& ctx, const std::string& fileName, int block,
                         std::uint32_t startAddress, long& mismatchAddress, int& mismatchPair) {
  SessionRecord& record = ctx.record;
  const bool bank = ctx.state.ExternalBankSelected();
  ImageFile file;
  if (file.Open(fileName, TempImagePath(), ctx.messages) != kResultOk) return kResultFail;
  const std::uint64_t end = startAddress + file.Length();
  const std::uint64_t limit = bank ? kBankEnd : BlockEnd(record, block);

  Part first{block, startAddress, 0, static_cast<std::size_t>(file.Length())};
  std::optional<Part> spill;
  if (end > limit) {
    if (startAddress >= limit) return OverSize(ctx);
    if (SharesBlockAddresses(record.GetChipModel())) {
      // Only the part inside the 64 KB block is compared.
      first.length = static_cast<std::size_t>(limit - startAddress);
    } else if (!bank && block == 0 && CompareMaySpill(record, end)) {
      spill = SplitAtBlockEnd(record, first, end);
    } else {
      return OverSize(ctx);
    }
  }

  const std::size_t padUnit = bank ? kBankEraseUnit : record.SectorSize(block);
  const int result = ComparePart(ctx, file, first, padUnit, mismatchAddress, mismatchPair);
  if (result != kResultOk || !spill) return result;
  return ComparePart(ctx, file, *spill, record.SectorSize(1), mismatchAddress, mismatchPair);
}

}  // namespace brisko
