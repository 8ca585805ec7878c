#include "shell/flash/compare_command.hpp"

#include <cstdio>
#include <optional>
#include <string>

#include "image/file_routines.hpp"
#include "link/result_codes.hpp"
#include "link/user_paths.hpp"
#include "shell/flash/dialog_lists.hpp"
#include "shell/session/caption_keeper.hpp"
#include "shell/session/main_window.hpp"

namespace brisko {
namespace {

constexpr const char* kDialogTitle = "Compare Hex or Binary File with Flash Memory";

std::string Hex(unsigned value, const char* format) {
  char text[16];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// The high bank's addresses carry a leading "1" in front of the four digits
// within the bank.
std::string AddressText(std::uint32_t address, bool highBank) {
  return (highBank ? "1" : "") + Hex(address & 0xFFFF, "%04X");
}

std::string ComparingCaption(const std::string& file, std::uint32_t address, bool highBank) {
  return "Comparing \"" + BaseName(file) + "\" with memory starting address " + AddressText(address, highBank) +
         "h...";
}

std::string OutcomeText(const std::string& file, Result result, long mismatchAddress, int mismatchPair, bool highBank) {
  const std::string base = BaseName(file);
  if (mismatchAddress >= 0) {
    const auto chip = static_cast<unsigned>(mismatchPair / 256) & 0xFF;
    const auto data = static_cast<unsigned>(mismatchPair % 256) & 0xFF;
    return "Unmatched data at memory address " + AddressText(static_cast<std::uint32_t>(mismatchAddress), highBank) +
           "h: " + Hex(chip, "%02X") + "h(MCU) vs. " + Hex(data, "%02X") + "h in File " + base;
  }
  return "File " + base + (result == Result::Ok ? " Compare OK!" : " Compare failed!");
}

// Compares and reports; the caption names the file meanwhile.
CommandOutcome CompareAndReport(MainWindow& w, FlashEngine& engine, const ImageFile& image, int block,
                                std::uint32_t address, bool highBank) {
  const std::string& file = image.Name();
  w.SetCaption(ComparingCaption(file, address, highBank));
  long mismatchAddress = -1;
  int mismatchPair = 0;
  FileRoutineContext ctx{*w.Record(), w.State(), engine, w.Op()};
  const Result result = CompareFileWithRange(ctx, image, block, address, mismatchAddress, mismatchPair);
  // A cancelled compare found no difference and no fault: it says neither.
  if (result == Result::Cancelled) return CommandOutcome::Cancelled("compare");
  w.SetStatusText(OutcomeText(file, result, mismatchAddress, mismatchPair, highBank));
  if (mismatchAddress >= 0) {
    CommandOutcome differs = CommandOutcome::Failed("compare: the chip differs from the file", Result::ProgramFailed);
    differs.address = static_cast<std::uint32_t>(mismatchAddress);
    return differs;
  }
  if (result != Result::Ok) return CommandOutcome::Failed("compare", result);
  CommandOutcome same = CommandOutcome::Success("compared, identical");
  same.bytes = static_cast<std::size_t>(image.Length());
  same.address = address;
  same.block = block;
  same.verified = true;
  return same;
}

// Opens and size-checks the file before the chip is asked for anything.
std::optional<CommandOutcome> LoadFirst(MainWindow& w, FlashEngine& engine, ImageFile& image,
                                        const std::string& fileName, int block, std::uint32_t address) {
  FileRoutineContext ctx{*w.Record(), w.State(), engine, w.Op()};
  const Result opened = OpenImageFor(ctx, image, fileName, ImageUse::Compare, block, address);
  if (opened == Result::Ok) return std::nullopt;
  // A file that cannot be read latches the failure; one that is too long for
  // the range does not.
  if (opened == Result::Failed) w.State().operationFailed = true;
  w.SetStatusText(OutcomeText(fileName, opened, -1, 0, false));
  return CommandOutcome::Refused(Refusal::BadInput);
}

// Lets the loader show the compared block; false (told) when it would not.
bool SelectComparedBlock(MainWindow& w, FlashEngine& engine, int block) {
  const SessionRecord& record = *w.Record();
  const int model = record.GetChipModel();
  const bool internal = record.IsInternalMode();
  const bool selects = SharesBlockAddresses(model) || (HasBlock1AtE000(model) && internal);
  if (!selects) return true;
  if (block == 0 ? engine.SelectBlock0() : engine.SelectBlock1()) return true;
  w.Op().Tell(block == 0 ? "Comparing Block0 data failed!" : "Comparing Block1 data failed!");
  return false;
}

bool HardLockedBlock0(int model, std::uint8_t bits) {
  if (IsKT400(model)) return bits == 0x80 || bits == 0xA0 || bits == 0xC0 || bits == 0xE0;
  if (model == kKT530 || model == kKT540 || model == kKT550 || model == kKT560)
    return bits == 0x60 || bits == 0xA0 || bits == 0xE0;
  return false;
}

}  // namespace

CommandOutcome OnCompare(MainWindow& w) {
  if (auto refused = w.RefuseOnEntry(true, true)) return *refused;
  if (w.State().ExternalBankSelected()) return CompareWithExternalBank(w);
  const SessionRecord& record = *w.Record();
  const std::uint8_t bits = w.State().securityBits;
  if (!record.IsInternalMode()) {
    if (bits != 0) {
      w.Op().Tell("File Compare doesn't work if chip is locked!\n");
      return CommandOutcome::Refused(Refusal::SecurityLock);
    }
  } else if (HardLockedBlock0(record.GetChipModel(), bits)) {
    w.Op().Tell("You can only compare files in Block1, since chip is hardlocked.\n");
  }
  return CompareWithFlash(w);
}

CommandOutcome CompareWithFlash(MainWindow& w) {
  SessionRecord& record = *w.Record();
  if (record.GetCurrentBlock() != 0 && record.GetCurrentBlock() != 1) {
    w.ReportIllegalBlock();
    return CommandOutcome::Refused(Refusal::IllegalBlock);
  }
  CaptionKeeper caption(w);
  FileSectorDialog dialog{kDialogTitle, StartSectorList(record, true, BankView::None), "", 0};
  if (!w.Op().ChooseFileAndSector(dialog) || !dialog.Valid()) return CommandOutcome::Declined();

  const StartChoice start = ResolveStartIndex(record, dialog.chosen);
  w.SelectTab(start.block);
  FlashEngine engine = w.Engine();
  ImageFile image;
  if (auto refused = LoadFirst(w, engine, image, dialog.fileName, start.block, start.address)) return *refused;
  if (!SelectComparedBlock(w, engine, start.block)) return CommandOutcome::Failed("select the block", Result::Failed);
  return CompareAndReport(w, engine, image, start.block, start.address, false);
}

CommandOutcome CompareWithExternalBank(MainWindow& w) {
  SessionRecord& record = *w.Record();
  const bool high = !w.State().externalLowBankSelected;
  CaptionKeeper caption(w);
  FileSectorDialog dialog{kDialogTitle, StartSectorList(record, false, high ? BankView::High : BankView::Low), "",
                          0};
  if (!w.Op().ChooseFileAndSector(dialog) || !dialog.Valid()) return CommandOutcome::Declined();
  const auto address = static_cast<std::uint32_t>(dialog.chosen) * kBankSectorSize;
  FlashEngine engine = w.Engine();
  ImageFile image;
  if (auto refused = LoadFirst(w, engine, image, dialog.fileName, 0, address)) return *refused;
  return CompareAndReport(w, engine, image, 0, address, high);
}

}  // namespace brisko
