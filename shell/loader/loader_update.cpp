#include "shell/loader/loader_update.hpp"

#include "firmware/firmware.hpp"
#include "link/result_codes.hpp"
#include "shell/flash/download_command.hpp"
#include "shell/block0/image_at_2000.hpp"
#include "shell/session/main_window.hpp"

namespace brisko {
namespace {

std::optional<CommandOutcome> InternalRefusal(MainWindow& w) {
  if (auto refused = w.RefuseOnEntry(true, true)) return refused;
  const SessionRecord& record = *w.Record();
  const SessionState& state = w.State();
  if (record.GetCurrentBlock() != 0 && record.GetCurrentBlock() != 1) {
    w.ReportIllegalBlock();
    return CommandOutcome::Refused(Refusal::IllegalBlock);
  }
  if (record.GetChipModel() == kKT580) {
    w.Op().Tell("KT580 doesn't support update block 1 in internal memory mode!");
    return CommandOutcome::Refused(Refusal::NotSupported);
  }
  if (!record.IsInternalMode() || state.ExternalBankSelected()) {
    w.Op().Tell("This command is to Update block 1 in internal memory mode!");
    return CommandOutcome::Refused(Refusal::NotSupported);
  }
  if (!LoaderReplaceableUnderLock(record.GetChipModel(), state.securityBits)) {
    w.Op().Tell("Update BSL doesn't work if Block0 or Block1 is hardlocked!");
    return CommandOutcome::Refused(Refusal::SecurityLock);
  }
  return std::nullopt;
}

}  // namespace

CommandOutcome OnUpdateInternalLoader(MainWindow& w) {
  if (auto refused = InternalRefusal(w)) return *refused;
  SessionRecord& record = *w.Record();
  SessionState& state = w.State();
  state.linkBusy = true;
  if (!IsKT400(record.GetChipModel()) && !w.Engine().SelectBlock0()) {
    w.Op().Tell("Update block 1 Failed!");
    state.linkBusy = false;
    return CommandOutcome::Failed("select block 0", Result::Failed);
  }
  // The download asks for the file, its sector and the questions before it
  // parks the programmer; with this flag set it parks it, writes the new
  // loader into block 1 and leaves the programmer for the new loader to
  // replace at the next reset.
  state.loaderUpdateInProgress = true;
  CommandOutcome outcome = DownloadToFlash(w);
  state.loaderUpdateInProgress = false;
  state.linkBusy = w.CloseRequested();
  if (outcome.Ok()) outcome.action = "updated the loader";
  return outcome;
}

CommandOutcome OnUpdateExternalLoader(MainWindow& w) {
  if (auto refused = w.RefuseOnEntry(true, true)) return *refused;
  if (!w.State().externalLowBankSelected) {
    w.Op().Tell("Please enter into Low64K in internal memory mode for upgrade BSL!");
    return CommandOutcome::Refused(Refusal::NotSupported);
  }
  FlashEngine engine = w.Engine();
  const auto& image = firmware::ExternalLoaderImage;
  const Result result = engine.ProgramRange(0x0000, w.Record()->SectorSize(0), image.data(), image.size());
  const bool ok = result == Result::Ok;
  const char* text = ok ? "Upgrade External BSL Succeed!" : "Upgrade External BSL Failed!";
  w.ProgressSetText(ok ? "Done" : "Abort");
  w.Op().Tell(text);
  w.SetStatusText(text);
  if (!ok) return CommandOutcome::Failed("program the external loader", result);
  CommandOutcome outcome = CommandOutcome::Success("updated the external loader");
  outcome.bytes = image.size();
  outcome.verified = true;
  return outcome;
}

}  // namespace brisko
