#include "shell/loader/legacy_upgrade.hpp"

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "chip/handshake.hpp"
#include "chip/status_decoding.hpp"
#include "firmware/firmware.hpp"
#include "link/read_routines.hpp"
#include "link/result_codes.hpp"
#include "shell/block0/displaced_section.hpp"
#include "shell/session/session.hpp"
#include "shell/block0/recovery_offer.hpp"
#include "shell/block0/recovery_record.hpp"

namespace brisko {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kAttempts = 12;
constexpr std::uint32_t kSector = 128;
constexpr std::uint32_t kUserSectors = 10;
constexpr std::uint32_t kUserBytes = kSector * kUserSectors;
constexpr const char* kCompleted = "Upgrade Bootstrap Loader from 1.1E to 1.1F Completed!";
constexpr const char* kFlow = "loader upgrade";
constexpr const char* kRedo = "Upgrade Bootstrap Loader from 1.1E to 1.1F Failed!\nPlease redo the upgrade.";
constexpr const char* kReopen =
    "Upgrade Bootstrap Loader from 1.1E to 1.1F Completed!\nBut you need to close and re-open the application,\n"
    "and click on RS232 Config.and Detect Target MCU for Firmware1.1F\nto detect chip.";

// Runs `step` until it returns true, at most kAttempts times.
template <typename Step>
bool Attempts(Step step) {
  for (int i = 0; i < kAttempts; ++i)
    if (step()) return true;
  return false;
}

void TellHeld(Session& session) {
  for (const std::string& text : session.StopLegacyWorker()) session.Op().Tell(text);
}

// The texts and limits in which the two legacy detections differ after the
// installer has run.
struct ResumeTexts {
  bool fallback;
  Millis syncLimit;
};

// The 1.1F detection's hand-shake against the freshly installed loader (baud
// lock, ready check, memory-mode selection, status byte and version) and the
// chip panel filled from its answers. No step stops the sequence; a failing
// one marks the result. True when nothing was marked.
bool ResumeAfterInstall(Session& session, const ResumeTexts& t, const LegacyChip& chip) {
  SessionRecord& record = *session.Record();
  SerialPort& port = record.Port();
  Operator& op = session.Op();
  bool ok = true;
  auto mark = [&](const char* text) {
    op.Tell(text);
    ok = false;
  };
  record.applyGeometry();
  port.SetLinesForInternalMode();

  const auto syncEnd = Clock::now() + t.syncLimit;
  for (;;) {
    const auto left = std::chrono::duration_cast<Millis>(syncEnd - Clock::now());
    const SyncOutcome sync = SynchroniseBaud(port, left < Millis{0} ? Millis{0} : left);
    if (sync == SyncOutcome::Locked) break;
    if (sync == SyncOutcome::TimedOut || Clock::now() >= syncEnd) {
      mark("Failed to setup RS232 connection with Target MCU!!!");
      break;
    }
    op.Tell("Failed on sending baud_detect_string #1.");
  }
  switch (CheckReady(port)) {
    case ReadyOutcome::Ready: break;
    case ReadyOutcome::SendFailed: mark("Failed on sending baud_detect_string #2."); break;
    case ReadyOutcome::NoByte0: mark("Failed on receiving string RDY(0)."); break;
    case ReadyOutcome::NoByte1: mark("Failed on receiving string RDY(1)."); break;
    case ReadyOutcome::BadOrNoByte2: mark("Failed on receiving string RDY(2)."); break;
  }
  const std::uint8_t select[] = {0x05, 0x55};
  std::uint8_t status = chip.status;
  if (!port.WriteBytes(select, sizeof select)) mark("Failed on sending 05h & 55h to Target MCU.");
  if (!port.ReadByte(status)) {
    status = chip.status;
    if (t.fallback) op.Tell("No Response from Target Board after sending 05h,55h!");
  }
  std::uint8_t version = chip.version;
  std::uint8_t letter = 'F';
  if (!port.WriteByte(0x60)) {
    if (t.fallback) op.Tell("Failed to send cmd 60h to Target Board!");
  } else if (!port.ReadByte(version)) {
    version = chip.version;
    if (t.fallback) op.Tell("No Response from Target Board after sending cmd 60h!");
  } else if (!port.ReadByte(letter)) {
    letter = 'F';
  }

  port.SetLinkUp();
  record.AllocateImages();
  record.SetMemoryMode(kInternalMemory);
  ChipInfoTexts info = session.Window().ChipInfo();
  info.remap = LegacyRemapText(chip.status);
  session.State().savedRemapText = info.remap;
  const int model = record.GetChipModel();
  if (model == kKT410 || model == kKT420) {
    info.chipType = model == kKT410 ? "KT410" : "KT420";
    info.flashSize = model == kKT410 ? "16+4 KB" : "32+4 KB";
  } else {
    info.chipType = info.flashSize = info.fwVersion = "????????";
  }
  const bool rightVersion = version == 0x11 && letter == 'F';
  if (model == kKT410 || model == kKT420) info.fwVersion = rightVersion ? "v1.1F" : version == 0x11 ? "v1.1?" : "?????";
  session.Window().SetChipInfo(info);
  if (!rightVersion)
    mark(t.fallback ? "Wrong Firmware Version Detected in MCU chip!!!" : "F Wrong Firmware Version Detected in MCU chip!!!");
  else
    session.Window().SetStatusText("Re-detect target MCU is done.");
  if (record.GetCurrentBlock() != 0 && record.GetCurrentBlock() != 1) {
    session.ReportIllegalBlock();
    ok = false;
  }
  info.memMode = "Internal";
  session.Window().SetChipInfo(info);
  const std::uint8_t bits = SecurityBitsOf(status);
  const bool writable = rightVersion && (bits == 0x00 || bits == 0x40 || bits == 0x20);
  session.Window().ApplyButtonChanges({writable, writable, true, writable, false, false, false});
  return ok;
}

bool WriteInstaller(FlashEngine& engine, LegacyQueues& queues) {
  const auto& image = firmware::LegacyInstallerImage;
  return Attempts([&] {
    return engine.EraseSectorsQueued(queues, 0x0000, kSector, kUserSectors) == Result::Ok &&
           engine.ProgramRangeQueued(queues, 0x0000, kSector, image.data(), image.size()) == Result::Ok;
  });
}

// The user's first ten sectors for the upgrade. An earlier upgrade of this
// chip that was interrupted left them in a recovery file while block 0 holds
// what the interruption left: when the operator takes that file, its bytes
// are the ones put back. Otherwise they are read from the chip until two
// reads agree and written to a new recovery file. None to go on, else how
// the command ends (told).
std::optional<CommandOutcome> KeepUserCode(Session& session, const RangeReader& read, RecoveryRecord& recovery,
                                           bool& earlierFile) {
  std::vector<RecoveryArea> areas{{0x0000, std::vector<std::uint8_t>(kUserBytes)}};
  for (const UnrestoredRecovery& earlier :
       UnrestoredRecoveriesFor(session.Places().dataDir, session.Record()->GetChipModel(), read, areas)) {
    const RecoveryRecord& r = earlier.record;
    if (r.areas.size() != 1 || r.areas[0].address != 0x0000 || r.areas[0].bytes.size() != kUserBytes) continue;
    const std::string question = "Block 0 of this chip (0000h-04FFh) does not hold the user's code that an "
                                 "interrupted " + r.flow + " saved in the file\n" + r.path +
                                 "\nPut that code back after this upgrade, instead of what block 0 holds now?";
    const bool take = earlier.fit == RecoveryFit::Belongs ? session.Op().Ask(question) : session.Op().AskInPerson(question);
    if (!take) continue;
    recovery = r;
    earlierFile = true;
    return std::nullopt;
  }
  if (!ReadAreasAgreed(read, areas)) {
    session.Op().Tell(UserCodeNotSavedText());
    return CommandOutcome::Failed("save the user's code", Result::Failed);
  }
  std::string whyNot;
  if (!KeepForRecovery(*session.Record(), session.Places().dataDir, kFlow, std::move(areas), read, recovery, whyNot)) {
    session.Op().Tell(UserCodeRecoveryFailedText(whyNot));
    return CommandOutcome::Failed("write the recovery file", Result::Failed);
  }
  return std::nullopt;
}

}  // namespace

std::string UserCodeNotSavedText() {
  return "Upgrade Bootstrap Loader from 1.1E to 1.1F was not started:\nthe user's code in Block0 (0000h-04FFh) "
         "could not be read.\nNothing on the chip has been changed.";
}

std::string UserCodeRecoveryFailedText(const std::string& whyNot) {
  return "Upgrade Bootstrap Loader from 1.1E to 1.1F was not started:\nthe block 0 recovery file could not be "
         "written\n(" + whyNot + ").\nNothing on the chip has been changed.";
}

std::string UserCodeNotRestoredText(const std::string& recoveryPath) {
  return "The user's code (0000h-04FFh) could not be put back into Block0.\nIts saved data are in the file\n" +
         recoveryPath + "\n(1280 bytes from address 0000h).";
}

CommandOutcome UpgradeLegacyLoader(Session& session, bool fallback, const LegacyChip& chip) {
  SessionRecord& record = *session.Record();
  SessionState& state = session.State();
  SerialPort& port = record.Port();
  const LinkTiming& timing = port.Timing();
  LegacyQueues& queues = session.LegacyWorker()->Queues();
  const RangeReader queued = [&](std::uint32_t address, std::span<std::uint8_t> out) {
    return ReadLoaderBytesQueued(queues, session.Op(), timing, state.operationFailed, address, out);
  };

  // The installer overwrites the user's first ten sectors: without a copy of
  // them in hand, and on disk, nothing is erased.
  RecoveryRecord recovery;
  bool earlierFile = false;
  if (auto stop = KeepUserCode(session, queued, recovery, earlierFile)) {
    TellHeld(session);
    return *stop;
  }
  std::copy(recovery.areas[0].bytes.begin(), recovery.areas[0].bytes.end(), state.saved.savedUserCode.begin());

  DisplacedSection section(
      session, DisplacedText("the loader upgrade had block 0 at 0000h-04FFh erased or holding its installer", recovery.path));
  if (!section.Entered()) {
    if (!earlierFile) RemoveRecoveryFile(recovery.path);
    TellHeld(session);
    return CommandOutcome::Cancelled("save the user's code", "nothing on the chip was changed");
  }
  // From the first erase until the user's code is back no step is cut short.
  FlashEngine engine = section.Engine();

  if (!WriteInstaller(engine, queues)) {
    // A partly written installer must not be started: the user's code goes
    // back through the 1.1E loader, which still runs, by a worker started
    // again where the one that carried the installer has given up.
    const bool restored = Attempts([&] {
      LegacyQueues& live = session.LiveLegacyWorker()->Queues();
      return engine.EraseSectorsQueued(live, 0x0000, kSector, kUserSectors) == Result::Ok &&
             engine.ProgramRangeQueued(live, 0x0000, kSector, state.saved.savedUserCode.data(), kUserBytes) ==
                 Result::Ok;
    });
    TellHeld(session);
    if (restored)
      RemoveRecoveryFile(recovery.path);
    else
      session.Op().Tell(UserCodeNotRestoredText(recovery.path));
    session.Op().Tell(kRedo);
    session.Window().RequestClose();
    return CommandOutcome::Failed("write the installer", Result::Failed);
  }

  // The 62h pair goes straight to the port: the worker must be gone.
  TellHeld(session);
  port.ClearLinkUp();
  port.PurgeInput();
  port.PurgeOutput();
  const auto installerStart = Clock::now();
  port.WriteByte(0x62);
  port.WriteByte(0x62);
  std::this_thread::sleep_for(timing.legacyInstallPause);
  session.Window().ProgressSetText("Upgrade is in process, please wait...");

  const ResumeTexts texts{fallback, fallback ? timing.legacyFallbackResumeSync : timing.legacyResumeSync};
  const bool resumed = ResumeAfterInstall(session, texts, chip);

  // The installer needs this long after its start before block 0 may be
  // written again.
  std::this_thread::sleep_until(installerStart + timing.legacyRestoreWait);
  record.SetCurrentBlock(0);
  session.SelectTab(0);
  const bool written = Attempts([&] {
    return engine.EraseSectors(0x0000, kSector, kUserSectors) == Result::Ok &&
           engine.ProgramRange(0x0000, kSector, state.saved.savedUserCode.data(), kUserBytes) == Result::Ok;
  });
  // Checked against the copy that two reads agreed on.
  const bool restored = (written && AreasHoldRecord(LoaderReader(session.Record()->Port()), recovery) == true) ||
                        PutRecordBack(session, recovery);

  if (!restored) {
    session.Op().Tell(std::string(kCompleted) + "\nBut user's code on Block0 was destroyed.");
    session.Op().Tell(UserCodeNotRestoredText(recovery.path));
    session.Window().ProgressReset();
    return CommandOutcome::Failed("restore block 0", Result::Failed);
  }
  RemoveRecoveryFile(recovery.path);
  if (!resumed) {
    session.Op().Tell(kReopen);
    session.Window().ProgressReset();
    return CommandOutcome::Failed("re-detect the 1.1F loader", Result::Failed);
  }
  if (!fallback) session.Window().SetCaption("Orvex Brisko11F Boot-Strap Loader(Fw:v1.1F)");
  session.Op().Tell(fallback ? "Upgrade Bootstrap Loader from 1.1E to 1.1F Succeed!" : kCompleted);
  session.Window().ProgressReset();
  session.Window().SetStatusText("Re-detect chip from target MCU for BSL1.1F is done.");
  state.userCodeStarted = false;
  session.Op().Tell("Please continue to use IAP function.");
  if (section.CancelPending())
    return CommandOutcome::Cancelled("upgrade the loader", "loader upgraded to 1.1F and the user's code put back");
  CommandOutcome outcome = CommandOutcome::Success("upgraded the loader to 1.1F");
  outcome.bytes = kUserBytes;
  outcome.block = 0;
  outcome.verified = true;
  return outcome;
}

}  // namespace brisko
