#include "shell/download_command.hpp"

#include <optional>
#include <string>

#include "firmware/firmware.hpp"
#include "image/file_routines.hpp"
#include "link/read_routines.hpp"
#include "link/result_codes.hpp"
#include "link/user_paths.hpp"
#include "shell/block1_programmer.hpp"
#include "shell/dialog_lists.hpp"
#include "shell/caption_keeper.hpp"
#include "shell/main_window.hpp"
#include "shell/run_user_code.hpp"

namespace brisko {
namespace {

constexpr const char* kDialogTitle = "Download Hex or Binary File into Flash Memory";
constexpr const char* kBlock0Warning = "WARNING! DATA IN BLOCK 0 WILL BE ERASED. PLEASE BACK THEM UP FIRST.";
constexpr const char* kBlock01Warning = "WARNING! DATA IN BLOCK 0/1 WILL BE ERASED. PLEASE BACK THEM UP FIRST.";
constexpr const char* kExternalLowWarning =
    "WARNING! DATA IN EXTERNAL LOW 64KB MEMORY WILL BE ERASED. PLEASE BACK THEM UP FIRST.";
constexpr const char* kExternalHighWarning =
    "WARNING! DATA IN EXTERNAL HIGH 64KB MEMORY WILL BE ERASED. PLEASE BACK THEM UP FIRST.";
constexpr const char* kBslQuestion = "Downloading to BSL address. BSL will be erased.\nProceed to download?";
constexpr const char* kEraseQuestion = "Data in corresponding sectors will be erased.\nProceed to download?";
constexpr const char* kBslRefusal16 = "You can not erase BSL which resides in the first 16 sectors of Block1!";
constexpr const char* kBslRefusal9 = "You can not erase BSL which resides in the first 9 sectors of Block1!";
constexpr const char* kExternalBslRefusal =
    "You can't overwrite external BSL firmware\nwhich resides in the first sector of Low64K memory!";
constexpr const char* kBlock0SelectFailed = "Downloading to Block0 failed!";
constexpr const char* kBlock1SelectFailed = "Downloading to Block1 failed!";
constexpr const char* kParkSelectFailed = "Download to Block1 Failed!";
constexpr const char* kReselectFailed = "BSL in block1 is erased!";
constexpr const char* kBslErased = "BSL is erased. Please re-program BSL before use Bootstrap Loader again!";


// Where block 1 holds the loader: a download starting in the question range
// overwrites its entry; one starting in the refusal range is not allowed.
struct LoaderGuard {
  std::uint32_t from;
  std::uint32_t questionEnd;
  std::uint32_t refusalEnd;
  const char* refusal;
};

LoaderGuard LoaderGuardOf(int model) {
  if (IsKT400(model)) return {0xF000, 0xF2D4, 0xF400, kBslRefusal16};
  if (HasBlock1AtE000(model)) return {0xE000, 0xE480, 0xE480, kBslRefusal9};
  return {0x0000, 0x0400, 0x0480, kBslRefusal9};
}

std::string DownloadingCaption(const std::string& file, const char* suffix) {
  return "Downloading \"" + BaseName(file) + "\"" + suffix;
}

// Block 0 of the models whose loader shows one block at a time.
bool NeedsBlock0Selection(const SessionRecord& record) {
  const int model = record.GetChipModel();
  return SharesBlockAddresses(model) || (HasBlock1AtE000(model) && record.IsInternalMode());
}

// Block 1: the BSL question where the download would start over the loader,
// then the block selection. Nullopt to go on (with `overwritesLoader` set on a
// Yes), else the result to return.
std::optional<int> PrepareBlock1(MainWindow& w, FlashEngine& engine, std::uint32_t address,
                                 bool& overwritesLoader) {
  const SessionRecord& record = *w.Record();
  const SessionState& state = w.State();
  const int model = record.GetChipModel();
  const LoaderGuard guard = LoaderGuardOf(model);
  if (record.IsInternalMode() && address >= guard.from && address < guard.questionEnd) {
    if (!w.Op().Ask(kBslQuestion)) return kResultFail;
    overwritesLoader = true;
  }
  const bool selects = SharesBlockAddresses(model) || (HasBlock1AtE000(model) && record.IsInternalMode());
  if (selects && !state.loaderUpdateInProgress && !engine.SelectBlock1()) {
    w.Op().Tell(kBlock1SelectFailed);
    return kResultFail;
  }
  return std::nullopt;
}

// Block 1 in internal memory mode, through the programmer parked in block 0.
// Nullopt when the command stops here (refused, not parked, or block 0 not
// put back: all told to the operator); else the file transfer's result.
std::optional<int> DownloadThroughParkedProgrammer(MainWindow& w, FlashEngine& engine, FileRoutineContext& ctx,
                                                   const std::string& file, std::uint32_t address) {
  const int model = w.Record()->GetChipModel();
  const LoaderGuard guard = LoaderGuardOf(model);
  if (address >= guard.from && address < guard.refusalEnd) {
    w.Op().Tell(guard.refusal);
    return std::nullopt;
  }
  Block1Parking how{kParkSelectFailed, kReselectFailed, LoaderReentryAddress(model), !IsKT400(model)};
  ParkedRun run =
      RunWithBlock1ProgrammerParked(w, engine, how, [&] { return DownloadFileToBlock1(ctx, file, address); });
  if (!run.parked) return std::nullopt;
  if (!run.block0Restored) {
    w.State().operationFailed = true;
    return std::nullopt;
  }
  return run.workResult;
}

int FinishTransfer(MainWindow& w, int result) {
  if (result == kResultOk) return kResultOk;
  w.State().operationFailed = true;
  return kResultFail;
}

}  // namespace

int OnDownload(MainWindow& w) {
  if (!w.EntryChecks(true, true)) return kResultFail;
  return w.State().ExternalBankSelected() ? DownloadToExternalBank(w) : DownloadToFlash(w);
}

int OnDownloadAndRun(MainWindow& w) {
  w.ClearStatusText();
  const int result = OnDownload(w);
  if (result == kResultOk) ExecuteUserCode(w);
  return result;
}

int DownloadToFlash(MainWindow& w) {
  if (!w.Record()) {
    w.ReportNoChip();
    return kResultFail;
  }
  SessionRecord& record = *w.Record();
  SessionState& state = w.State();
  if (record.GetCurrentBlock() != 0 && record.GetCurrentBlock() != 1) {
    w.ReportIllegalBlock();
    return kResultFail;
  }

  CaptionKeeper caption(w);
  const bool internal = record.IsInternalMode();
  w.SetCaption(internal && !state.loaderUpdateInProgress ? kBlock0Warning : kBlock01Warning);

  FileSectorDialog dialog{kDialogTitle, StartSectorList(record, true, BankView::None), "", 0};
  if (!w.Op().ChooseFileAndSector(dialog) || !dialog.Valid())
    return state.loaderUpdateInProgress ? kResultCancelled : kResultFail;

  const StartChoice start = ResolveStartIndex(record, dialog.chosen);
  w.SelectTab(start.block);
  FlashEngine engine = w.Engine();

  bool overwritesLoader = false;
  if (start.block == 0) {
    if (NeedsBlock0Selection(record) && !state.loaderUpdateInProgress && !engine.SelectBlock0()) {
      w.Op().Tell(kBlock0SelectFailed);
      return kResultFail;
    }
  } else if (auto stop = PrepareBlock1(w, engine, start.address, overwritesLoader)) {
    return *stop;
  }

  if (!w.Op().Ask(kEraseQuestion)) {
    if (!state.loaderUpdateInProgress) return kResultOk;
    state.linkBusy = false;
    return kResultCancelled;
  }

  w.SetCaption(DownloadingCaption(dialog.fileName, ""));
  FileRoutineContext ctx{record, state, engine, w.Op()};
  int result = kResultFail;
  if (internal && state.loaderUpdateInProgress) {
    result = DownloadFileToBlock1(ctx, dialog.fileName, start.address);
    record.Port().PurgeInput();
  } else if (!internal) {
    result = DownloadFileToBlock(ctx, dialog.fileName, start.block, start.address);
  } else if (start.block == 1) {
    auto transfer = DownloadThroughParkedProgrammer(w, engine, ctx, dialog.fileName, start.address);
    if (!transfer) return kResultFail;
    result = *transfer;
  } else {
    result = DownloadFileToRange(ctx, dialog.fileName, 0, start.address);
  }

  if (overwritesLoader) {
    w.Op().Tell(kBslErased);
    w.RequestClose();
    return kResultFail;
  }
  return FinishTransfer(w, result);
}

int DownloadToExternalBank(MainWindow& w) {
  SessionRecord& record = *w.Record();
  SessionState& state = w.State();
  CaptionKeeper caption(w);
  const BankView bank = EnteredBank(state.externalLowBankSelected);
  w.SetCaption(bank == BankView::Low ? kExternalLowWarning : kExternalHighWarning);

  FileSectorDialog dialog{kDialogTitle, StartSectorList(record, false, bank), "", 0};
  if (!w.Op().ChooseFileAndSector(dialog) || !dialog.Valid()) return kResultFail;
  if (dialog.chosen == 0 && VerifyExternalLoaderImage(record.Port(), firmware::ExternalLoaderImage) == kResultOk) {
    w.Op().Tell(kExternalBslRefusal);
    return kResultFail;
  }
  const std::uint32_t address = static_cast<std::uint32_t>(dialog.chosen) * kBankSectorSize;
  w.SelectTab(0);

  if (!w.Op().Ask(kEraseQuestion)) return kResultOk;

  w.SetCaption(DownloadingCaption(dialog.fileName, " to external flash"));
  FlashEngine engine = w.Engine();
  FileRoutineContext ctx{record, state, engine, w.Op()};
  return FinishTransfer(w, DownloadFileToRange(ctx, dialog.fileName, 0, address));
}

}  // namespace brisko
