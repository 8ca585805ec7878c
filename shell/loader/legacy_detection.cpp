#include "shell/loader/legacy_detection.hpp"

#include <array>
#include <atomic>
#include <chrono>

#include "chip/handshake.hpp"
#include "chip/legacy_link_worker.hpp"
#include "chip/status_decoding.hpp"
#include "link/read_routines.hpp"
#include "link/result_codes.hpp"
#include "shell/detection/detect_command.hpp"
#include "shell/loader/legacy_upgrade.hpp"
#include "shell/session/session.hpp"

namespace brisko {
namespace {

constexpr const char* kResetPrompt = "Click on OK then Reset MCU\nto Auto Detect Chip Type\n(MCU:Fw v1.1E-Int. Mode)";
constexpr const char* kOpenFailed = "Failed to set up RS232 connection with Target Board!!!";
constexpr const char* kNoResponse = "No Response from Target Board!!!";
constexpr const char* kWrongVersion = "Wrong Firmware Version Detected in MCU chip!!!";

struct Variant {
  bool fallback;
  const char* question;
  const char* declined;
};

constexpr Variant kMenu{
    false,
    "Do you really want to upgrade BSL from 1.1E to 1.1F?\nBSL1.1F will use 3 more sectors than BSL1.1E,\n"
    "it will use address 0xF000 to 0xF3FF.\n",
    "Please exit the current application\nand use the older version of software\nto run IAP funtions. This version "
    "of\nsoftware only supports BSL1.1F or greater."};
constexpr Variant kFallback{
    true,
    "Do you really want to upgrade BSL from 1.1E to 1.1F?\nBSL1.1F will use 3 more sectors than BSL1.1E,\n"
    "it will use from address 0xF000 to 0xF3FF.\n",
    "Please exit the current application\nand use the older version of software\nto run IAP funtions. This version "
    "of\nsoftware only supports BSL1.1F+."};

constexpr const char* kAlready11F =
    "This chip's loader is 1.1F already: it needs no upgrade.\nDetect it with \"Detect Target MCU for Firmware1.1F "
    "and RS232 Config.\"";

// A 1.1E loader prompts (F7h) within a moment of its reset and has no baud
// detection; a 1.1F loader stays silent and answers the baud-detect pattern.
// Told apart within two seconds instead of the 1.1E wait's thirty.
bool Answers11F(SerialPort& port, const std::atomic<bool>& cancel) {
  using Clock = std::chrono::steady_clock;
  const LinkTiming& t = port.Timing();
  const auto listenUntil = Clock::now() + t.pollWait * 90;
  while (Clock::now() < listenUntil && !cancel.load()) {
    std::uint8_t byte = 0;
    if (port.PollInput() && port.ReadByte(byte) && byte == 0xF7) return false;
  }
  return SynchroniseBaud(port, t.pollWait * 110, &cancel) == SyncOutcome::Locked;
}

// Ends the command with the worker stopped: between commands the keep-alive
// and every other command use the port directly.
CommandOutcome Leave(Session& session, CommandOutcome outcome) {
  for (const std::string& text : session.StopLegacyWorker()) session.Op().Tell(text);
  session.State().linkBusy = false;
  return outcome;
}

// 60h through the worker: chip code, version, letter; FFh for a byte that
// did not come.
std::array<std::uint8_t, 3> QueryLegacyVersion(Session& session, LegacyQueues& queues) {
  std::array<std::uint8_t, 3> answer{0xFF, 0xFF, 0xFF};
  SettleQueues(queues, session.Record()->Port().Timing().inputWait + session.Record()->Port().Timing().readCompletion);
  if (QueuePut(queues.commandQueue, queues.commandMutex, 0x60, session.Op()) != QueueResult::Ok) return answer;
  for (std::uint8_t& byte : answer)
    if (!TakeQueuedReply(queues, session.Op(), session.Record()->Port().Timing(), session.State().operationFailed, byte)) break;
  return answer;
}

// Chip Information from the 60h answer; false for a wrong version.
bool ShowLegacyChip(WindowModel& window, SessionRecord& record, const std::array<std::uint8_t, 3>& answer,
                    std::uint8_t status) {
  ChipInfoTexts info = window.ChipInfo();
  info.remap = LegacyRemapText(status);
  bool ok = true;
  if (answer[0] == 0xE4) {
    record.SetChipModel(kKT410);
    info.chipType = "KT410";
    info.flashSize = "16+4 KB";
  } else if (answer[0] == 0xE2) {
    record.SetChipModel(kKT420);
    info.chipType = "KT420";
    info.flashSize = "32+4 KB";
  } else {
    info.chipType = "????????";
    info.flashSize = "???????";
    ok = false;
  }
  if (answer[1] == 0x11 && answer[2] == 'E') {
    info.fwVersion = "v1.1E";
  } else {
    info.fwVersion = answer[1] == 0x11 ? "v1.1?" : "?????";
    ok = false;
  }
  record.applyGeometry();
  window.SetChipInfo(info);
  return ok;
}

CommandOutcome RunLegacyDetection(Session& session, const Variant& v) {
  SessionRecord* record = session.Record();
  SessionState& state = session.State();
  if (!record) {
    session.ReportNoChip();
    return CommandOutcome::Refused(Refusal::NoChip);
  }
  state.linkBusy = true;
  SerialPort& port = record->Port();
  if (!v.fallback && port.IsLinkUp() && session.LegacyWorker()) {
    session.ReportChipAlreadyDetected();
    state.linkBusy = false;
    return CommandOutcome::Refused(Refusal::NotSupported);
  }
  LegacyLinkWorker& worker = session.LegacyWorker() ? *session.LegacyWorker() : session.StartLegacyWorker();

  session.Op().Tell(kResetPrompt);
  if (v.fallback) {
    session.Window().ApplyButtonChanges({std::nullopt, std::nullopt, std::nullopt, std::nullopt, false, false, false});
    session.Window().ProgressSetText("Reset MCU, then wait for detecting Firmware 1.1E...");
  } else {
    if (port.Open() != Result::Ok) {
      session.Op().Tell(kOpenFailed);
      session.Window().SetStatusText(port.LastOpenError());
      return Leave(session, CommandOutcome::Failed("open the port", Result::PortNotOpened));
    }
    port.SetLinesForInternalMode();
    if (Answers11F(port, state.cancelRequested)) {
      session.Op().Tell(kAlready11F);
      return Leave(session, CommandOutcome::Refused(Refusal::AlreadyDone));
    }
  }

  LegacyChip chip;
  if (!WaitForLegacyLoader(port, state.operationFailed, chip.status, &state.cancelRequested)) {
    if (state.cancelRequested)
      return Leave(session, CommandOutcome::Cancelled("wait for the 1.1E loader", "nothing on the chip was changed"));
    session.Op().Tell(kNoResponse);
    return Leave(session, CommandOutcome::Failed("wait for the 1.1E loader", Result::NoReply));
  }
  // From here the worker alone reads the port.
  worker.Release();

  record->SetMemoryMode(kInternalMemory);
  DecodeSecurityStatus(session, chip.status);
  if (!port.IsLinkUp()) {
    session.ReportNoTargetBoard();
    return Leave(session, CommandOutcome::Failed("detect", Result::Failed));
  }
  record->AllocateImages();
  const auto answer = QueryLegacyVersion(session, worker.Queues());
  chip.version = answer[1];
  const bool versionOk = ShowLegacyChip(session.Window(), *record, answer, chip.status);
  if (!versionOk) {
    session.Op().Tell(kWrongVersion);
  } else {
    session.Window().SetStatusText("Handshaking succeed!");
    if (v.fallback) session.Window().ProgressSetText("Done");
  }
  if (record->GetCurrentBlock() != 0 && record->GetCurrentBlock() != 1) {
    session.ReportIllegalBlock();
    if (!v.fallback) session.Op().Tell("Will return 6");
    return Leave(session, CommandOutcome::Refused(Refusal::IllegalBlock));
  }

  ChipInfoTexts info = session.Window().ChipInfo();
  info.memMode = "Internal";
  session.Window().SetChipInfo(info);
  const std::uint8_t bits = SecurityBitsOf(chip.status);
  const bool writable = versionOk && (bits == 0x00 || bits == 0x40 || bits == 0x20);
  session.Window().ApplyButtonChanges({writable, writable, true, writable, false, false, false});
  state.userCodeStarted = false;
  session.Window().ClearStatusText();

  if (!session.Op().Ask(v.question)) {
    session.Op().Tell(v.declined);
    for (const std::string& text : session.StopLegacyWorker()) session.Op().Tell(text);
    session.Window().RequestClose();
    return CommandOutcome::Declined();
  }
  CommandOutcome outcome = UpgradeLegacyLoader(session, v.fallback, chip);
  // Every way out of the upgrade has stopped the worker; the ones that end
  // the program keep linkBusy, as nothing may ping the chip any more.
  if (!session.Window().CloseRequested()) state.linkBusy = false;
  return outcome;
}

}  // namespace

std::string LegacyRemapText(std::uint8_t status) {
  switch (status & 0x03) {
    case 1: return "1 KByte";
    case 2: return "2 KByte";
    case 3: return "4 KByte";
    default: return "0 KByte";
  }
}

CommandOutcome OnDetectLegacyAndUpgrade(Session& session) { return RunLegacyDetection(session, kMenu); }
CommandOutcome DetectLegacyFallback(Session& session) { return RunLegacyDetection(session, kFallback); }

}  // namespace brisko
