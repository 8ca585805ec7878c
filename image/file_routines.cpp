#include "image/file_routines.hpp"

#include <algorithm>
#include <optional>
#include <vector>

#include "image/image_file.hpp"
#include "link/report_texts.hpp"
#include "link/result_codes.hpp"
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

struct Layout {
  Part first;
  std::optional<Part> spill;
};

// Where an image of `length` bytes goes; none when it is over size.
std::optional<Layout> PlanLayout(const SessionRecord& record, bool bank, ImageUse use, int block,
                                 std::uint32_t start, std::uint64_t length) {
  const std::uint64_t end = start + length;
  Layout layout{Part{block, start, 0, static_cast<std::size_t>(length)}, std::nullopt};
  switch (use) {
    case ImageUse::DownloadRange:
      if (end > (bank ? kBankEnd : BlockEnd(record, block))) return std::nullopt;
      return layout;
    case ImageUse::DownloadBlock1:
      if (end > BlockEnd(record, 1)) return std::nullopt;
      return layout;
    case ImageUse::DownloadBlock:
      if (end <= BlockEnd(record, block)) return layout;
      if (block != 0 || !DownloadMaySpill(record.GetChipModel(), end)) return std::nullopt;
      layout.spill = SplitAtBlockEnd(record, layout.first, end);
      if (!layout.spill) return std::nullopt;
      return layout;
    case ImageUse::Compare: {
      const std::uint64_t limit = bank ? kBankEnd : BlockEnd(record, block);
      if (end <= limit) return layout;
      if (start >= limit) return std::nullopt;
      if (SharesBlockAddresses(record.GetChipModel())) {
        // Only the part inside the 64 KB block is compared.
        layout.first.length = static_cast<std::size_t>(limit - start);
        return layout;
      }
      if (bank || block != 0 || !CompareMaySpill(record, end)) return std::nullopt;
      layout.spill = SplitAtBlockEnd(record, layout.first, end);
      return layout;
    }
  }
  return std::nullopt;
}

std::optional<Layout> PlanOrTell(FileRoutineContext& ctx, const ImageFile& file, ImageUse use, int block,
                                 std::uint32_t start) {
  auto layout = PlanLayout(ctx.record, ctx.state.ExternalBankSelected(), use, block, start, file.Length());
  if (!layout) ctx.messages.Tell(text::kFileOverSize);
  return layout;
}

// Erase, program, read back and compare one part, through the loader's own
// commands (block 0, or either block in external memory mode).
Result WriteAndVerify(FileRoutineContext& ctx, const ImageFile& file, const Part& part) {
  SessionRecord& record = ctx.record;
  const std::uint32_t unit = record.SectorSize(part.block);
  const std::size_t padded = RoundUp(part.length, unit);
  ImageBuffer data;
  ImageBuffer readBack;
  const Result loaded = LoadImage(file, part.fileOffset, part.length, padded, data, ctx.messages);
  if (loaded != Result::Ok) return loaded;
  if (!readBack.Allocate(padded)) return Result::NoMemory;

  const Result erased = ctx.engine.EraseSectors(part.address, unit, static_cast<std::uint32_t>(padded / unit));
  if (erased == Result::Cancelled) return erased;
  if (erased != Result::Ok) {
    ctx.messages.Tell(text::kSectorEraseFailed);
    return Result::Failed;
  }
  const Result programmed = ctx.engine.ProgramRange(part.address, unit, data.Data(), padded);
  if (programmed == Result::Cancelled) return programmed;
  if (programmed != Result::Ok) {
    ctx.messages.Tell(text::kDownloadFailed);
    return Result::ProgramFailed;
  }
  std::size_t got = 0;
  const Result read = ctx.engine.ReadRange(readBack.Data(), part.address, padded, unit, &got);

  // The block's image shows what was read, at the offset of its address.
  FlashImage& image = record.BlockImage(part.block);
  const std::size_t offset = part.address - record.BaseAddress(part.block);
  if (offset < image.Size())
    std::copy_n(readBack.Data(), std::min(got, image.Size() - offset), image.Data() + offset);

  if (read == Result::Cancelled) return read;
  if (read != Result::Ok) {
    ctx.messages.Tell(text::kReadFailed);
    return Result::NoReply;
  }
  if (!std::equal(data.Data(), data.Data() + padded, readBack.Data())) {
    ctx.messages.Tell(text::kVerifyFailed);
    return Result::ProgramFailed;
  }
  return Result::Ok;
}

Result ComparePart(FileRoutineContext& ctx, const ImageFile& file, const Part& part, std::size_t padUnit,
                   long& mismatchAddress, int& mismatchPair) {
  ImageBuffer data;
  const Result loaded =
      LoadImage(file, part.fileOffset, part.length, RoundUp(part.length, padUnit), data, ctx.messages);
  if (loaded != Result::Ok) return loaded;
  const Result compared = ctx.engine.CompareRange(part.address, ctx.record.SectorSize(part.block), data.Data(),
                                                  part.length, mismatchAddress, mismatchPair);
  if (compared == Result::Ok || compared == Result::Cancelled) return compared;
  return Result::ProgramFailed;
}

}  // namespace

Result CheckImageFits(FileRoutineContext& ctx, const ImageFile& file, ImageUse use, int block,
                      std::uint32_t startAddress) {
  return PlanOrTell(ctx, file, use, block, startAddress) ? Result::Ok : Result::OverSize;
}

Result OpenImageFor(FileRoutineContext& ctx, ImageFile& file, const std::string& fileName, ImageUse use,
                    int block, std::uint32_t startAddress) {
  if (file.Open(fileName, ctx.messages) != Result::Ok) return Result::Failed;
  return CheckImageFits(ctx, file, use, block, startAddress);
}

const char* TransferStepName(Result result) {
  switch (result) {
    case Result::Ok:
    case Result::Cancelled: return "";
    case Result::Failed: return "erase";
    case Result::ProgramFailed: return "program and verify";
    case Result::NoReply: return "read back";
    case Result::NoMemory: return "allocate the image";
    case Result::OverSize: return "size check";
    case Result::CommFailure:
    case Result::FrameNotSent:
    case Result::PortNotOpened:
    case Result::WrongReply: break;
  }
  return "transfer";
}

// Both downloads into a range; with `skippedSectors` only the sectors that
// differ are written.
static Result DownloadToRange(FileRoutineContext& ctx, const ImageFile& file, int block, std::uint32_t startAddress,
                       std::size_t* skippedSectors) {
  const bool bank = ctx.state.ExternalBankSelected();
  const std::uint32_t unit = bank ? kBankEraseUnit : ctx.record.SectorSize(block);
  if (!PlanOrTell(ctx, file, ImageUse::DownloadRange, block, startAddress)) return Result::OverSize;

  const auto length = static_cast<std::size_t>(file.Length());
  const std::size_t padded = RoundUp(length, bank ? kBankEraseUnit : kInternalPadUnit);
  ImageBuffer data;
  const Result loaded = LoadImage(file, 0, length, padded, data, ctx.messages);
  if (loaded != Result::Ok) return loaded;

  const std::uint32_t chunk = bank ? kBankChunk : unit;
  const auto sectors = static_cast<std::uint32_t>(padded / unit);
  // Which sectors to write: all, or those whose bytes on the chip differ.
  std::vector<bool> differs(sectors, true);
  if (skippedSectors) {
    std::vector<std::uint8_t> onChip(padded);
    const Result read = ctx.engine.ReadRange(onChip.data(), startAddress, padded, chunk);
    if (read != Result::Ok) return read == Result::Cancelled ? read : Result::NoReply;
    for (std::uint32_t s = 0; s < sectors; ++s)
      differs[s] = !std::equal(onChip.begin() + s * unit, onChip.begin() + (s + 1) * unit, data.Data() + s * unit);
    *skippedSectors = static_cast<std::size_t>(std::count(differs.begin(), differs.end(), false));
  }
  // Each run of sectors to write is erased, then programmed and verified.
  for (std::uint32_t first = 0; first < sectors;) {
    if (!differs[first]) {
      ++first;
      continue;
    }
    std::uint32_t end = first;
    while (end < sectors && differs[end]) ++end;
    const std::uint32_t address = startAddress + first * unit;
    const Result erased = ctx.engine.EraseSectors(address, unit, end - first);
    if (erased != Result::Ok) return erased == Result::Cancelled ? erased : Result::Failed;
    const Result programmed =
        ctx.engine.ProgramRange(address, chunk, data.Data() + std::size_t(first) * unit, std::size_t(end - first) * unit);
    if (programmed != Result::Ok) return programmed == Result::Cancelled ? programmed : Result::ProgramFailed;
    first = end;
  }
  return Result::Ok;
}

Result DownloadFileToRange(FileRoutineContext& ctx, const ImageFile& file, int block, std::uint32_t startAddress) {
  return DownloadToRange(ctx, file, block, startAddress, nullptr);
}

Result DownloadChangedSectorsToRange(FileRoutineContext& ctx, const ImageFile& file, int block,
                                     std::uint32_t startAddress, std::size_t& skippedSectors) {
  return DownloadToRange(ctx, file, block, startAddress, &skippedSectors);
}

Result DownloadFileToBlock(FileRoutineContext& ctx, const ImageFile& file, int block, std::uint32_t startAddress) {
  const auto layout = PlanOrTell(ctx, file, ImageUse::DownloadBlock, block, startAddress);
  if (!layout) return Result::OverSize;
  const Result result = WriteAndVerify(ctx, file, layout->first);
  if (result != Result::Ok || !layout->spill) return result;
  return WriteAndVerify(ctx, file, *layout->spill);
}

Result DownloadFileToBlock1(FileRoutineContext& ctx, const ImageFile& file, std::uint32_t startAddress) {
  SessionRecord& record = ctx.record;
  const std::uint32_t unit = record.SectorSize(1);
  if (!PlanOrTell(ctx, file, ImageUse::DownloadBlock1, 1, startAddress)) return Result::OverSize;

  const auto length = static_cast<std::size_t>(file.Length());
  const std::size_t padded = RoundUp(length, unit);
  ImageBuffer data;
  const Result loaded = LoadImage(file, 0, length, padded, data, ctx.messages);
  if (loaded != Result::Ok) return loaded;

  // A loader rewrite leaves the erase to ProgramBlock1Range's own frame.
  if (!ctx.state.loaderUpdateInProgress) {
    const Result erased = ctx.engine.EraseSectors(startAddress, unit, static_cast<std::uint32_t>(padded / unit));
    if (erased == Result::Cancelled) return erased;
    if (erased != Result::Ok) {
      ctx.messages.Tell(text::kSectorEraseFailed);
      record.Port().Owner().Tell(kEraseFailedOnChip);
      return Result::Failed;
    }
  }
  const Result programmed = ctx.engine.ProgramBlock1Range(startAddress, unit, data.Data(), padded);
  if (programmed == Result::Cancelled) return programmed;
  if (programmed != Result::Ok) {
    ctx.messages.Tell(text::kDownloadFailed);
    return Result::ProgramFailed;
  }
  return Result::Ok;
}

Result CompareFileWithRange(FileRoutineContext& ctx, const ImageFile& file, int block, std::uint32_t startAddress,
                            long& mismatchAddress, int& mismatchPair) {
  const bool bank = ctx.state.ExternalBankSelected();
  const auto layout = PlanOrTell(ctx, file, ImageUse::Compare, block, startAddress);
  if (!layout) return Result::OverSize;
  const std::size_t padUnit = bank ? kBankEraseUnit : ctx.record.SectorSize(block);
  const Result result = ComparePart(ctx, file, layout->first, padUnit, mismatchAddress, mismatchPair);
  if (result != Result::Ok || !layout->spill) return result;
  return ComparePart(ctx, file, *layout->spill, ctx.record.SectorSize(1), mismatchAddress, mismatchPair);
}

}  // namespace brisko
