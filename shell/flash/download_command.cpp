#include "shell/flash/download_command.hpp"

#include <optional>
#include <string>
#include <variant>

#include "firmware/firmware.hpp"
#include "image/file_routines.hpp"
#include "link/read_routines.hpp"
#include "link/result_codes.hpp"
#include "link/user_paths.hpp"
#include "shell/block0/block1_programmer.hpp"
#include "shell/flash/dialog_lists.hpp"
#include "shell/session/caption_keeper.hpp"
#include "shell/session/session.hpp"
#include "shell/flash/run_user_code.hpp"

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
constexpr const char* kUpdateStartFailed = "Update Bootstrap Loader 6 Failed!";
constexpr const char* kNothingChanged = "nothing on the chip was changed";
constexpr const char* kLoaderIntoBlock1 = "The new loader goes into block 1: choose a sector of block 1.";

// After a loader update that wrote the whole new loader: the chip runs it
// from the next reset, and block 0's bytes come back at the next detection.
std::string NewLoaderText(const std::string& recoveryPath) {
  return "The new BSL has been written into Block1.\nReset the chip and detect it again: Block0 still holds the "
         "block-1 programmer,\nand the bytes it displaced are in the file\n" +
         recoveryPath + "\nThe next detection offers to put them back.";
}

// After a loader overwrite that did not complete.
std::string LoaderErasedText(const std::string& recoveryPath) {
  if (recoveryPath.empty()) return kBslErased;
  return std::string(kBslErased) + "\nThe block-0 bytes the programmer displaced are in the file\n" + recoveryPath;
}


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

// Block 1: the BSL question where the download would start over the loader,
// then the block selection. None to go on (with `overwritesLoader` set on a
// Yes), else how the command ends.
std::optional<CommandOutcome> PrepareBlock1(Session& session, FlashEngine& engine, std::uint32_t address,
                                            bool& overwritesLoader) {
  const SessionRecord& record = *session.Record();
  const SessionState& state = session.State();
  const int model = record.GetChipModel();
  const LoaderGuard guard = LoaderGuardOf(model);
  if (record.IsInternalMode() && address >= guard.from && address < guard.questionEnd) {
    if (!session.Op().Ask(kBslQuestion)) return CommandOutcome::Declined();
    overwritesLoader = true;
  }
  if (record.SelectsBlocks() && !state.loaderUpdateInProgress && !engine.SelectBlock1()) {
    session.Op().Tell(kBlock1SelectFailed);
    return CommandOutcome::Failed("select block 1", Result::Failed);
  }
  return std::nullopt;
}

// Block 1 in internal memory mode, through the programmer parked in block 0
// (a loader update leaves it there). The transfer's result, or how the
// command ends when it stopped around the transfer (refused, not parked, or
// block 0 not put back: all told).
std::variant<Result, CommandOutcome> DownloadThroughParkedProgrammer(Session& session, FlashEngine& engine,
                                                                  FileRoutineContext& ctx, const ImageFile& file,
                                                                  std::uint32_t address, bool overwritesLoader,
                                                                  std::string& recoveryPath) {
  const int model = session.Record()->GetChipModel();
  const bool update = session.State().loaderUpdateInProgress;
  const LoaderGuard guard = LoaderGuardOf(model);
  if (!update && address >= guard.from && address < guard.refusalEnd) {
    session.Op().Tell(guard.refusal);
    return CommandOutcome::Refused(Refusal::LoaderArea);
  }
  Block1Parking how{kParkSelectFailed, kReselectFailed, LoaderReentryAddress(model), !IsKT400(model)};
  if (update) {
    // Block 0 was selected by the update itself; the new loader takes over
    // at the next reset.
    how.selectBlock0 = false;
    how.reentryAddress.reset();
    how.staysParked = true;
    how.startFailedText = kUpdateStartFailed;
  }
  // A loader that is being replaced must be whole before anything else
  // happens: no cancel cuts its write.
  FlashEngine whole = engine.Uncancellable();
  FileRoutineContext wholeCtx{ctx.record, ctx.state, whole, ctx.messages};
  FileRoutineContext& writeCtx = update || overwritesLoader ? wholeCtx : ctx;
  ParkedRun run =
      RunWithBlock1ProgrammerParked(session, engine, how, [&] { return DownloadFileToBlock1(writeCtx, file, address); });
  recoveryPath = run.recoveryPath;
  if (run.cancelledBefore) return CommandOutcome::Cancelled("park the block-1 programmer", kNothingChanged);
  if (!run.parked) return CommandOutcome::Failed("park the block-1 programmer", Result::Failed);
  if (run.startFailed) return CommandOutcome::Failed("start the block-1 programmer", Result::Failed);
  if (!update && !run.block0Restored) {
    session.State().operationFailed = true;
    return CommandOutcome::Failed("restore block 0", Result::Failed);
  }
  if (run.workResult == Result::Cancelled) return CommandOutcome::Cancelled("write block 1", "block 0 put back");
  return run.workResult;
}

CommandOutcome FinishTransfer(SessionState& state, Result result, const ImageFile& file, int block,
                              std::uint32_t address, const std::optional<std::size_t>& skipped = std::nullopt) {
  if (result == Result::Cancelled) return CommandOutcome::Cancelled("program");
  if (result != Result::Ok) {
    state.operationFailed = true;
    return CommandOutcome::Failed(TransferStepName(result), result);
  }
  CommandOutcome done = CommandOutcome::Success("downloaded");
  done.bytes = static_cast<std::size_t>(file.Length());
  done.address = address;
  done.block = block;
  done.verified = true;
  if (skipped) done.skippedSectors = static_cast<long>(*skipped);
  return done;
}

// Opens the file and checks that it fits, before anything is selected or
// erased on the chip. None when it may be written.
std::optional<CommandOutcome> LoadFirst(FileRoutineContext& ctx, ImageFile& file, const std::string& fileName,
                                        ImageUse use, int block, std::uint32_t address) {
  if (OpenImageFor(ctx, file, fileName, use, block, address) != Result::Ok) {
    ctx.state.operationFailed = true;
    return CommandOutcome::Refused(Refusal::BadInput);
  }
  return std::nullopt;
}

ImageUse UseFor(bool internal, bool loaderUpdate, int block) {
  if (internal && (loaderUpdate || block == 1)) return ImageUse::DownloadBlock1;
  return internal ? ImageUse::DownloadRange : ImageUse::DownloadBlock;
}

}  // namespace

CommandOutcome OnDownload(Session& session) {
  if (auto refused = session.RefuseOnEntry(true, true)) return *refused;
  return session.State().ExternalBankSelected() ? DownloadToExternalBank(session) : DownloadToFlash(session);
}

CommandOutcome OnDownloadAndRun(Session& session) {
  session.Window().ClearStatusText();
  CommandOutcome outcome = OnDownload(session);
  // Only a download that was made starts the program: a declined one ends here.
  if (!outcome.Ok()) return outcome;
  const CommandOutcome run = ExecuteUserCode(session);
  if (!run.Ok()) return run;
  outcome.action = "downloaded and started";
  return outcome;
}

CommandOutcome DownloadToFlash(Session& session) {
  if (!session.Record()) {
    session.ReportNoChip();
    return CommandOutcome::Refused(Refusal::NoChip);
  }
  SessionRecord& record = *session.Record();
  SessionState& state = session.State();
  if (record.GetCurrentBlock() != 0 && record.GetCurrentBlock() != 1) {
    session.ReportIllegalBlock();
    return CommandOutcome::Refused(Refusal::IllegalBlock);
  }

  CaptionKeeper caption(session.Window());
  const bool internal = record.IsInternalMode();
  session.Window().SetCaption(internal && !state.loaderUpdateInProgress ? kBlock0Warning : kBlock01Warning);

  FileSectorDialog dialog{kDialogTitle, StartSectorList(record, true, BankView::None), "", 0};
  if (!session.Op().ChooseFileAndSector(dialog) || !dialog.Valid()) return CommandOutcome::Declined();

  const StartChoice start = ResolveStartIndex(record, dialog.chosen);
  if (internal && state.loaderUpdateInProgress && start.block != 1) {
    session.Op().Tell(kLoaderIntoBlock1);
    return CommandOutcome::Refused(Refusal::BadInput);
  }
  session.SelectTab(start.block);
  FlashEngine engine = session.Engine();
  FileRoutineContext ctx{record, state, engine, session.Op()};
  ImageFile file;
  if (auto refused = LoadFirst(ctx, file, dialog.fileName, UseFor(internal, state.loaderUpdateInProgress, start.block),
                               start.block, start.address))
    return *refused;

  bool overwritesLoader = false;
  if (start.block == 0) {
    if (record.SelectsBlocks() && !state.loaderUpdateInProgress && !engine.SelectBlock0()) {
      session.Op().Tell(kBlock0SelectFailed);
      return CommandOutcome::Failed("select block 0", Result::Failed);
    }
  } else if (auto stop = PrepareBlock1(session, engine, start.address, overwritesLoader)) {
    return *stop;
  }

  if (!session.Op().Ask(kEraseQuestion)) {
    if (state.loaderUpdateInProgress) state.linkBusy = false;
    return CommandOutcome::Declined();
  }

  session.Window().SetCaption(DownloadingCaption(dialog.fileName, ""));
  Result result = Result::Failed;
  std::string recoveryPath;
  std::optional<std::size_t> skipped;  // only the block-0 range reads what is there first
  if (!internal) {
    result = DownloadFileToBlock(ctx, file, start.block, start.address);
  } else if (start.block == 1) {
    auto transfer = DownloadThroughParkedProgrammer(session, engine, ctx, file, start.address, overwritesLoader, recoveryPath);
    if (auto* stopped = std::get_if<CommandOutcome>(&transfer)) {
      if (overwritesLoader && stopped->step == "restore block 0") {
        session.Op().Tell(kBslErased);
        session.Window().RequestClose();
      }
      return *stopped;
    }
    result = std::get<Result>(transfer);
  } else {
    if (dialog.skipUnchanged) skipped = 0;
    result = skipped ? DownloadChangedSectorsToRange(ctx, file, 0, start.address, *skipped)
                     : DownloadFileToRange(ctx, file, 0, start.address);
  }

  if (state.loaderUpdateInProgress && internal) {
    session.Op().Tell(result == Result::Ok ? NewLoaderText(recoveryPath) : LoaderErasedText(recoveryPath));
    session.Window().RequestClose();
  } else if (overwritesLoader) {
    session.Op().Tell(kBslErased);
    session.Window().RequestClose();
  }
  CommandOutcome outcome = FinishTransfer(session.State(), result, file, start.block, start.address, skipped);
  // A cancel that came while the programmer displaced block 0 waited for the
  // section's end: the command then says what it completed.
  if (outcome.Ok() && internal && start.block == 1 && state.cancelRequested)
    return CommandOutcome::Cancelled("download", state.loaderUpdateInProgress ? "the new loader is written into Block1"
                                                                              : "block 1 written, block 0 put back");
  return outcome;
}

CommandOutcome DownloadToExternalBank(Session& session) {
  SessionRecord& record = *session.Record();
  SessionState& state = session.State();
  CaptionKeeper caption(session.Window());
  const BankView bank = EnteredBank(state.externalLowBankSelected);
  session.Window().SetCaption(bank == BankView::Low ? kExternalLowWarning : kExternalHighWarning);

  FileSectorDialog dialog{kDialogTitle, StartSectorList(record, false, bank), "", 0};
  if (!session.Op().ChooseFileAndSector(dialog) || !dialog.Valid()) return CommandOutcome::Declined();
  const std::uint32_t address = static_cast<std::uint32_t>(dialog.chosen) * kBankSectorSize;
  FlashEngine engine = session.Engine();
  FileRoutineContext ctx{record, state, engine, session.Op()};
  ImageFile file;
  if (auto refused = LoadFirst(ctx, file, dialog.fileName, ImageUse::DownloadRange, 0, address)) return *refused;

  if (dialog.chosen == 0 && VerifyExternalLoaderImage(record.Port(), firmware::ExternalLoaderImage) == Result::Ok) {
    session.Op().Tell(kExternalBslRefusal);
    return CommandOutcome::Refused(Refusal::LoaderArea);
  }
  session.SelectTab(0);

  if (!session.Op().Ask(kEraseQuestion)) return CommandOutcome::Declined();

  session.Window().SetCaption(DownloadingCaption(dialog.fileName, " to external flash"));
  std::optional<std::size_t> skipped;
  if (dialog.skipUnchanged) skipped = 0;
  const Result result = skipped ? DownloadChangedSectorsToRange(ctx, file, 0, address, *skipped)
                                : DownloadFileToRange(ctx, file, 0, address);
  return FinishTransfer(session.State(), result, file, -1, address, skipped);
}

}  // namespace brisko
