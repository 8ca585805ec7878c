#include "shell/session/session.hpp"

#include "link/command_primitives.hpp"

namespace brisko {

Session::Session(Operator& op, DeviceOpener opener, LinkTiming timing, SessionPlaces places)
    : op_(&op), places_(std::move(places)), record_(std::make_unique<SessionRecord>(op, std::move(opener), timing)) {
  UpdatePortPane();
  UpdateBaudPane();
}

Session::~Session() {
  // The worker uses the record's port: it ends first.
  StopLegacyWorker();
  if (record_) record_->Port().Shutdown();
}

LegacyLinkWorker& Session::StartLegacyWorker() {
  StopLegacyWorker();
  legacyWorker_ = std::make_unique<LegacyLinkWorker>(record_->Port(), state_.operationFailed);
  state_.legacyWorkerRunning = true;
  return *legacyWorker_;
}

LegacyLinkWorker* Session::LiveLegacyWorker() {
  if (!legacyWorker_ || !legacyWorker_->Finished()) return legacyWorker_.get();
  for (const std::string& text : StopLegacyWorker()) op_->Tell(text);
  // The loader prompts whenever it waits for a command: a new worker needs
  // no new hand-shake.
  StartLegacyWorker().Release();
  return legacyWorker_.get();
}

std::vector<std::string> Session::StopLegacyWorker() {
  std::vector<std::string> held;
  if (legacyWorker_) held = legacyWorker_->Stop();
  legacyWorker_.reset();
  state_.legacyWorkerRunning = false;
  return held;
}

FlashEngine Session::Engine() { return FlashEngine(record_->Port(), state_, window_, *op_); }

void Session::SelectTab(int tab) {
  if (record_) record_->SetCurrentBlock(tab);
  window_.SelectTab(tab);
}

void Session::UpdatePortPane() {
  if (record_) window_.SetPortPane(record_->Port().GetPortNumber());
}

void Session::UpdateBaudPane() {
  if (record_) window_.SetBaudPane(record_->Port().GetBaudRate());
}

void Session::UpdateDoubleClockPane() { window_.SetDoubleClockPane(state_.doubleClockOn); }

void Session::ResetTarget() {
  // The legacy link worker gives the port back before the reset touches it.
  for (const std::string& text : StopLegacyWorker()) op_->Tell(text);
  window_.ResetChipInfo();
  if (!record_) return;
  SerialPort& port = record_->Port();
  port.ClearLinkUp();
  port.PurgeInput();
  port.PurgeOutput();
  state_.operationFailed = false;
  // The RTS pulse restarts the board through its reset circuit.
  port.PulseRts();
  if (record_->GetMemoryMode() == kExternalMemory) {
    port.WriteByte(cmd::kCloseSequence);
    port.WriteByte(cmd::kCloseSequence);
  }
}

void Session::KeepAlive() {
  if (!record_) return;
  SerialPort& port = record_->Port();
  if (!port.IsLinkUp() || state_.linkBusy) return;
  std::uint8_t echo = 0;
  if (port.WriteByte(cmd::kKeepAlive) && port.ReadByte(echo) && echo == cmd::kKeepAlive)
    return;
  window_.ResetChipInfo();
  state_.operationFailed = false;
  port.ClearLinkUp();
  port.PurgeOutput();
  port.PurgeInput();
  op_->Tell("A timeout error detected and resets the host Application.\nPlease re-detect the Chiptype.");
}

std::optional<CommandOutcome> Session::RefuseOnEntry(bool needLink, bool refuseUserCode) {
  window_.ClearStatusText();
  if (!record_) {
    ReportNoChip();
    return CommandOutcome::Refused(Refusal::NoChip);
  }
  record_->applyGeometry();
  if (needLink && !record_->Port().IsLinkUp()) {
    ReportNoTargetBoard();
    return CommandOutcome::Refused(Refusal::NoTarget);
  }
  if (refuseUserCode && state_.userCodeStarted) {
    ReportNoChip();
    return CommandOutcome::Refused(Refusal::NoChip);
  }
  return std::nullopt;
}

void Session::ReportNoChip() { op_->Tell("No flash chip has been selected/detected!!!"); }
void Session::ReportNoTargetBoard() { op_->Tell("No target board has been located!!!"); }
void Session::ReportChipAlreadyDetected() { op_->Tell(kChipAlreadyDetectedText); }
void Session::ReportChipInfoIncomplete() { op_->Tell("Chip Info is not completed!!!"); }
void Session::ReportIllegalBlock() { op_->Tell("Illegal Block Number Detected!!!"); }

}  // namespace brisko
