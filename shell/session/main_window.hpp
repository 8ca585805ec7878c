#pragma once
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "link/link_timing.hpp"
#include "link/serial_device.hpp"
#include "link/user_paths.hpp"
#include "shell/session/command_outcome.hpp"
#include "shell/block0/displaced_notice.hpp"
#include "shell/session/operator.hpp"
#include "shell/session/window_state.hpp"
#include "chip/flash_engine.hpp"
#include "chip/legacy_link_worker.hpp"
#include "chip/progress_sink.hpp"
#include "chip/session_record.hpp"
#include "chip/session_state.hpp"

namespace brisko {

// The operator shell without pixels: owns the session record and the session
// state, keeps the window's state, offers the services every command uses,
// and reports through the operator. Commands live in their own files as
// functions taking the MainWindow.
class MainWindow final : public ProgressSink {
 public:
  MainWindow(Operator& op, DeviceOpener opener, LinkTiming timing = {}, SessionPlaces places = {});
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // --- what the commands work with -------------------------------------
  Operator& Op() { return *op_; }
  // Null when the record could not be created (every chip command then
  // reports ReportNoChip).
  SessionRecord* Record() { return record_.get(); }
  SessionState& State() { return state_; }
  const SessionPlaces& Places() const { return places_; }
  FlashEngine Engine();
  // What is displaced on the chip right now, for a front end that must end
  // at once (see DisplacedSection).
  DisplacedNotice& Notice() { return notice_; }
  void DestroyRecordForTest() { record_.reset(); }

  // --- window services ---------------------------------------------------
  void ClearStatusText();
  void SetStatusText(const std::string& text);
  const std::string& StatusText() const { return window_.statusText; }
  void ResetChipInfo();
  void SetChipInfo(const ChipInfoTexts& info);
  ChipInfoTexts ChipInfo() const;
  void ShowSecurityText(const std::string& text);
  void UpdateDoubleClockPane();
  void ResetTarget();
  void SetCaption(const std::string& caption);
  std::string Caption() const;
  void SetButton(IapButton button, bool enabled);
  void ApplyButtonChanges(const ButtonChanges& changes);
  bool ButtonEnabled(IapButton button) const;
  // Selects the Block 0 / Block 1 tab without refilling the views.
  void SelectTab(int tab);
  void SetViews(std::vector<SectorRow> table, int hotRow, std::string dumpHeader, std::vector<DumpRow> dump);
  // The application ends (the window is destroyed).
  void RequestClose();
  bool CloseRequested() const { return closeRequested_; }

  // --- progress pane ------------------------------------------------------
  void ProgressSetRange(int max) override;
  void ProgressReset() override;
  void ProgressAdvance() override;
  void ProgressSetText(const std::string& label) override;

  // --- the one-second timer (driven by CommandRunner::Tick) ------------------
  void UpdateClockPane(const std::tm& localTime);
  // While a chip is detected and no long operation owns the link, the loader
  // must echo 63h; a missing echo drops the link and tells the operator.
  // A short command: run on the command thread, between commands only.
  void KeepAlive();
  void UpdatePortPane();
  void UpdateBaudPane();

  // --- the legacy link worker (loader 1.1E) -----------------------------
  // Starts a worker on the session's port (not yet released to it).
  LegacyLinkWorker& StartLegacyWorker();
  // Null when none runs.
  LegacyLinkWorker* LegacyWorker() { return legacyWorker_.get(); }
  // Stops and joins the worker, if any; returns the messages it held for
  // the operator.
  std::vector<std::string> StopLegacyWorker();
  // The worker, started again and released to the port if the one that ran
  // has ended (its held messages are told first): for the put-back through a
  // 1.1E loader that is still in place after the worker gave up. Null when
  // no worker was started.
  LegacyLinkWorker* LiveLegacyWorker();

  // --- common entry checks -------------------------------------------------
  // ClearStatusText, record present (ReportNoChip) and applyGeometry, then as
  // asked: link up (ReportNoTargetBoard), user code not started
  // (ReportNoChip). None when the command may go on, else its refusal (told).
  [[nodiscard]] std::optional<CommandOutcome> RefuseOnEntry(bool needLink, bool refuseUserCode);

  // --- message helpers ------------------------------------------------------
  void ReportNoChip();
  void ReportDownloadFailed();
  void ReportNoTargetBoard();
  void ReportChipAlreadyDetected();
  void ReportChipInfoIncomplete();
  void ReportVerifyFailed();
  void ReportReadFailed();
  void ReportIllegalBlock();
  void ReportCannotOpenFile();
  void ReportFileOversize();
  void ReportReadCommandFailed();
  void ReportReadCommandByteFailed2();
  void ReportReadCommandByteFailed3();
  void ReportSectorEraseFailed();
  void ReportQueueWriteError();
  void ReportQueueReadError();
  void ReportQueueFull();
  void ReportWaitError();
  void ReportPurgeWarning();

  // --- front ends -------------------------------------------------------------
  void SetObserver(WindowObserver* observer);
  WindowState Snapshot() const;

 private:
  void Changed(WindowAspect aspect);
  // One status-bar pane, formatted as printf does.
  void SetPane(std::string WindowState::*pane, const char* format, ...) __attribute__((format(printf, 3, 4)));

  Operator* op_;
  SessionPlaces places_;
  std::unique_ptr<SessionRecord> record_;
  SessionState state_;
  DisplacedNotice notice_;
  mutable std::mutex windowMutex_;
  WindowState window_;
  WindowObserver* observer_ = nullptr;
  bool closeRequested_ = false;
  std::unique_ptr<LegacyLinkWorker> legacyWorker_;
};

}  // namespace brisko
