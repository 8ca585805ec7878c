// The desktop window against the in-process simulated chip: every flow is
// started by clicking the window's own menus, buttons, tabs and views, and
// every message box is answered by pressing its buttons.
#include <QHeaderView>
#include <QLabel>
#include <QRadioButton>
#include <QComboBox>
#include <QTabBar>
#include <QThread>
#include <QtTest>
#include <filesystem>

#include "gui/dialogs/byte_edit_form.hpp"
#include "gui/dialogs/comm_setup_form.hpp"
#include "gui/dialogs/menu_forms.hpp"
#include "gui/command_gate.hpp"
#include "gui/log_pane.hpp"
#include "gui/memory_view.hpp"
#include "gui/outcome_text.hpp"
#include "gui/recent_files.hpp"
#include "gui/window_fit.hpp"
#include "gui/window_settings.hpp"
#include "link/port_names.hpp"
#include "shell/session/window_state.hpp"
#include "support/legacy_timing.hpp"
#include "support/window_driver.hpp"

using namespace brisko;
using brisko::test::Bytes;
using brisko::test::WindowDriver;

namespace {

constexpr const char* kBusy = "A command is still running.\nClose the window when it has ended.";

bool Has(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// A KT540 in internal memory mode, detected through the menu.
struct Detected : WindowDriver {
  Detected() : WindowDriver(test::ChipConfig(kKT540)) { QVERIFY(Detect()); }
  // Downloads `bytes` into block 0 from sector 0, answering Yes.
  void Download(const Bytes& bytes) {
    const std::string file = Write("image.bin", bytes);
    answers.onFileAndSector = [file](FileSectorDialog& d) {
      d.fileName = file;
      d.chosen = 0;
      return true;
    };
    replies = {true};
    QVERIFY(ClickButton(QStringLiteral("Download")));
  }
};

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT
 private slots:
  // The panes show the session's state at start and the detection's after.
  // The log holds every box and outcome of the session with the reason of
  // each failure, saves as it shows, and shows at the next start when it was
  // shown last.
  void detectFillsChipInformationPanesAndLog() {
    WindowDriver d(test::ChipConfig(kKT540));
    const char* panes[][2] = {{"messagePane", "Ready"},
                              {"doubleClockPane", "Double Clock OFF"},
                              {"portPane", "COM1"},
                              {"baudPane", "Baud Rate: 38400"}};
    for (const auto& pane : panes)
      QCOMPARE(d.window.findChild<QLabel*>(QString::fromUtf8(pane[0]))->text(), QString::fromUtf8(pane[1]));
    QCOMPARE(d.Field("securityText"), QStringLiteral("SECURITY: UNKNOWN"));
    QVERIFY(d.window.Log().isHidden());
    QVERIFY(d.ClickButton(QStringLiteral("Read")));  // no chip detected yet
    QVERIFY(d.Detect());
    QCOMPARE(d.Field("chipType"), QStringLiteral("KT540"));
    QCOMPARE(d.Field("fwVersion"), QStringLiteral("v1.1F"));
    // Every box has the application title as its caption.
    for (const auto& caption : d.captions) QCOMPARE(QString::fromStdString(caption), QString::fromUtf8(kAppTitle));
    QCOMPARE(d.window.windowTitle(), QString::fromUtf8(kAppTitle));
    // No two menus, and no two items of a menu, share a mnemonic: its key runs the one it names.
    const QList<QAction*> menus = d.window.menuBar()->actions();
    QList<QList<QAction*>> groups{menus};
    for (QAction* menu : menus) groups << menu->menu()->actions();
    for (const auto& group : groups) {
      QSet<QKeySequence> keys;
      for (QAction* action : group) {
        const QKeySequence key = QKeySequence::mnemonic(action->text());
        QVERIFY2(key.isEmpty() || !keys.contains(key), qPrintable(action->text()));
        keys << key;
      }
    }

    const QString log = d.window.Log().Text();
    for (const char* line : {"] No target board has been located!!!", "] Read: refused", "] Click on OK then Reset MCU",
                             "          to Detect Baud & Chip", "] Detect Target MCU for Firmware1.1F and RS232 Config.: "})
      QVERIFY2(log.contains(QString::fromUtf8(line)), line);
    QString whyNot;
    const std::string saved = d.Path("session.log");
    QVERIFY(d.window.Log().SaveTo(QString::fromStdString(saved), whyNot));
    QCOMPARE(QString::fromStdString(test::ReadFile(saved)), log + QLatin1Char('\n'));
    d.MenuItem(QStringLiteral("Show &Log"))->trigger();
    auto settings = gui::OpenWindowSettings(d.dirs.Places());
    gui::LogPane next(settings.get());
    next.Restore();
    QVERIFY(!d.window.Log().isHidden() && !next.isHidden());
  }

  // The views show what the shell builds (its cells are tested there): a
  // read fills both, a tab switch empties the read range, and a click on a
  // row of either view shows that sector and selects nothing.
  void downloadReadTabsAndClicksFillTheViews() {
    Detected d;
    const Bytes image = test::Pattern(256, 3);
    d.Download(image);
    QCOMPARE(d.Flash(0, 0, 256), image);
    d.SetFlash(0, 0x100, Bytes(128, 0x00));  // read "All Zeros", then "Unknown" once the range is left
    d.answers.onRange = [](RangeDialog& r) { return r.start = 0, r.range = 4, true; };
    QVERIFY(d.ClickButton(QStringLiteral("Read")));
    const char* row0[] = {"000", "0000", "007F", "00000", "Not Blank"};
    for (int c = 0; c < 5; ++c) QCOMPARE(d.SectorCell(0, c), QString::fromUtf8(row0[c]));
    QCOMPARE(d.window.DumpTable().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("SECTOR 000"));

    auto* tabs = d.window.findChild<QTabBar*>(QStringLiteral("blockTabs"));
    QVERIFY(d.Run([tabs] { tabs->setCurrentIndex(1); }));
    QVERIFY(Has(d.messages, "Internal Data"));
    QCOMPARE(d.window.Shell().Record()->GetCurrentBlock(), 1);
    QVERIFY(d.Run([tabs] { tabs->setCurrentIndex(0); }));
    QCOMPARE(d.SectorCell(2, 4), QStringLiteral("Unknown"));

    auto* table = d.window.findChild<gui::MemoryView*>(QStringLiteral("sectorTable"));
    const QRect row3 = table->visualRect(d.window.SectorModel().index(3, 1));
    QVERIFY(d.Run([&] { QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, row3.center()); }));
    QCOMPARE(d.window.DumpTable().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("SECTOR 003"));
    QCOMPARE(d.DumpCell(0, 0), QStringLiteral("0180 - 018F"));
    QVERIFY(!table->selectionModel()->hasSelection());
    auto* dump = d.window.findChild<gui::MemoryView*>(QStringLiteral("memoryDump"));
    const QRect dumpRow2 = dump->visualRect(d.window.DumpTable().index(2, 0));
    QVERIFY(d.Run([&] { QTest::mouseClick(dump->viewport(), Qt::LeftButton, {}, dumpRow2.center()); }));
    QCOMPARE(d.window.DumpTable().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("SECTOR 002"));
  }

  // Cancel, by the button or by Esc, while a download waits in its dialog:
  // the download stops at its next safe point, a block-1 download with block
  // 0 put back, and the status says what was done. Meanwhile what cannot
  // start is disabled, a click on it says why, and the window stays open.
  void cancelStopsAtASafePointAndSaysWhatWasDone_data() {
    QTest::addColumn<bool>("byEscape");
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("entry");
    QTest::newRow("Esc, KT540 block 0") << true << int(kKT540) << 0;
    QTest::newRow("Cancel button, KT410 block 1 at F400h") << false << int(kKT410) << 128 + 16;
  }
  void cancelStopsAtASafePointAndSaysWhatWasDone() {
    QFETCH(bool, byEscape);
    QFETCH(int, model);
    QFETCH(int, entry);
    WindowDriver d(test::ChipConfig(model));
    QVERIFY(d.Detect());
    const Bytes block0 = test::Pattern(0x4000, 3);
    d.SetFlash(0, 0, block0);
    const Bytes block1 = d.Flash(1, 0, 0x800);
    const std::string file = d.Path("image.bin");
    test::WriteFile(file, std::string(0x400, 'x'));
    auto* read = d.window.findChild<QRadioButton*>(QStringLiteral("Read"));
    QString said;
    d.answers.onFileAndSector = [&](FileSectorDialog& f) {
      f.fileName = file;
      f.chosen = entry;
      QMetaObject::invokeMethod(&d.window, [&] {
        QVERIFY(!read->isEnabled() && !d.MenuItem(QStringLiteral("&Compare"))->isEnabled());
        QTest::mouseClick(read, Qt::LeftButton, {}, QPoint(8, read->height() / 2));
        said = d.window.findChild<QLabel*>(QStringLiteral("messagePane"))->text();
        if (byEscape)
          QTest::keyClick(&d.window, Qt::Key_Escape);
        else
          QTest::mouseClick(d.window.findChild<QPushButton*>(QStringLiteral("cancelButton")), Qt::LeftButton);
        QVERIFY(!d.window.close());
        d.MenuItem(QStringLiteral("&Exit"))->trigger();  // says the same, and asks nothing
      }, Qt::BlockingQueuedConnection);
      return true;
    };
    d.replies = {true};
    d.window.activateWindow();  // Esc is the window's own key
    QVERIFY(QTest::qWaitForWindowActive(&d.window));
    QVERIFY(d.ClickButton(QStringLiteral("Download")));
    QCOMPARE(said, QString::fromUtf8(gui::CommandGate::kBusyReason));
    QVERIFY(!read->isChecked());
    QCOMPARE(std::count(d.messages.begin(), d.messages.end(), std::string(kBusy)), 2);
    QVERIFY(!Has(d.questions, "Are you sure you want to exit this application?"));
    const CommandOutcome& outcome = d.window.LastOutcome();
    QCOMPARE(int(outcome.kind), int(OutcomeKind::Cancelled));
    QCOMPARE(d.Field("iapStatus"), gui::OutcomeText(QStringLiteral("Download"), outcome));
    QVERIFY(d.window.Log().Text().contains(QStringLiteral("Cancel asked")));
    QCOMPARE(d.Flash(0, 0, block0.size()), block0);  // nothing displaced is left out
    QCOMPARE(d.Flash(1, 0, block1.size()), block1);  // and the file was not written
    QVERIFY(read->isEnabled() && d.MenuItem(QStringLiteral("&Compare"))->isEnabled());
    // Now Exit asks, No being the default answer; Yes ends the window.
    d.MenuItem(QStringLiteral("&Exit"))->trigger();
    QVERIFY(Has(d.questions, "Are you sure you want to exit this application?") && d.window.isVisible());
    d.replies = {true};
    d.MenuItem(QStringLiteral("&Exit"))->trigger();
    QVERIFY(!d.window.isVisible());
  }

  // A dropped image file, and a recent one, open the download dialog with
  // the file filled in; files chosen there are kept for the next start.
  void dropAndRecentFilesOpenTheDownloadDialog() {
    Detected d;
    const std::string file = d.Path("dropped.hex");
    test::WriteFile(file, ":0400000001020304F2\n:00000001FF\n");
    std::vector<std::string> offered;
    d.answers.onFileAndSector = [&offered](FileSectorDialog& f) {
      offered.push_back(f.fileName);
      return f.chosen = 0, true;
    };
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(&d.window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, {});
    d.replies = {true};
    QVERIFY(d.Run([&] { QApplication::sendEvent(&d.window, &drop); }));
    QCOMPARE(d.Flash(0, 0, 4), (Bytes{1, 2, 3, 4}));

    const QString kept = QString::fromStdString(file);
    QCOMPARE(gui::RecentFiles(gui::OpenWindowSettings(d.dirs.Places()).get()).Files(), QStringList{kept});
    auto* recent = d.window.menuBar()->findChild<QMenu*>(QStringLiteral("recentFiles"));
    QVERIFY(recent && recent->actions().size() == 1);
    d.replies = {false};
    QVERIFY(d.Run([recent] { recent->actions().first()->trigger(); }));
    QVERIFY(d.RunMenu(QStringLiteral("&Compare")));  // a drop fills in one dialog only
    QCOMPARE(offered, (std::vector<std::string>{file, file, ""}));
  }

  // The runner is free a moment before the window hears that a command
  // ended; a click in that moment starts the next command, whose first
  // message box needs this thread. Nothing may wait for the runner then.
  void aCommandStartedAsAnotherEndsRunsToItsEnd() {
    WindowDriver d(test::ChipConfig(kKT540));
    QSignalSpy ended(&d.window, &gui::BriskoWindow::CommandEnded);
    QVERIFY(d.window.StartCommand([](Session&) { return CommandOutcome::Success(); }));
    for (int waited = 0; d.window.Runner().Busy() && waited < 10000; ++waited) QThread::msleep(1);
    QVERIFY(ended.isEmpty());
    QVERIFY(d.window.StartCommand([](Session& w) {
      w.Op().Tell("second");
      return CommandOutcome::Success("second");
    }));
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 2, 30000);
    QVERIFY(Has(d.messages, "second"));
  }

  // The window on a board behind a real port: brisko-sim's chip on a
  // pseudo-terminal that the port map names COM3 (or a device that is not
  // there), with the session's settings, port map and recovery files in a
  // temporary folder. The commands over it are the shell's.
  void onARealPort_data() {
    QTest::addColumn<bool>("present");
    QTest::newRow("KT540 as COM3 of the port map") << true;
    QTest::newRow("COM3 mapped to a missing device") << false;
  }
  void onARealPort() {
    QFETCH(bool, present);
    WindowDriver d(test::ChipConfig(kKT540), test::ChipLink::Pty, test::PtyLegacyTiming());
    QVERIFY2(d.board->Serving(), d.board->WhyNot().c_str());
    const std::string device = d.Path(present ? "tty" : "missing");
    const SessionPlaces places = d.dirs.Places();
    std::filesystem::create_directories(places.configDir);
    test::WriteFile(places.PortMapFile(), "COM3=" + device + "\n");
    QString shownDevice;
    d.dialogActs.push_back([&](QDialog* dialog) {
      auto* form = qobject_cast<gui::CommSetupForm*>(dialog);
      if (!form) return dialog->reject();
      form->PortCombo()->setCurrentIndex(2);
      shownDevice = form->DeviceCombo()->currentText();
      QTest::mouseClick(form->DetectButton(), Qt::LeftButton);
    });
    QVERIFY(d.Detect());
    QVERIFY(d.dialogActs.empty());
    QCOMPARE(shownDevice, QString::fromStdString(device));
    if (!present) {
      QVERIFY(Has(d.messages, "Failed to setup Serial Comm with Target MCU!!!"));
      QCOMPARE(d.Field("iapStatus"), QString::fromStdString(device + ": no such device"));
      return;
    }
    QCOMPARE(d.Field("chipType"), QStringLiteral("KT540"));

    // The settings are kept for the next start, which finds the board the same way.
    gui::BriskoWindow next(PosixOpener(places.PortMapFile()), test::PtyLegacyTiming(), places);
    QCOMPARE(QString::fromStdString(next.Shell().Window().Snapshot().portPane), QStringLiteral("COM3"));
    QCOMPARE(QString::fromStdString(ResolvePortName(next.Shell().Record()->Port().DeviceName(),
                                                    ReadPortMap(places.PortMapFile()))),
             QString::fromStdString(device));
  }

  // The forms a command opens reach the session. Byte edit: its fields take
  // an address and at most 16 bytes, Display shows the bytes there, Replace
  // writes them in place, and Return (its default button) or Esc goes back.
  // Lock: the choice (its list is the shell's) is programmed and the
  // redetection's security shown.
  void byteEditAndLockFormsReachTheSession() {
    Detected d;
    const Bytes image = test::Pattern(128, 11);
    d.Download(image);
    QString shown;
    d.dialogActs.push_back([](QDialog* dialog) {
      auto* form = qobject_cast<gui::ByteEditForm*>(dialog);
      QVERIFY(form);
      QCOMPARE(form->windowTitle(), QStringLiteral("Byte Edit in Block 0"));
      QVERIFY(form->ReturnButton()->isDefault());
      QTest::keyClicks(form->AddressField(), "0010FF");  // four digits are taken
      QTest::mouseClick(form->DisplayButton(), Qt::LeftButton);
    });
    d.dialogActs.push_back([&shown](QDialog* dialog) {
      auto* form = qobject_cast<gui::ByteEditForm*>(dialog);
      shown = form->DisplayField()->text();
      QTest::keyClicks(form->NewDataField(), QStringLiteral("AA 55 ").repeated(10));  // sixteen bytes are taken
      QTest::mouseClick(form->ReplaceButton(), Qt::LeftButton);
    });
    d.dialogActs.push_back([](QDialog* dialog) {
      QTest::keyClick(qobject_cast<gui::ByteEditForm*>(dialog)->AddressField(), Qt::Key_Return);
    });
    d.dialogActs.push_back([](QDialog* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    d.replies = {true};
    QVERIFY(d.RunMenu(QStringLiteral("&Edit data in Block 0")));
    QString expected;
    for (int i = 0; i < 16; ++i) expected += QString::asprintf("%02X ", image[0x10 + i]);
    QCOMPARE(shown, expected);
    Bytes edited = image;
    for (int i = 0; i < 16; ++i) edited[0x10 + i] = i % 2 ? 0x55 : 0xAA;
    QCOMPARE(d.Flash(0, 0, 128), edited);  // the rest of the sector kept
    QVERIFY(d.RunMenu(QStringLiteral("&Edit data in Block 0")));
    QVERIFY(d.dialogActs.empty());

    d.dialogActs.push_back([](QDialog* dialog) {
      auto* form = qobject_cast<gui::LockMenuForm*>(dialog);
      QVERIFY(form);
      QTest::mouseClick(form->Radios().at(3), Qt::LeftButton);  // "L3 Soft Lock Block 0, 1 (PROG-SB2)"
      QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("ok")), Qt::LeftButton);
    });
    d.replies = {true};
    QVERIFY(d.ClickButton(QStringLiteral("Lock Chip")));
    QCOMPARE(d.Field("securityText"), QStringLiteral("SECURITY : CHIP IS LEVEL3 SOFTLOCKED (FSTAT[7:5]:010)"));
  }

  // The window on screens from small to 200 % scaling (areas in logical
  // pixels, panels taken off): its frame stays inside the area, its layout's
  // minimum fits without clipping, and at the size it gets the dump's ASCII
  // column is in view, the sector table's last column takes the rest of its
  // width, and no header or cell is cut.
  void fitsTheScreen_data() {
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QMargins>("frame");
    QTest::newRow("1920x1080 at 200 %, panel at the top") << QRect(0, 27, 960, 513) << QMargins(0, 37, 0, 0);
    QTest::newRow("1366x768 at 100 %, task bar below") << QRect(0, 0, 1366, 728) << QMargins(4, 30, 4, 4);
    QTest::newRow("2560x1440 at 100 %, second screen") << QRect(1920, 0, 2560, 1440) << QMargins(4, 30, 4, 4);
  }
  void fitsTheScreen() {
    QFETCH(QRect, available);
    QFETCH(QMargins, frame);
    WindowDriver d(test::ChipConfig(kKT540));
    const gui::WindowFit fit = gui::FitToScreen(available, frame, gui::kPreferredWindowSize, d.window.minimumSizeHint());
    QVERIFY(available.contains(fit.client.marginsAdded(frame)));
    QCOMPARE(fit.minimum, d.window.minimumSizeHint());
    QVERIFY(fit.client.width() >= fit.minimum.width() && fit.client.height() >= fit.minimum.height());

    auto* dump = d.window.findChild<gui::MemoryView*>(QStringLiteral("memoryDump"));
    auto* sectors = d.window.findChild<gui::MemoryView*>(QStringLiteral("sectorTable"));
    d.answers.onRange = [](RangeDialog& r) { return r.start = 0, r.range = 1, true; };
    QVERIFY(d.Detect());
    QVERIFY(d.ClickButton(QStringLiteral("Read")));
    QCOMPARE(d.DumpCell(0, 2), QString(16, QChar(0xFF)));  // erased bytes, shown as Latin-1
    for (const QSize size : {fit.client.size(), fit.minimum}) {
      d.window.resize(size);
      QTRY_COMPARE(d.window.size(), size);
      QApplication::processEvents();
      for (int c = 0; c < 3; ++c) {
        const QString header = d.window.DumpTable().headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        QVERIFY(dump->columnWidth(c) > dump->horizontalHeader()->fontMetrics().horizontalAdvance(header));
        QVERIFY(dump->columnWidth(c) > dump->fontMetrics().horizontalAdvance(d.DumpCell(0, c)));
      }
      if (size != fit.client.size()) continue;
      QVERIFY(dump->columnViewportPosition(2) + dump->columnWidth(2) <= dump->viewport()->width());
      QCOMPARE(sectors->columnViewportPosition(4) + sectors->columnWidth(4), sectors->viewport()->width());
    }
  }
};

QTEST_MAIN(WindowTest)
#include "gui_window_test.moc"
