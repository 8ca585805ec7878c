#include "shell/loader_update.hpp"

#include <ctime>

#include "firmware/firmware.hpp"
#include "link/result_codes.hpp"
#include "shell/block1_programmer.hpp"
#include "shell/download_command.hpp"
#include "shell/image_at_2000.hpp"
#include "shell/main_window.hpp"
#include "shell/recovery_file.hpp"

namespace brisko {
namespace {

constexpr std::uint16_t kProgrammerEntry = 0x2027;
constexpr std::uint8_t kProgrammerStart = 0x10;
constexpr int kStartRetries = 11;

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

CommandOutcome Stop(MainWindow& w, const std::string& text, const char* step) {
  w.Op().Tell(text);
  w.State().linkBusy = false;
  return CommandOutcome::Failed(step, Result::Failed);
}

}  // namespace

CommandOutcome OnUpdateInternalLoader(MainWindow& w) {
  if (auto refused = InternalRefusal(w)) return *refused;
  SessionRecord& record = *w.Record();
  SessionState& state = w.State();
  FlashEngine engine = w.Engine();
  state.linkBusy = true;
  if (!IsKT400(record.GetChipModel()) && !engine.SelectBlock0())
    return Stop(w, "Update block 1 Failed!", "select block 0");

  // The programmer's install erases sector 0 and 2000h-217Fh: their bytes are
  // kept in memory and on disk first, or nothing is erased.
  if (!SaveParkingArea(w)) return Stop(w, Block0BackupFailedText(), "save block 0");
  std::string whyNot;
  const std::string recoveryPath = WriteBlock0RecoveryFile(w.Places().dataDir, state.saved, std::time(nullptr), whyNot);
  if (recoveryPath.empty()) return Stop(w, RecoveryFileFailedText(whyNot), "write the recovery file");

  InstallImageAt2000(engine, IsKT400(record.GetChipModel()) ? firmware::Block1ProgrammerKT400
                                                            : firmware::Block1ProgrammerKT500);
  Result started = engine.SendStartCommand(kProgrammerEntry, kProgrammerStart);
  if (started != Result::Ok && !state.operationFailed.load()) {
    state.operationFailed = true;
    w.Op().Tell("Update Bootstrap Loader 6 Failed!");
    w.Op().Tell(Block0NotRestoredText(recoveryPath));
    w.ProgressReset();
    return CommandOutcome::Failed("start the block-1 programmer", started);
  }
  for (int retry = 0; started != Result::Ok && retry < kStartRetries; ++retry)
    started = engine.SendStartCommand(kProgrammerEntry, kProgrammerStart);

  // The new loader replaces the old one and the programmer stays in block 0;
  // the displaced bytes stay in the recovery file.
  state.loaderUpdateInProgress = true;
  CommandOutcome outcome = DownloadToFlash(w);
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
