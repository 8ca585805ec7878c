#pragma once
#include <QMainWindow>
#include <array>
#include <ctime>
#include <memory>
#include <vector>

#include "gui/window_entries.hpp"
#include "gui/memory_table_model.hpp"
#include "gui/qt_operator.hpp"
#include "link/link_timing.hpp"
#include "link/serial_device.hpp"
#include "link/user_paths.hpp"
#include "shell/session/command_runner.hpp"
#include "shell/session/session.hpp"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSettings;
class QTabBar;
class QTimer;

namespace brisko::gui {

class CommandGate;
class LogPane;
class MemoryView;
class ProgressPane;
class RecentFiles;
class WindowBridge;

// The desktop window: menus, tool bar, security bar, Chip Information,
// "IAP Function" buttons, the two memory views under their Block 0 / Block 1
// tab, "IAP Status:" and the six status-bar panes. It renders the shell's
// window state and starts every command on the one command runner; while a
// command runs no other starts and the window cannot be closed.
class BriskoWindow final : public QMainWindow {
  Q_OBJECT
 public:
  // `places`: where the session keeps its settings, port map and recovery
  // files (none: nothing is kept, and the commands that must save displaced
  // bytes first refuse).
  BriskoWindow(DeviceOpener opener, LinkTiming timing = {}, SessionPlaces places = {}, QWidget* parent = nullptr);
  ~BriskoWindow() override;

  Session& Shell() { return *shell_; }
  QtOperator& Op() { return op_; }
  CommandRunner& Runner() { return *runner_; }
  // Starts a command unless one runs; false when refused. `name` is how the
  // log and the status after a cancel call it.
  bool StartCommand(CommandRunner::Command command, const QString& name = {});
  // Cancel and Esc: the running command stops at its next safe point, after
  // putting back what it displaced.
  void CancelCommand();
  // A dropped or recent file: the download dialog opens with it filled in.
  void OpenForDownload(const QString& path);
  const CommandOutcome& LastOutcome() const { return lastOutcome_; }

  // The views' models, for whoever reads their cells.
  SectorTableModel& SectorModel() { return *sectorModel_; }
  DumpModel& DumpTable() { return *dumpModel_; }
  LogPane& Log() { return *logPane_; }
  RecentFiles& Recent() { return *recent_; }

  // One tick of the one-second timer at the given local time.
  void TickAt(const std::tm& localTime);

 signals:
  // A command ended (on the UI thread, after the window showed its result).
  void CommandEnded();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildMenus();
  void BuildToolBars();
  QWidget* BuildCentre();
  void BuildStatusBar();
  void AddFileMenuItems(QMenu* file, QAction* before);
  void SetBusy(bool busy);
  void SayBusy();
  void HoldMessage(const QString& text);
  void ApplyButtons();
  void OnShown(const QString& text);
  void Render(unsigned changed, const WindowState& state);
  void OnCommandEnded(const CommandOutcome& outcome);
  void OnTabChanged(int tab);
  void OnExit();
  void OnTimer();

  QtOperator op_;
  std::unique_ptr<Session> shell_;
  std::unique_ptr<CommandRunner> runner_;
  WindowBridge* bridge_;
  QTimer* timer_;
  std::unique_ptr<QSettings> settings_;
  CommandGate* gate_;
  LogPane* logPane_;
  RecentFiles* recent_;
  CommandOutcome lastOutcome_;
  QString runningName_;
  QString shellMessage_;
  QString heldMessage_;
  bool closeAfterCommand_ = false;

  SectorTableModel* sectorModel_;
  DumpModel* dumpModel_;
  MemoryView* sectorView_ = nullptr;
  MemoryView* dumpView_ = nullptr;
  QTabBar* tabs_ = nullptr;
  std::array<QLineEdit*, 5> chipInfo_{};
  QLineEdit* statusEdit_ = nullptr;
  QLineEdit* securityEdit_ = nullptr;
  std::vector<QRadioButton*> iapButtons_;
  std::vector<bool> iapAvailable_;
  std::array<bool, kIapButtonCount> buttonsOn_{};
  QLabel* messagePane_ = nullptr;
  ProgressPane* progressPane_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  QLabel* doubleClockPane_ = nullptr;
  QLabel* portPane_ = nullptr;
  QLabel* baudPane_ = nullptr;
  QLabel* clockPane_ = nullptr;
};

}  // namespace brisko::gui
