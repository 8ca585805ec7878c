#include "gui/brisko_window.hpp"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "gui/command_gate.hpp"
#include "shell/commands/command_table.hpp"
#include "gui/file_drop.hpp"
#include "gui/log_pane.hpp"
#include "gui/dialogs/registry_values.hpp"
#include "gui/memory_view.hpp"
#include "gui/outcome_text.hpp"
#include "gui/recent_files.hpp"
#include "gui/version_text.hpp"
#include "gui/window_fit.hpp"
#include "gui/window_settings.hpp"
#include "gui/progress_pane.hpp"
#include "gui/resources.hpp"
#include "gui/view_commands.hpp"
#include "gui/window_bridge.hpp"
#include "shell/setup/settings_file.hpp"

namespace brisko::gui {
namespace {

const unsigned kAllAspects = ~0u & ~BitOf(WindowAspect::Closed);
constexpr const char* kBusyText = "A command is still running.\nClose the window when it has ended.";
constexpr const char* kSearching = "Searching for the chip…";

QString MenuName(const QString& text) { return QString(text).remove(QLatin1Char('&')); }

QLabel* Pane(const QString& prompt, QWidget* parent) {
  auto* label = new QLabel(prompt, parent);
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setAlignment(Qt::AlignCenter);
  // The prompt sizes the pane; the text shown later may be shorter.
  label->setMinimumWidth(label->fontMetrics().horizontalAdvance(prompt) + 12);
  return label;
}

}  // namespace

BriskoWindow::BriskoWindow(DeviceOpener opener, LinkTiming timing, SessionPlaces places, QWidget* parent)
    : QMainWindow(parent),
      op_(this),
      shell_(std::make_unique<Session>(op_, std::move(opener), timing, WithToolkitRegistry(std::move(places)))),
      runner_(std::make_unique<CommandRunner>(*shell_)),
      bridge_(new WindowBridge(this)),
      timer_(new QTimer(this)),
      settings_(OpenWindowSettings(shell_->Places())),
      gate_(new CommandGate(this)),
      logPane_(new LogPane(settings_.get(), this)),
      recent_(new RecentFiles(settings_.get(), this)),
      sectorModel_(new SectorTableModel({QStringLiteral("SECTOR"), QStringLiteral("HEX - FROM"),
                                         QStringLiteral("HEX - TO"), QStringLiteral("DEC - FROM"),
                                         QStringLiteral(" STATUS ")},
                                        {Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignHCenter,
                                         Qt::AlignHCenter},
                                        this)),
      dumpModel_(new DumpModel({QStringLiteral("SECTOR ???"), QStringLiteral("MEMORY"), QStringLiteral("ASCII")},
                               {Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignLeft}, this)) {
  ApplySavedSettings(*shell_);
  InitResources();
  setObjectName(QStringLiteral("mainWindow"));
  setWindowIcon(QIcon(QStringLiteral(":/brisko/brisko.svg")));
  BuildMenus();
  BuildToolBars();
  setCentralWidget(BuildCentre());
  BuildStatusBar();
  addDockWidget(Qt::BottomDockWidgetArea, logPane_);
  logPane_->Restore();
  setAcceptDrops(true);
  FitWindowToScreen(this, kPreferredWindowSize);

  // Enter, Escape and the close button end the window at once while idle;
  // while a command runs, Escape cancels it.
  for (const auto key : {Qt::Key_Return, Qt::Key_Enter})
    connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this, &QWidget::close);
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
          [this] { runner_->Busy() ? CancelCommand() : void(close()); });
  connect(gate_, &CommandGate::Refused, this, &BriskoWindow::SayBusy);
  connect(recent_, &RecentFiles::Chosen, this, &BriskoWindow::OpenForDownload);
  op_.SetShownHook([this](const QString& text) { OnShown(text); });
  op_.SetFileHook([this](const QString& path) { recent_->Add(path); });

  connect(bridge_, &WindowBridge::Changed, this, &BriskoWindow::Render);
  shell_->Window().SetObserver(bridge_);
  Render(kAllAspects, shell_->Window().Snapshot());

  connect(timer_, &QTimer::timeout, this, &BriskoWindow::OnTimer);
  timer_->start(1000);
  OnTimer();
}

BriskoWindow::~BriskoWindow() {
  timer_->stop();
  // A command that still waits for an answer needs this thread's event loop
  // to get it; ask it to stop and keep answering until it has.
  runner_->Cancel();
  while (runner_->Busy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  runner_.reset();
  shell_->State().legacyWorkerRunning = false;
  shell_->Window().SetObserver(nullptr);
}

// --- building ------------------------------------------------------------

void BriskoWindow::BuildMenus() {
  QMenu* menu = nullptr;
  for (const MenuEntry& entry : MenuEntries()) {
    if (!menu || menu->title() != entry.menu) menu = menuBar()->addMenu(entry.menu);
    switch (entry.kind) {
      case EntryKind::Separator:
        menu->addSeparator();
        break;
      case EntryKind::Exit: {
        QAction* exit = menu->addAction(entry.text);
        connect(exit, &QAction::triggered, this, &BriskoWindow::OnExit);
        const QList<QAction*> items = menu->actions();
        AddFileMenuItems(menu, items.size() > 1 && items[items.size() - 2]->isSeparator() ? items[items.size() - 2] : exit);
        break;
      }
      case EntryKind::About: {
        // The first box, about the program, also tells which build it is.
        const bool first = menu->actions().isEmpty();
        const QString text = first ? entry.aboutText + QStringLiteral("\n\n") + VersionText() : entry.aboutText;
        connect(menu->addAction(entry.text), &QAction::triggered, this, [this, text] { ShowMessage(this, text); });
        break;
      }
      case EntryKind::Chip: {
        QAction* action = menu->addAction(entry.text);
        gate_->AddAction(action, static_cast<bool>(entry.command));
        gate_->WatchMenu(menu);
        const auto command = entry.command;
        const QString name = MenuName(entry.text);
        connect(action, &QAction::triggered, this, [this, command, name] { StartCommand(command, name); });
        break;
      }
    }
  }
}

void BriskoWindow::BuildToolBars() {
  QToolBar* tools = addToolBar(QStringLiteral("Tools"));
  tools->setObjectName(QStringLiteral("toolBar"));
  tools->setIconSize(QSize(26, 15) * 3 / 2);
  for (const ToolEntry& entry : ToolEntries()) {
    QAction* action = tools->addAction(QIcon(entry.icon), QString());
    action->setObjectName(entry.name);
    action->setToolTip(QString());
    gate_->AddAction(action, static_cast<bool>(entry.command));
    const auto command = entry.command;
    const QString name = entry.name;
    connect(action, &QAction::triggered, this, [this, command, name] { StartCommand(command, name); });
  }
  QToolBar* securityBar = addToolBar(QStringLiteral("Security"));
  securityBar->setObjectName(QStringLiteral("securityBar"));
  securityEdit_ = new QLineEdit(securityBar);
  securityEdit_->setObjectName(QStringLiteral("securityText"));
  securityEdit_->setReadOnly(true);
  securityEdit_->setFocusPolicy(Qt::NoFocus);
  // Wide enough for the longest lock-state text, and no wider: the bar must
  // fit beside the tool bar on a small screen.
  securityEdit_->setMinimumWidth(
      securityEdit_->fontMetrics().horizontalAdvance(QStringLiteral("SECURITY : CHIP IS LEVEL3 SOFTLOCKED (FSTAT[7:5]:010)")) +
      16);
  securityBar->addWidget(securityEdit_);
}

QWidget* BriskoWindow::BuildCentre() {
  auto* centre = new QWidget(this);
  // Tight spacing: the whole window must fit a 1920x1080 screen at 200 %.
  auto* columns = new QHBoxLayout(centre);
  columns->setContentsMargins(6, 4, 6, 4);

  auto* left = new QVBoxLayout;
  tabs_ = new QTabBar(centre);
  tabs_->setObjectName(QStringLiteral("blockTabs"));
  tabs_->addTab(QStringLiteral("Block 0"));
  tabs_->addTab(QStringLiteral("Block 1"));
  tabs_->setExpanding(false);
  connect(tabs_, &QTabBar::currentChanged, this, &BriskoWindow::OnTabChanged);
  gate_->WatchWidget(tabs_);
  sectorView_ = new MemoryView({1, 1, 1, 1, -1}, centre);
  sectorView_->setObjectName(QStringLiteral("sectorTable"));
  sectorView_->setModel(sectorModel_);
  dumpView_ = new MemoryView({1, 4, 2}, centre);
  dumpView_->setObjectName(QStringLiteral("memoryDump"));
  dumpView_->setModel(dumpModel_);
  for (MemoryView* view : {sectorView_, dumpView_})
    connect(view, &MemoryView::RowClicked, this,
            [this](int row) {
              if (!StartCommand([row](Session& session) { return OnViewClick(session, row); })) SayBusy();
            });
  auto* statusRow = new QHBoxLayout;
  statusEdit_ = new QLineEdit(centre);
  statusEdit_->setObjectName(QStringLiteral("iapStatus"));
  statusEdit_->setReadOnly(true);
  statusRow->addWidget(new QLabel(QStringLiteral("IAP Status:"), centre));
  statusRow->addWidget(statusEdit_);
  left->addWidget(tabs_);
  left->addWidget(sectorView_, 1);
  left->addWidget(dumpView_, 1);
  left->addLayout(statusRow);

  auto* right = new QVBoxLayout;
  auto* info = new QGroupBox(QStringLiteral("Chip Information"), centre);
  auto* form = new QFormLayout(info);
  form->setVerticalSpacing(3);
  const char* labels[] = {"Chip Type:", "Flash Size:", "Mem Mode:", "ReMap:", "Fw Version:"};
  const char* names[] = {"chipType", "flashSize", "memMode", "remap", "fwVersion"};
  for (int i = 0; i < 5; ++i) {
    chipInfo_[i] = new QLineEdit(info);
    chipInfo_[i]->setObjectName(QString::fromUtf8(names[i]));
    chipInfo_[i]->setReadOnly(true);
    chipInfo_[i]->setFocusPolicy(Qt::NoFocus);
    form->addRow(QString::fromUtf8(labels[i]), chipInfo_[i]);
  }
  auto* iap = new QGroupBox(QStringLiteral("IAP Function"), centre);
  auto* iapLayout = new QVBoxLayout(iap);
  iapLayout->setSpacing(2);
  auto* group = new QButtonGroup(iap);
  for (const IapEntry& entry : IapEntries()) {
    auto* button = new QRadioButton(entry.text, iap);
    button->setObjectName(entry.text);
    group->addButton(button);
    iapLayout->addWidget(button);
    iapButtons_.push_back(button);
    iapAvailable_.push_back(static_cast<bool>(entry.command));
    gate_->WatchWidget(button);
    const auto command = entry.command;
    const QString name = entry.text;
    connect(button, &QRadioButton::clicked, this, [this, command, name] { StartCommand(command, name); });
  }
  right->addWidget(info);
  right->addWidget(iap);
  right->addStretch(1);

  columns->addLayout(left, 1);
  columns->addLayout(right);
  return centre;
}

void BriskoWindow::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setSizeGripEnabled(false);
  messagePane_ = Pane(QStringLiteral("Ready"), bar);
  messagePane_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  messagePane_->setMinimumWidth(0);
  // A long message is cut at the pane's end rather than squeezing the bar.
  messagePane_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  progressPane_ = new ProgressPane(bar);
  progressPane_->setObjectName(QStringLiteral("progressPane"));
  progressPane_->setMinimumWidth(progressPane_->sizeHint().width());
  cancelButton_ = new QPushButton(QStringLiteral("&Cancel"), bar);
  cancelButton_->setObjectName(QStringLiteral("cancelButton"));
  cancelButton_->setEnabled(false);
  cancelButton_->setFocusPolicy(Qt::NoFocus);
  cancelButton_->setToolTip(QStringLiteral("Stop the running command at its next safe point (Esc)"));
  connect(cancelButton_, &QPushButton::clicked, this, &BriskoWindow::CancelCommand);
  doubleClockPane_ = Pane(QStringLiteral("Double Clock OFF"), bar);
  portPane_ = Pane(QStringLiteral("COM001"), bar);
  baudPane_ = Pane(QStringLiteral("Baud Rate:  38400"), bar);
  clockPane_ = Pane(QStringLiteral("00:00:00 AM"), bar);
  const QLabel* panes[] = {messagePane_, doubleClockPane_, portPane_, baudPane_, clockPane_};
  const char* names[] = {"messagePane", "doubleClockPane", "portPane", "baudPane", "clockPane"};
  for (int i = 0; i < 5; ++i) const_cast<QLabel*>(panes[i])->setObjectName(QString::fromUtf8(names[i]));
  bar->addWidget(messagePane_, 1);
  bar->addWidget(progressPane_);
  bar->addWidget(cancelButton_);
  bar->addWidget(doubleClockPane_);
  bar->addWidget(portPane_);
  bar->addWidget(baudPane_);
  bar->addWidget(clockPane_);
}

// --- rendering ------------------------------------------------------------

void BriskoWindow::Render(unsigned changed, const WindowState& s) {
  auto has = [changed](WindowAspect a) { return (changed & BitOf(a)) != 0; };
  auto text = [](const std::string& t) { return QString::fromStdString(t); };
  if (has(WindowAspect::Caption)) setWindowTitle(text(s.caption));
  if (has(WindowAspect::ChipInfo)) {
    const std::string* fields[] = {&s.chipInfo.chipType, &s.chipInfo.flashSize, &s.chipInfo.memMode,
                                   &s.chipInfo.remap, &s.chipInfo.fwVersion};
    for (int i = 0; i < 5; ++i) chipInfo_[i]->setText(text(*fields[i]));
  }
  if (has(WindowAspect::Status)) statusEdit_->setText(text(s.statusText));
  if (has(WindowAspect::Security)) securityEdit_->setText(text(s.securityText));
  if (has(WindowAspect::Buttons)) {
    buttonsOn_ = s.buttons;
    ApplyButtons();
  }
  if (has(WindowAspect::Progress)) {
    progressPane_->SetLabel(text(s.progress.label));
    progressPane_->SetProgress(s.progress.max, s.progress.position, s.progress.barVisible);
  }
  if (has(WindowAspect::Panes)) {
    shellMessage_ = text(s.messagePane);
    messagePane_->setText(heldMessage_.isEmpty() ? shellMessage_ : heldMessage_);
    doubleClockPane_->setText(text(s.doubleClockPane));
    portPane_->setText(text(s.portPane));
    baudPane_->setText(text(s.baudPane));
    clockPane_->setText(text(s.clockPane));
  }
  if (has(WindowAspect::Tab)) {
    const QSignalBlocker quiet(tabs_);
    tabs_->setCurrentIndex(s.selectedTab == 1 ? 1 : 0);
  }
  if (has(WindowAspect::Views)) {
    sectorModel_->SetRows(s.sectorTable, s.hotSectorRow);
    dumpModel_->SetHeader(0, text(s.dumpHeader));
    dumpModel_->SetRows(s.dump, -1);
    if (s.hotSectorRow >= 0 && s.hotSectorRow < sectorModel_->rowCount())
      sectorView_->scrollTo(sectorModel_->index(s.hotSectorRow, 0));
  }
  if (has(WindowAspect::Closed)) {
    if (runner_->Busy())
      closeAfterCommand_ = true;
    else
      close();
  }
}

// --- commands ----------------------------------------------------------------

bool BriskoWindow::StartCommand(CommandRunner::Command command, const QString& name) {
  if (!command) return false;
  const bool started = runner_->Start(std::move(command), [this](const CommandOutcome& outcome) {
    QMetaObject::invokeMethod(this, [this, outcome] { OnCommandEnded(outcome); }, Qt::QueuedConnection);
  });
  if (started) {
    runningName_ = name;
    SetBusy(true);
  }
  return started;
}

void BriskoWindow::CancelCommand() {
  if (!runner_->Busy()) return;
  runner_->Cancel();
  HoldMessage(QStringLiteral("Cancelling: the command stops at its next safe point"));
  logPane_->Append(QStringLiteral("Cancel asked"));
}

void BriskoWindow::OpenForDownload(const QString& path) {
  if (runner_->Busy()) return SayBusy();
  op_.PrefillFile(path);
  if (!StartCommand(FindCommandEntry("download")->handler, QStringLiteral("Download"))) {
    op_.PrefillFile({});
    SayBusy();
  }
}

void BriskoWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedImageFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void BriskoWindow::dropEvent(QDropEvent* event) {
  const QString path = DroppedImageFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  OpenForDownload(path);
}

void BriskoWindow::AddFileMenuItems(QMenu* file, QAction* before) {
  auto* recentMenu = new QMenu(QStringLiteral("Recent &Files"), file);
  recentMenu->setObjectName(QStringLiteral("recentFiles"));
  file->insertMenu(before, recentMenu);
  recent_->AttachMenu(recentMenu);
  QAction* showLog = logPane_->toggleViewAction();
  showLog->setText(QStringLiteral("Show &Log"));
  file->insertAction(before, showLog);
}

// While a command runs, nothing else may start: its controls are disabled,
// the Cancel button is live, and the progress pane shows that work goes on
// even when the command has no bar of its own.
void BriskoWindow::SetBusy(bool busy) {
  gate_->SetBusy(busy);
  tabs_->setEnabled(!busy);
  cancelButton_->setEnabled(busy);
  progressPane_->SetBusy(busy);
  ApplyButtons();
  if (!busy) HoldMessage({});
}

void BriskoWindow::ApplyButtons() {
  for (std::size_t i = 0; i < iapButtons_.size(); ++i)
    iapButtons_[i]->setEnabled(buttonsOn_[i] && iapAvailable_[i] && !gate_->Busy());
}

void BriskoWindow::SayBusy() {
  if (runner_->Busy()) HoldMessage(QString::fromUtf8(CommandGate::kBusyReason));
}

// What the window itself says in the message pane stays there, over the
// shell's text, until the command has ended.
void BriskoWindow::HoldMessage(const QString& text) {
  heldMessage_ = text;
  messagePane_->setText(heldMessage_.isEmpty() ? shellMessage_ : heldMessage_);
}

void BriskoWindow::OnShown(const QString& text) {
  logPane_->Append(text);
  // The detections search for the loader for up to 12 s once the operator
  // has answered this prompt; the pane says so rather than looking idle.
  if (runner_->Busy() && text.contains(QStringLiteral("Reset MCU")))
    progressPane_->SetBusy(true, QString::fromUtf8(kSearching));
}

// The runner is free before it reports the end, so a click that came first
// may already have started the next command here: nothing waits for the
// runner, and a close that waited for a command waits for that one too.
void BriskoWindow::OnCommandEnded(const CommandOutcome& outcome) {
  lastOutcome_ = outcome;
  op_.PrefillFile({});
  const QString line = OutcomeText(runningName_, outcome);
  logPane_->Append(line);
  const QString status = statusEdit_->text();
  if ((outcome.kind == OutcomeKind::Failed || outcome.kind == OutcomeKind::Refused) && !status.isEmpty())
    logPane_->Append(QStringLiteral("IAP Status: ") + status);
  // A cancel leaves no status of its own: the line says what was done.
  if (outcome.kind == OutcomeKind::Cancelled) statusEdit_->setText(line);
  if (!runner_->Busy()) SetBusy(false);
  emit CommandEnded();
  if (!closeAfterCommand_ && !shell_->Window().CloseRequested()) return;
  if (runner_->Busy()) {
    closeAfterCommand_ = true;
    return;
  }
  closeAfterCommand_ = false;
  close();
}

void BriskoWindow::OnTabChanged(int tab) {
  if (StartCommand([tab](Session& session) { return OnTabSwitch(session, tab); }, tabs_->tabText(tab))) return;
  SayBusy();
  // A command runs: the tab stays where the shell has it.
  const QSignalBlocker quiet(tabs_);
  tabs_->setCurrentIndex(shell_->Window().Snapshot().selectedTab == 1 ? 1 : 0);
}

void BriskoWindow::OnExit() {
  if (runner_->Busy()) {
    ShowMessage(this, QString::fromUtf8(kBusyText));
    return;
  }
  if (AskYesNo(this, QStringLiteral("Are you sure you want to exit this application?"))) close();
}

void BriskoWindow::OnTimer() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  TickAt(local);
}

void BriskoWindow::TickAt(const std::tm& localTime) { runner_->Tick(localTime); }

void BriskoWindow::closeEvent(QCloseEvent* event) {
  // Closing in the middle of a flash operation would leave the chip half
  // written: refused until the command has ended.
  if (runner_->Busy()) {
    event->ignore();
    ShowMessage(this, QString::fromUtf8(kBusyText));
    return;
  }
  event->accept();
}

}  // namespace brisko::gui
