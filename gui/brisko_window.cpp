#include "gui/brisko_window.hpp"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
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

#include "gui/dialogs/registry_values.hpp"
#include "gui/memory_view.hpp"
#include "gui/progress_pane.hpp"
#include "gui/resources.hpp"
#include "gui/view_commands.hpp"
#include "gui/window_bridge.hpp"
#include "shell/setup/settings_file.hpp"

namespace brisko::gui {
namespace {

const unsigned kAllAspects = ~0u & ~BitOf(WindowAspect::Closed);
constexpr const char* kBusyText = "A command is still running.\nClose the window when it has ended.";

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
  resize(860, 580);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

  // Enter, Escape and the close button end the window at once while idle.
  for (const auto key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
    connect(new QShortcut(QKeySequence(key), this), &QShortcut::activated, this, &QWidget::close);

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
      case EntryKind::Exit:
        connect(menu->addAction(entry.text), &QAction::triggered, this, &BriskoWindow::OnExit);
        break;
      case EntryKind::About: {
        const QString text = entry.aboutText;
        connect(menu->addAction(entry.text), &QAction::triggered, this, [this, text] { ShowMessage(this, text); });
        break;
      }
      case EntryKind::Chip: {
        QAction* action = menu->addAction(entry.text);
        action->setEnabled(static_cast<bool>(entry.command));
        const auto command = entry.command;
        connect(action, &QAction::triggered, this, [this, command] { StartCommand(command); });
        break;
      }
    }
  }
}

void BriskoWindow::BuildToolBars() {
  QToolBar* tools = addToolBar(QStringLiteral("Tools"));
  tools->setObjectName(QStringLiteral("toolBar"));
  tools->setIconSize(QSize(26, 15) * 2);
  for (const ToolEntry& entry : ToolEntries()) {
    QAction* action = tools->addAction(QIcon(entry.icon), QString());
    action->setObjectName(entry.name);
    action->setToolTip(QString());
    action->setEnabled(static_cast<bool>(entry.command));
    const auto command = entry.command;
    connect(action, &QAction::triggered, this, [this, command] { StartCommand(command); });
  }
  QToolBar* securityBar = addToolBar(QStringLiteral("Security"));
  securityBar->setObjectName(QStringLiteral("securityBar"));
  securityEdit_ = new QLineEdit(securityBar);
  securityEdit_->setObjectName(QStringLiteral("securityText"));
  securityEdit_->setReadOnly(true);
  securityEdit_->setFocusPolicy(Qt::NoFocus);
  securityEdit_->setMinimumWidth(480);
  securityBar->addWidget(securityEdit_);
}

QWidget* BriskoWindow::BuildCentre() {
  auto* centre = new QWidget(this);
  auto* columns = new QHBoxLayout(centre);

  auto* left = new QVBoxLayout;
  tabs_ = new QTabBar(centre);
  tabs_->setObjectName(QStringLiteral("blockTabs"));
  tabs_->addTab(QStringLiteral("Block 0"));
  tabs_->addTab(QStringLiteral("Block 1"));
  tabs_->setExpanding(false);
  connect(tabs_, &QTabBar::currentChanged, this, &BriskoWindow::OnTabChanged);
  sectorView_ = new MemoryView({1, 1, 1, 1, -1}, centre);
  sectorView_->setObjectName(QStringLiteral("sectorTable"));
  sectorView_->setModel(sectorModel_);
  dumpView_ = new MemoryView({1, 4, 2}, centre);
  dumpView_->setObjectName(QStringLiteral("memoryDump"));
  dumpView_->setModel(dumpModel_);
  for (MemoryView* view : {sectorView_, dumpView_})
    connect(view, &MemoryView::RowClicked, this,
            [this](int row) { StartCommand([row](Session& session) { return OnViewClick(session, row); }); });
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
  auto* group = new QButtonGroup(iap);
  for (const IapEntry& entry : IapEntries()) {
    auto* button = new QRadioButton(entry.text, iap);
    button->setObjectName(entry.text);
    group->addButton(button);
    iapLayout->addWidget(button);
    iapButtons_.push_back(button);
    iapAvailable_.push_back(static_cast<bool>(entry.command));
    const auto command = entry.command;
    connect(button, &QRadioButton::clicked, this, [this, command] { StartCommand(command); });
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
  progressPane_ = new ProgressPane(bar);
  progressPane_->setObjectName(QStringLiteral("progressPane"));
  doubleClockPane_ = Pane(QStringLiteral("Double Clock OFF"), bar);
  portPane_ = Pane(QStringLiteral("COM001"), bar);
  baudPane_ = Pane(QStringLiteral("Baud Rate:  38400"), bar);
  clockPane_ = Pane(QStringLiteral("00:00:00 AM"), bar);
  const QLabel* panes[] = {messagePane_, doubleClockPane_, portPane_, baudPane_, clockPane_};
  const char* names[] = {"messagePane", "doubleClockPane", "portPane", "baudPane", "clockPane"};
  for (int i = 0; i < 5; ++i) const_cast<QLabel*>(panes[i])->setObjectName(QString::fromUtf8(names[i]));
  bar->addWidget(messagePane_, 1);
  bar->addWidget(progressPane_);
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
  if (has(WindowAspect::Buttons))
    for (std::size_t i = 0; i < iapButtons_.size(); ++i) iapButtons_[i]->setEnabled(s.buttons[i] && iapAvailable_[i]);
  if (has(WindowAspect::Progress)) {
    progressPane_->SetLabel(text(s.progress.label));
    progressPane_->SetProgress(s.progress.max, s.progress.position, s.progress.barVisible);
  }
  if (has(WindowAspect::Panes)) {
    messagePane_->setText(text(s.messagePane));
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

bool BriskoWindow::StartCommand(CommandRunner::Command command) {
  if (!command) return false;
  return runner_->Start(std::move(command), [this](const CommandOutcome&) {
    QMetaObject::invokeMethod(this, [this] { OnCommandEnded(); }, Qt::QueuedConnection);
  });
}

// The runner is free before it reports the end, so a click that came first
// may already have started the next command here: nothing waits for the
// runner, and a close that waited for a command waits for that one too.
void BriskoWindow::OnCommandEnded() {
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
  if (StartCommand([tab](Session& session) { return OnTabSwitch(session, tab); })) return;
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
