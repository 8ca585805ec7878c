#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "chip/flash_engine.hpp"
#include "chip/legacy_link_worker.hpp"
#include "chip/session_record.hpp"
#include "chip/session_state.hpp"
#include "link/link_timing.hpp"
#include "link/serial_device.hpp"
#include "link/user_paths.hpp"
#include "shell/session/command_outcome.hpp"
#include "shell/session/displaced_notice.hpp"
#include "shell/session/operator.hpp"
#include "shell/session/window_model.hpp"

namespace brisko {

// What a command works with: the session record (port, chip geometry) and
// state, the operator, the flash engine, the 1.1E loader's worker, the
// keep-alive and the entry checks. It owns the window model that front ends
// show, and reports through the operator. Commands live in their own files as
// functions taking the session.
class Session {
 public:
  // The saved settings are not read here: a front end applies them
  // (ApplySavedSettings) when it wants them.
  Session(Operator& op, DeviceOpener opener, LinkTiming timing = {}, SessionPlaces places = {});
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

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
  WindowModel& Window() { return window_; }
  const WindowModel& Window() const { return window_; }
  void DestroyRecordForTest() { record_.reset(); }

  // Selects the record's current block and shows its tab, without refilling
  // the views.
  void SelectTab(int tab);
  // The panes that show the record's port, rate and the double clock.
  void UpdatePortPane();
  void UpdateBaudPane();
  void UpdateDoubleClockPane();

  // The RESET button: stops the 1.1E worker, forgets the chip and pulses RTS.
  void ResetTarget();
  // While a chip is detected and no long operation owns the link, the loader
  // must echo 63h; a missing echo drops the link and tells the operator.
  // A short command: run on the command thread, between commands only.
  void KeepAlive();

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
  void ReportNoTargetBoard();
  void ReportChipAlreadyDetected();
  void ReportChipInfoIncomplete();
  void ReportIllegalBlock();

 private:
  Operator* op_;
  SessionPlaces places_;
  WindowModel window_;
  std::unique_ptr<SessionRecord> record_;
  SessionState state_;
  DisplacedNotice notice_;
  std::unique_ptr<LegacyLinkWorker> legacyWorker_;
};

}  // namespace brisko
