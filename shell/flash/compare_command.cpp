#include "shell/flash/compare_command.hpp"

#include <cstdio>
#include <optional>
#include <string>

#include "image/file_routines.hpp"
#include "link/result_codes.hpp"
#include "link/user_paths.hpp"
#include "shell/flash/block_selection.hpp"
#include "shell/flash/dialog_lists.hpp"
#include "shell/session/caption_keeper.hpp"
#include "shell/session/session.hpp"

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
CommandOutcome CompareAndReport(Session& session, FlashEngine& engine, const ImageFile& image, int block,
                                std::uint32_t address, bool highBank) {
  const std::string& file = image.Name();
  session.Window().SetCaption(ComparingCaption(file, address, highBank));
  long mismatchAddress = -1;
  int mismatchPair = 0;
  FileRoutineContext ctx{*session.Record(), session.State(), engine, session.Op()};
  const Result result = CompareFileWithRange(ctx, image, block, address, mismatchAddress, mismatchPair);
  // A cancelled compare found no difference and no fault: it says neither.
  if (result == Result::Cancelled) return CommandOutcome::Cancelled("compare");
  session.Window().SetStatusText(OutcomeText(file, result, mismatchAddress, mismatchPair, highBank));
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
std::optional<CommandOutcome> LoadFirst(Session& session, FlashEngine& engine, ImageFile& image,
                                        const std::string& fileName, int block, std::uint32_t address) {
  FileRoutineContext ctx{*session.Record(), session.State(), engine, session.Op()};
  const Result opened = OpenImageFor(ctx, image, fileName, ImageUse::Compare, block, address);
  if (opened == Result::Ok) return std::nullopt;
  // A file that cannot be read latches the failure; one that is too long for
  // the range does not.
  if (opened == Result::Failed) session.State().operationFailed = true;
  session.Window().SetStatusText(OutcomeText(fileName, opened, -1, 0, false));
  return CommandOutcome::Refused(Refusal::BadInput);
}

// Lets the loader show the compared block; false (told) when it would not.
bool HardLockedBlock0(int model, std::uint8_t bits) {
  if (IsKT400(model)) return bits == 0x80 || bits == 0xA0 || bits == 0xC0 || bits == 0xE0;
  if (model == kKT530 || model == kKT540 || model == kKT550 || model == kKT560)
    return bits == 0x60 || bits == 0xA0 || bits == 0xE0;
  return false;
}

}  // namespace

CommandOutcome OnCompare(Session& session) {
  if (auto refused = session.RefuseOnEntry(true, true)) return *refused;
  if (session.State().ExternalBankSelected()) return CompareWithExternalBank(session);
  const SessionRecord& record = *session.Record();
  const std::uint8_t bits = session.State().securityBits;
  if (!record.IsInternalMode()) {
    if (bits != 0) {
      session.Op().Tell("File Compare doesn't work if chip is locked!\n");
      return CommandOutcome::Refused(Refusal::SecurityLock);
    }
  } else if (HardLockedBlock0(record.GetChipModel(), bits)) {
    session.Op().Tell("You can only compare files in Block1, since chip is hardlocked.\n");
  }
  return CompareWithFlash(session);
}

CommandOutcome CompareWithFlash(Session& session) {
  SessionRecord& record = *session.Record();
  if (record.GetCurrentBlock() != 0 && record.GetCurrentBlock() != 1) {
    session.ReportIllegalBlock();
    return CommandOutcome::Refused(Refusal::IllegalBlock);
  }
  CaptionKeeper caption(session.Window());
  FileSectorDialog dialog{kDialogTitle, StartSectorList(record, true, BankView::None), "", 0};
  if (!session.Op().ChooseFileAndSector(dialog) || !dialog.Valid()) return CommandOutcome::Declined();

  const StartChoice start = ResolveStartIndex(record, dialog.chosen);
  session.SelectTab(start.block);
  FlashEngine engine = session.Engine();
  ImageFile image;
  if (auto refused = LoadFirst(session, engine, image, dialog.fileName, start.block, start.address)) return *refused;
  if (!SelectBlockOrTell(*session.Record(), engine, session.Op(), start.block, "Comparing Block0 data failed!",
                         "Comparing Block1 data failed!"))
    return CommandOutcome::Failed("select the block", Result::Failed);
  return CompareAndReport(session, engine, image, start.block, start.address, false);
}

CommandOutcome CompareWithExternalBank(Session& session) {
  SessionRecord& record = *session.Record();
  const bool high = !session.State().externalLowBankSelected;
  CaptionKeeper caption(session.Window());
  FileSectorDialog dialog{kDialogTitle, StartSectorList(record, false, high ? BankView::High : BankView::Low), "",
                          0};
  if (!session.Op().ChooseFileAndSector(dialog) || !dialog.Valid()) return CommandOutcome::Declined();
  const auto address = static_cast<std::uint32_t>(dialog.chosen) * kBankSectorSize;
  FlashEngine engine = session.Engine();
  ImageFile image;
  if (auto refused = LoadFirst(session, engine, image, dialog.fileName, 0, address)) return *refused;
  return CompareAndReport(session, engine, image, 0, address, high);
}

}  // namespace brisko
