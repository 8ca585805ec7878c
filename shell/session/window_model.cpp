#include "shell/session/window_model.hpp"

#include <cstdarg>
#include <cstdio>

namespace brisko {

void WindowModel::Changed(WindowAspect aspect) {
  // Called with windowMutex_ held: the observer must not call back into the
  // window; it copies what it needs.
  if (observer_) observer_->WindowChanged(aspect, window_);
}

void WindowModel::SetObserver(WindowObserver* observer) {
  std::lock_guard lock(windowMutex_);
  observer_ = observer;
}

WindowState WindowModel::Snapshot() const {
  std::lock_guard lock(windowMutex_);
  return window_;
}

void WindowModel::ClearStatusText() { SetStatusText(""); }

void WindowModel::SetStatusText(const std::string& text) {
  std::lock_guard lock(windowMutex_);
  window_.statusText = text;
  Changed(WindowAspect::Status);
}

void WindowModel::SetChipInfo(const ChipInfoTexts& info) {
  std::lock_guard lock(windowMutex_);
  window_.chipInfo = info;
  Changed(WindowAspect::ChipInfo);
}

ChipInfoTexts WindowModel::ChipInfo() const {
  std::lock_guard lock(windowMutex_);
  return window_.chipInfo;
}

void WindowModel::ResetChipInfo() {
  std::lock_guard lock(windowMutex_);
  window_.chipInfo = ChipInfoTexts{};
  window_.statusText.clear();
  window_.securityText = kUnknownSecurityText;
  Changed(WindowAspect::ChipInfo);
  Changed(WindowAspect::Status);
  Changed(WindowAspect::Security);
}

void WindowModel::ShowSecurityText(const std::string& text) {
  std::lock_guard lock(windowMutex_);
  window_.securityText = text;
  Changed(WindowAspect::Security);
}

void WindowModel::SetPane(std::string WindowState::*pane, const char* format, ...) {
  char text[64];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  std::lock_guard lock(windowMutex_);
  window_.*pane = text;
  Changed(WindowAspect::Panes);
}

void WindowModel::UpdateClockPane(const std::tm& localTime) {
  // Hours 00-11 are AM; noon shows as 12 PM and later hours count from 01 PM.
  int hour = localTime.tm_hour;
  const char* suffix = hour >= 12 ? "PM" : "AM";
  if (hour >= 13) hour -= 12;
  SetPane(&WindowState::clockPane, "%02i:%02i:%02i%2s", hour, localTime.tm_min, localTime.tm_sec, suffix);
}

void WindowModel::SetDoubleClockPane(bool on) {
  SetPane(&WindowState::doubleClockPane, "Double Clock %3s", on ? "ON" : "OFF");
}

void WindowModel::SetPortPane(int portNumber) { SetPane(&WindowState::portPane, "COM%d", portNumber); }

void WindowModel::SetBaudPane(unsigned baudRate) { SetPane(&WindowState::baudPane, "Baud Rate: %u", baudRate); }

void WindowModel::SetCaption(const std::string& caption) {
  std::lock_guard lock(windowMutex_);
  window_.caption = caption;
  Changed(WindowAspect::Caption);
}

std::string WindowModel::Caption() const {
  std::lock_guard lock(windowMutex_);
  return window_.caption;
}

void WindowModel::SetButton(IapButton button, bool enabled) {
  std::lock_guard lock(windowMutex_);
  window_.buttons[static_cast<int>(button)] = enabled;
  Changed(WindowAspect::Buttons);
}

void WindowModel::ApplyButtonChanges(const ButtonChanges& changes) {
  std::lock_guard lock(windowMutex_);
  for (int i = 0; i < kIapButtonCount; ++i)
    if (changes[i]) window_.buttons[i] = *changes[i];
  Changed(WindowAspect::Buttons);
}

bool WindowModel::ButtonEnabled(IapButton button) const {
  std::lock_guard lock(windowMutex_);
  return window_.buttons[static_cast<int>(button)];
}

void WindowModel::SelectTab(int tab) {
  std::lock_guard lock(windowMutex_);
  window_.selectedTab = tab;
  Changed(WindowAspect::Tab);
}

void WindowModel::SetViews(std::vector<SectorRow> table, int hotRow, std::string dumpHeader,
                           std::vector<DumpRow> dump) {
  std::lock_guard lock(windowMutex_);
  window_.sectorTable = std::move(table);
  window_.hotSectorRow = hotRow;
  window_.dumpHeader = std::move(dumpHeader);
  window_.dump = std::move(dump);
  Changed(WindowAspect::Views);
}

void WindowModel::RequestClose() {
  closeRequested_ = true;
  std::lock_guard lock(windowMutex_);
  Changed(WindowAspect::Closed);
}

// --- progress pane -------------------------------------------------------

void WindowModel::ProgressSetRange(int max) {
  std::lock_guard lock(windowMutex_);
  window_.progress.max = max;
  ++window_.progress.ranges;
  Changed(WindowAspect::Progress);
}

void WindowModel::ProgressReset() {
  std::lock_guard lock(windowMutex_);
  window_.progress.position = 0;
  window_.progress.barVisible = true;
  Changed(WindowAspect::Progress);
}

void WindowModel::ProgressAdvance() {
  std::lock_guard lock(windowMutex_);
  if (window_.progress.position < window_.progress.max) ++window_.progress.position;
  window_.progress.barVisible = true;
  Changed(WindowAspect::Progress);
}

void WindowModel::ProgressSetText(const std::string& label) {
  std::lock_guard lock(windowMutex_);
  window_.progress.label = label;
  Changed(WindowAspect::Progress);
}

}  // namespace brisko
