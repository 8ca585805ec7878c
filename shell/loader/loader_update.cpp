#include "shell/loader/loader_update.hpp"

#include "firmware/firmware.hpp"
#include "link/result_codes.hpp"
#include "shell/flash/download_command.hpp"
#include "shell/block0/image_at_2000.hpp"
#include "shell/session/session.hpp"

namespace brisko {
namespace {

std::optional<CommandOutcome> InternalRefusal(Session& session) {
  if (auto refused = session.RefuseOnEntry(true, true)) return refused;
  const SessionRecord& record = *session.Record();
  const SessionState& state = session.State();
  if (record.GetCurrentBlock() != 0 && record.GetCurrentBlock() != 1) {
    session.ReportIllegalBlock();
    return CommandOutcome::Refused(Refusal::IllegalBlock);
  }
  if (record.GetChipModel() == kKT580) {
    session.Op().Tell("KT580 doesn't support update block 1 in internal memory mode!");
    return CommandOutcome::Refused(Refusal::NotSupported);
  }
  if (!record.IsInternalMode() || state.ExternalBankSelected()) {
    session.Op().Tell("This command is to Update block 1 in internal memory mode!");
    return CommandOutcome::Refused(Refusal::NotSupported);
  }
  if (!LoaderReplaceableUnderLock(record.GetChipModel(), state.securityBits)) {
    session.Op().Tell("Update BSL doesn't work if Block0 or Block1 is hardlocked!");
    return CommandOutcome::Refused(Refusal::SecurityLock);
  }
  return std::nullopt;
}

}  // namespace

CommandOutcome OnUpdateInternalLoader(Session& session) {
  if (auto refused = InternalRefusal(session)) return *refused;
  SessionRecord& record = *session.Record();
  SessionState& state = session.State();
  state.linkBusy = true;
  if (!IsKT400(record.GetChipModel()) && !session.Engine().SelectBlock0()) {
    session.Op().Tell("Update block 1 Failed!");
    state.linkBusy = false;
    return CommandOutcome::Failed("select block 0", Result::Failed);
  }
  // The download asks for the file, its sector and the questions before it
  // parks the programmer; with this flag set it parks it, writes the new
  // loader into block 1 and leaves the programmer for the new loader to
  // replace at the next reset.
  state.loaderUpdateInProgress = true;
  CommandOutcome outcome = DownloadToFlash(session);
  state.loaderUpdateInProgress = false;
  state.linkBusy = session.Window().CloseRequested();
  if (outcome.Ok()) outcome.action = "updated the loader";
  return outcome;
}

CommandOutcome OnUpdateExternalLoader(Session& session) {
  if (auto refused = session.RefuseOnEntry(true, true)) return *refused;
  if (!session.State().externalLowBankSelected) {
    session.Op().Tell("Please enter into Low64K in internal memory mode for upgrade BSL!");
    return CommandOutcome::Refused(Refusal::NotSupported);
  }
  FlashEngine engine = session.Engine();
  const auto& image = firmware::ExternalLoaderImage;
  const Result result = engine.ProgramRange(0x0000, session.Record()->SectorSize(0), image.data(), image.size());
  const bool ok = result == Result::Ok;
  const char* text = ok ? "Upgrade External BSL Succeed!" : "Upgrade External BSL Failed!";
  session.Window().ProgressSetText(ok ? "Done" : "Abort");
  session.Op().Tell(text);
  session.Window().SetStatusText(text);
  if (!ok) return CommandOutcome::Failed("program the external loader", result);
  CommandOutcome outcome = CommandOutcome::Success("updated the external loader");
  outcome.bytes = image.size();
  outcome.verified = true;
  return outcome;
}

}  // namespace brisko
