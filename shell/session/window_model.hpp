#pragma once
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "chip/progress_sink.hpp"
#include "shell/session/window_state.hpp"

namespace brisko {

// What a front end shows, as data: panes, captions, the chip panel, the IAP
// buttons, the progress pane and the memory views. Commands change it;
// front ends read it through Snapshot or an observer, from any thread.
class WindowModel final : public ProgressSink {
 public:
  void ClearStatusText();
  void SetStatusText(const std::string& text);
  const std::string& StatusText() const { return window_.statusText; }
  // Empties the chip panel and the status line, and shows the security as
  // unknown.
  void ResetChipInfo();
  void SetChipInfo(const ChipInfoTexts& info);
  ChipInfoTexts ChipInfo() const;
  void ShowSecurityText(const std::string& text);
  void SetCaption(const std::string& caption);
  std::string Caption() const;
  void SetButton(IapButton button, bool enabled);
  void ApplyButtonChanges(const ButtonChanges& changes);
  bool ButtonEnabled(IapButton button) const;
  // Shows the Block 0 / Block 1 tab without refilling the views.
  void SelectTab(int tab);
  void SetViews(std::vector<SectorRow> table, int hotRow, std::string dumpHeader, std::vector<DumpRow> dump);
  // The application ends (the window is destroyed).
  void RequestClose();
  bool CloseRequested() const { return closeRequested_; }

  // --- status-bar panes ------------------------------------------------------
  void UpdateClockPane(const std::tm& localTime);
  void SetDoubleClockPane(bool on);
  void SetPortPane(int portNumber);
  void SetBaudPane(unsigned baudRate);

  // --- progress pane ---------------------------------------------------------
  void ProgressSetRange(int max) override;
  void ProgressReset() override;
  void ProgressAdvance() override;
  void ProgressSetText(const std::string& label) override;

  // --- front ends --------------------------------------------------------------
  void SetObserver(WindowObserver* observer);
  WindowState Snapshot() const;

 private:
  void Changed(WindowAspect aspect);
  // One status-bar pane, formatted as printf does.
  void SetPane(std::string WindowState::*pane, const char* format, ...) __attribute__((format(printf, 3, 4)));

  mutable std::mutex windowMutex_;
  WindowState window_;
  WindowObserver* observer_ = nullptr;
  bool closeRequested_ = false;
};

}  // namespace brisko
