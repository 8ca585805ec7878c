#include "shell/loader/legacy_detection.hpp"

#include <array>
#include <atomic>
#include <chrono>

#include "chip/handshake.hpp"
#include "chip/legacy_link_worker.hpp"
#include "chip/status_decoding.hpp"
#include "link/result_codes.hpp"
#include "shell/detection/detect_command.hpp"
#include "shell/loader/legacy_upgrade.hpp"
#include "shell/session/main_window.hpp"

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
CommandOutcome Leave(MainWindow& w, CommandOutcome outcome) {
  for (const std::string& text : w.StopLegacyWorker()) w.Op().Tell(text);
  w.State().linkBusy = false;
  return outcome;
}

// 60h through the worker: chip code, version, letter; FFh for a byte that
// did not come.
std::array<std::uint8_t, 3> QueryLegacyVersion(MainWindow& w, LegacyQueues& queues) {
  std::array<std::uint8_t, 3> answer{0xFF, 0xFF, 0xFF};
  SettleQueues(queues, w.Record()->Port().Timing().inputWait + w.Record()->Port().Timing().readCompletion);
  if (QueuePut(queues.commandQueue, queues.commandMutex, 0x60, w.Op()) != QueueResult::Ok) return answer;
  for (std::uint8_t& byte : answer)
    if (!TakeQueuedReply(queues, w.Op(), w.Record()->Port().Timing(), w.State().operationFailed, byte)) break;
  return answer;
}

// Chip Information from the 60h answer; false for a wrong version.
bool ShowLegacyChip(MainWindow& w, const std::array<std::uint8_t, 3>& answer, std::uint8_t status) {
  SessionRecord& record = *w.Record();
  ChipInfoTexts info = w.ChipInfo();
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
  w.SetChipInfo(info);
  return ok;
}

CommandOutcome RunLegacyDetection(MainWindow& w, const Variant& v) {
  SessionRecord* record = w.Record();
  SessionState& state = w.State();
  if (!record) {
    w.ReportNoChip();
    return CommandOutcome::Refused(Refusal::NoChip);
  }
  state.linkBusy = true;
  SerialPort& port = record->Port();
  if (!v.fallback && port.IsLinkUp() && w.LegacyWorker()) {
    w.ReportChipAlreadyDetected();
    state.linkBusy = false;
    return CommandOutcome::Refused(Refusal::NotSupported);
  }
  LegacyLinkWorker& worker = w.LegacyWorker() ? *w.LegacyWorker() : w.StartLegacyWorker();

  w.Op().Tell(kResetPrompt);
  if (v.fallback) {
    w.ApplyButtonChanges({std::nullopt, std::nullopt, std::nullopt, std::nullopt, false, false, false});
    w.ProgressSetText("Reset MCU, then wait for detecting Firmware 1.1E...");
  } else {
    if (port.Open() != Result::Ok) {
      w.Op().Tell(kOpenFailed);
      w.SetStatusText(port.LastOpenError());
      return Leave(w, CommandOutcome::Failed("open the port", Result::PortNotOpened));
    }
    port.SetLinesForInternalMode();
    if (Answers11F(port, state.cancelRequested)) {
      w.Op().Tell(kAlready11F);
      return Leave(w, CommandOutcome::Refused(Refusal::AlreadyDone));
    }
  }

  LegacyChip chip;
  if (!WaitForLegacyLoader(port, state.operationFailed, chip.status, &state.cancelRequested)) {
    if (state.cancelRequested)
      return Leave(w, CommandOutcome::Cancelled("wait for the 1.1E loader", "nothing on the chip was changed"));
    w.Op().Tell(kNoResponse);
    return Leave(w, CommandOutcome::Failed("wait for the 1.1E loader", Result::NoReply));
  }
  // From here the worker alone reads the port.
  worker.Release();

  record->SetMemoryMode(kInternalMemory);
  DecodeSecurityStatus(w, chip.status);
  if (!port.IsLinkUp()) {
    w.ReportNoTargetBoard();
    return Leave(w, CommandOutcome::Failed("detect", Result::Failed));
  }
  record->AllocateImages();
  const auto answer = QueryLegacyVersion(w, worker.Queues());
  chip.version = answer[1];
  const bool versionOk = ShowLegacyChip(w, answer, chip.status);
  if (!versionOk) {
    w.Op().Tell(kWrongVersion);
  } else {
    w.SetStatusText("Handshaking succeed!");
    if (v.fallback) w.ProgressSetText("Done");
  }
  if (record->GetCurrentBlock() != 0 && record->GetCurrentBlock() != 1) {
    w.ReportIllegalBlock();
    if (!v.fallback) w.Op().Tell("Will return 6");
    return Leave(w, CommandOutcome::Refused(Refusal::IllegalBlock));
  }

  ChipInfoTexts info = w.ChipInfo();
  info.memMode = "Internal";
  w.SetChipInfo(info);
  const std::uint8_t bits = SecurityBitsOf(chip.status);
  const bool writable = versionOk && (bits == 0x00 || bits == 0x40 || bits == 0x20);
  w.ApplyButtonChanges({writable, writable, true, writable, false, false, false});
  state.userCodeStarted = false;
  w.ClearStatusText();

  if (!w.Op().Ask(v.question)) {
    w.Op().Tell(v.declined);
    for (const std::string& text : w.StopLegacyWorker()) w.Op().Tell(text);
    w.RequestClose();
    return CommandOutcome::Declined();
  }
  CommandOutcome outcome = UpgradeLegacyLoader(w, v.fallback, chip);
  // Every way out of the upgrade has stopped the worker; the ones that end
  // the program keep linkBusy, as nothing may ping the chip any more.
  if (!w.CloseRequested()) state.linkBusy = false;
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

CommandOutcome OnDetectLegacyAndUpgrade(MainWindow& w) { return RunLegacyDetection(w, kMenu); }
CommandOutcome DetectLegacyFallback(MainWindow& w) { return RunLegacyDetection(w, kFallback); }

}  // namespace brisko
