#include "shell/session/main_window.hpp"

#include <cstdarg>
#include <cstdio>

#include "link/command_primitives.hpp"
#include "link/report_texts.hpp"
#include "link/result_codes.hpp"
#include "shell/setup/settings_file.hpp"

namespace brisko {

MainWindow::MainWindow(Operator& op, DeviceOpener opener, LinkTiming timing, SessionPlaces places)
    : op_(&op), places_(std::move(places)), record_(std::make_unique<SessionRecord>(op, std::move(opener), timing)) {
  ApplySettingsFile(*record_, places_.SettingsFile());
  UpdatePortPane();
  UpdateBaudPane();
}

MainWindow::~MainWindow() {
  // The worker uses the record's port: it ends first.
  StopLegacyWorker();
  if (record_) record_->Port().Shutdown();
}

LegacyLinkWorker& MainWindow::StartLegacyWorker() {
  StopLegacyWorker();
  legacyWorker_ = std::make_unique<LegacyLinkWorker>(record_->Port(), state_.operationFailed);
  state_.legacyWorkerRunning = true;
  return *legacyWorker_;
}

LegacyLinkWorker* MainWindow::LiveLegacyWorker() {
  if (!legacyWorker_ || !legacyWorker_->Finished()) return legacyWorker_.get();
  for (const std::string& text : StopLegacyWorker()) op_->Tell(text);
  // The loader prompts whenever it waits for a command: a new worker needs
  // no new hand-shake.
  StartLegacyWorker().Release();
  return legacyWorker_.get();
}

std::vector<std::string> MainWindow::StopLegacyWorker() {
  std::vector<std::string> held;
  if (legacyWorker_) held = legacyWorker_->Stop();
  legacyWorker_.reset();
  state_.legacyWorkerRunning = false;
  return held;
}

FlashEngine MainWindow::Engine() { return FlashEngine(record_->Port(), state_, *this, *op_); }

// --- window state ----------------------------------------------------------

void MainWindow::Changed(WindowAspect aspect) {
  // Called with windowMutex_ held: the observer must not call back into the
  // window; it copies what it needs.
  if (observer_) observer_->WindowChanged(aspect, window_);
}

void MainWindow::SetObserver(WindowObserver* observer) {
  std::lock_guard lock(windowMutex_);
  observer_ = observer;
}

WindowState MainWindow::Snapshot() const {
  std::lock_guard lock(windowMutex_);
  return window_;
}

void MainWindow::ClearStatusText() { SetStatusText(""); }

void MainWindow::SetStatusText(const std::string& text) {
  std::lock_guard lock(windowMutex_);
  window_.statusText = text;
  Changed(WindowAspect::Status);
}

void MainWindow::SetChipInfo(const ChipInfoTexts& info) {
  std::lock_guard lock(windowMutex_);
  window_.chipInfo = info;
  Changed(WindowAspect::ChipInfo);
}

ChipInfoTexts MainWindow::ChipInfo() const {
  std::lock_guard lock(windowMutex_);
  return window_.chipInfo;
}

void MainWindow::ResetChipInfo() {
  std::lock_guard lock(windowMutex_);
  window_.chipInfo = ChipInfoTexts{};
  window_.statusText.clear();
  window_.securityText = kUnknownSecurityText;
  Changed(WindowAspect::ChipInfo);
  Changed(WindowAspect::Status);
  Changed(WindowAspect::Security);
}

void MainWindow::ShowSecurityText(const std::string& text) {
  std::lock_guard lock(windowMutex_);
  window_.securityText = text;
  Changed(WindowAspect::Security);
}

void MainWindow::SetPane(std::string WindowState::*pane, const char* format, ...) {
  char text[64];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  std::lock_guard lock(windowMutex_);
  window_.*pane = text;
  Changed(WindowAspect::Panes);
}

void MainWindow::UpdateDoubleClockPane() {
  SetPane(&WindowState::doubleClockPane, "Double Clock %3s", state_.doubleClockOn ? "ON" : "OFF");
}

void MainWindow::SetCaption(const std::string& caption) {
  std::lock_guard lock(windowMutex_);
  window_.caption = caption;
  Changed(WindowAspect::Caption);
}

std::string MainWindow::Caption() const {
  std::lock_guard lock(windowMutex_);
  return window_.caption;
}

void MainWindow::SetButton(IapButton button, bool enabled) {
  std::lock_guard lock(windowMutex_);
  window_.buttons[static_cast<int>(button)] = enabled;
  Changed(WindowAspect::Buttons);
}

void MainWindow::ApplyButtonChanges(const ButtonChanges& changes) {
  std::lock_guard lock(windowMutex_);
  for (int i = 0; i < kIapButtonCount; ++i)
    if (changes[i]) window_.buttons[i] = *changes[i];
  Changed(WindowAspect::Buttons);
}

bool MainWindow::ButtonEnabled(IapButton button) const {
  std::lock_guard lock(windowMutex_);
  return window_.buttons[static_cast<int>(button)];
}

void MainWindow::SelectTab(int tab) {
  if (record_) record_->SetCurrentBlock(tab);
  std::lock_guard lock(windowMutex_);
  window_.selectedTab = tab;
  Changed(WindowAspect::Tab);
}

void MainWindow::SetViews(std::vector<SectorRow> table, int hotRow, std::string dumpHeader,
                          std::vector<DumpRow> dump) {
  std::lock_guard lock(windowMutex_);
  window_.sectorTable = std::move(table);
  window_.hotSectorRow = hotRow;
  window_.dumpHeader = std::move(dumpHeader);
  window_.dump = std::move(dump);
  Changed(WindowAspect::Views);
}

void MainWindow::RequestClose() {
  closeRequested_ = true;
  std::lock_guard lock(windowMutex_);
  Changed(WindowAspect::Closed);
}

// --- progress pane -------------------------------------------------------

void MainWindow::ProgressSetRange(int max) {
  std::lock_guard lock(windowMutex_);
  window_.progress.max = max;
  ++window_.progress.ranges;
  Changed(WindowAspect::Progress);
}

void MainWindow::ProgressReset() {
  std::lock_guard lock(windowMutex_);
  window_.progress.position = 0;
  window_.progress.barVisible = true;
  Changed(WindowAspect::Progress);
}

void MainWindow::ProgressAdvance() {
  std::lock_guard lock(windowMutex_);
  if (window_.progress.position < window_.progress.max) ++window_.progress.position;
  window_.progress.barVisible = true;
  Changed(WindowAspect::Progress);
}

void MainWindow::ProgressSetText(const std::string& label) {
  std::lock_guard lock(windowMutex_);
  window_.progress.label = label;
  Changed(WindowAspect::Progress);
}

// --- RESET ------------------------------------------------------------------

void MainWindow::ResetTarget() {
  // The legacy link worker gives the port back before the reset touches it.
  for (const std::string& text : StopLegacyWorker()) op_->Tell(text);
  ResetChipInfo();
  if (!record_) return;
  SerialPort& port = record_->Port();
  port.ClearLinkUp();
  port.PurgeInput();
  port.PurgeOutput();
  state_.operationFailed = false;
  ResetChipInfo();
  // The RTS pulse restarts the board through its reset circuit.
  port.PulseRts();
  if (record_->GetMemoryMode() == kExternalMemory) {
    port.WriteByte(cmd::kCloseSequence);
    port.WriteByte(cmd::kCloseSequence);
  }
}

// --- timer ------------------------------------------------------------------

void MainWindow::UpdateClockPane(const std::tm& localTime) {
  // Hours 00-11 are AM; noon shows as 12 PM and later hours count from 01 PM.
  int hour = localTime.tm_hour;
  const char* suffix = hour >= 12 ? "PM" : "AM";
  if (hour >= 13) hour -= 12;
  SetPane(&WindowState::clockPane, "%02i:%02i:%02i%2s", hour, localTime.tm_min, localTime.tm_sec, suffix);
}

void MainWindow::KeepAlive() {
  if (!record_) return;
  SerialPort& port = record_->Port();
  if (!port.IsLinkUp() || state_.linkBusy) return;
  std::uint8_t echo = 0;
  if (port.WriteByte(cmd::kKeepAlive) && port.ReadByte(echo) && echo == cmd::kKeepAlive)
    return;
  ResetChipInfo();
  state_.operationFailed = false;
  port.ClearLinkUp();
  port.PurgeOutput();
  port.PurgeInput();
  op_->Tell("A timeout error detected and resets the host Application.\nPlease re-detect the Chiptype.");
}

void MainWindow::UpdatePortPane() {
  if (record_) SetPane(&WindowState::portPane, "COM%d", record_->Port().GetPortNumber());
}

void MainWindow::UpdateBaudPane() {
  if (record_) SetPane(&WindowState::baudPane, "Baud Rate: %u", record_->Port().GetBaudRate());
}

// --- entry checks -------------------------------------------------------------

std::optional<CommandOutcome> MainWindow::RefuseOnEntry(bool needLink, bool refuseUserCode) {
  ClearStatusText();
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

// --- message helpers ------------------------------------------------------------

void MainWindow::ReportNoChip() { op_->Tell("No flash chip has been selected/detected!!!"); }
void MainWindow::ReportDownloadFailed() { op_->Tell(text::kDownloadFailed); }
void MainWindow::ReportNoTargetBoard() { op_->Tell("No target board has been located!!!"); }
void MainWindow::ReportChipAlreadyDetected() { op_->Tell(kChipAlreadyDetectedText); }
void MainWindow::ReportChipInfoIncomplete() { op_->Tell("Chip Info is not completed!!!"); }
void MainWindow::ReportVerifyFailed() { op_->Tell(text::kVerifyFailed); }
void MainWindow::ReportReadFailed() { op_->Tell(text::kReadFailed); }
void MainWindow::ReportIllegalBlock() { op_->Tell("Illegal Block Number Detected!!!"); }
void MainWindow::ReportCannotOpenFile() { op_->Tell(text::kCannotOpenFile); }
void MainWindow::ReportFileOversize() { op_->Tell(text::kFileOverSize); }
void MainWindow::ReportReadCommandFailed() { op_->Tell(text::kReadCommandNotSent); }
void MainWindow::ReportReadCommandByteFailed2() { op_->Tell(text::kWriteRefused); }
void MainWindow::ReportReadCommandByteFailed3() { op_->Tell(text::kWriteTimedOut); }
void MainWindow::ReportSectorEraseFailed() { op_->Tell(text::kSectorEraseFailed); }
void MainWindow::ReportQueueWriteError() { op_->Tell(text::kQueueWriteFailed); }
void MainWindow::ReportQueueReadError() { op_->Tell(text::kQueueReadFailed); }
void MainWindow::ReportQueueFull() { op_->Tell(text::kQueueFull); }
void MainWindow::ReportWaitError() { op_->Tell(text::kQueueWaitFailed); }
void MainWindow::ReportPurgeWarning() { op_->Tell("Warning! Failed to purge in_buffer."); }

}  // namespace brisko
