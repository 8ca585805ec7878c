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
#include <fstream>
#include <future>

#include "gui/dialogs/byte_edit_form.hpp"
#include "gui/dialogs/comm_setup_form.hpp"
#include "gui/dialogs/menu_forms.hpp"
#include "gui/memory_view.hpp"
#include "gui/progress_layout.hpp"
#include "link/port_names.hpp"
#include "shell/session/window_state.hpp"
#include "support/legacy_timing.hpp"
#include "support/window_driver.hpp"

using namespace brisko;
using brisko::test::Bytes;
using brisko::test::WindowDriver;

namespace {

// How the window is told where the board is, and what it does there.
enum class Naming { PortMap, TypedPath, MissingDevice };
enum class Then { Nothing, Block1Download, LowBank, LegacyUpgrade };

constexpr const char* kBusy = "A command is still running.\nClose the window when it has ended.";
constexpr const char* kResetPrompt = "Click on OK then Reset MCU\nto Detect Baud & Chip\n(MCU:Fw v1.1F)";
constexpr const char* kEraseQuestion = "Data in corresponding sectors will be erased.\nProceed to download?";
constexpr const char* kLinkLost =
    "A timeout error detected and resets the host Application.\nPlease re-detect the Chiptype.";

bool Has(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

std::tm At(int hour, int minute, int second) {
  std::tm t{};
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

// A KT540 in internal memory mode, detected through the menu.
struct Detected : WindowDriver {
  Detected() : WindowDriver(test::ChipConfig(kKT540)) { QVERIFY(Detect()); }
  // Downloads `bytes` into block 0 from sector 0, answering Yes.
  void Download(const Bytes& bytes) {
    const std::string file = Path("image.bin");
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    answers.onFileAndSector = [file](FileSectorDialog& d) {
      d.fileName = file;
      d.chosen = 0;
      return true;
    };
    replies = {true};
    QVERIFY(ClickButton(QStringLiteral("Download")));
  }
  void Read(int sectors) {
    answers.onRange = [sectors](RangeDialog& d) {
      d.start = 0;
      d.range = sectors;  // "%03d sectors"
      return true;
    };
    QVERIFY(ClickButton(QStringLiteral("Read")));
  }
};

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT
 private slots:
  void detectFillsChipInformationAndBars() {
    Detected d;
    QCOMPARE(d.Field("chipType"), QStringLiteral("KT540"));
    QCOMPARE(d.Field("fwVersion"), QStringLiteral("v1.1F"));
    QCOMPARE(d.Field("iapStatus"), QStringLiteral("Detect target MCU is successful!"));
    QVERIFY(d.Field("securityText").startsWith(QStringLiteral("SECURITY")));
    QVERIFY(Has(d.messages, kResetPrompt));
    // Every box has the application title as its caption.
    for (const auto& caption : d.captions) QCOMPARE(QString::fromStdString(caption), QString::fromUtf8(kAppTitle));
    QCOMPARE(d.window.windowTitle(), QString::fromUtf8(kAppTitle));
  }

  void downloadThenReadShowsTheCells() {
    Detected d;
    Bytes image = test::Pattern(256, 3);
    image[0x10] = 'A';
    image[0x11] = 'B';
    image[0x12] = 0x00;
    image[0x13] = 'C';
    d.Download(image);
    QVERIFY(Has(d.questions, kEraseQuestion));
    QCOMPARE(d.Flash(0, 0, 256), image);

    d.Read(3);
    const char* row0[] = {"000", "0000", "007F", "00000", "Not Blank"};
    for (int c = 0; c < 5; ++c) QCOMPARE(d.SectorCell(0, c), QString::fromUtf8(row0[c]));
    QCOMPARE(d.SectorCell(2, 4), QStringLiteral("Blank"));
    QCOMPARE(d.window.SectorModel().rowCount(), 512);
    QCOMPARE(d.window.DumpTable().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("SECTOR 000"));
    QCOMPARE(d.DumpCell(1, 0), QStringLiteral("0010 - 001F"));
    QCOMPARE(d.DumpCell(1, 2), QStringLiteral("AB"));  // the ASCII cell ends at the first 00h
    QVERIFY(d.DumpCell(0, 1).contains(QStringLiteral(" - ")));
    QCOMPARE(d.DumpCell(1, 1).left(11), QStringLiteral("41 42 00 43"));
  }

  void compareReportsTheFirstDifference() {
    Detected d;
    const Bytes image = test::Pattern(128, 5);
    d.Download(image);
    d.SetFlash(0, 0x23, Bytes{static_cast<std::uint8_t>(image[0x23] ^ 0xFF)});
    QVERIFY(d.RunMenu(QStringLiteral("&Compare")));
    QVERIFY(Has(d.messages, "Failed to Verify Data!!!"));
    QVERIFY(d.Field("iapStatus").startsWith(QStringLiteral("Unmatched data at memory address 0023h")));
  }

  void saveWritesATextListing() {
    Detected d;
    d.Download(test::Pattern(128, 7));
    const std::string file = d.Path("flash.txt");
    d.answers.onSave = [file](SaveDialog& s) {
      s.start = 0;
      s.range = 1;
      s.path = file;
      s.textMode = true;
      return true;
    };
    QVERIFY(d.RunMenu(QStringLiteral("&Save")));
    QVERIFY(Has(d.messages, "Save data has completed"));
    QCOMPARE(QString::fromStdString(test::ReadFile(file).substr(0, 13)), QStringLiteral("0000 - 000F  "));
  }

  void tabSwitchAndClickRule() {
    Detected d;
    d.Download(test::Pattern(512, 9));
    d.SetFlash(0, 0x100, Bytes(128, 0x00));
    d.Read(4);
    QCOMPARE(d.SectorCell(2, 4), QStringLiteral("All Zeros"));

    auto* tabs = d.window.findChild<QTabBar*>(QStringLiteral("blockTabs"));
    QVERIFY(d.Run([tabs] { tabs->setCurrentIndex(1); }));
    QVERIFY(Has(d.messages, "Internal Data"));
    QCOMPARE(d.window.Shell().Record()->GetCurrentBlock(), 1);
    QVERIFY(d.Run([tabs] { tabs->setCurrentIndex(0); }));
    QCOMPARE(d.SectorCell(2, 4), QStringLiteral("Unknown"));  // no read range after a switch

    // A click on row 3 of either view shows sector 3 and selects nothing.
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

  void exitAnsweredNoKeepsTheWindow() {
    WindowDriver d(test::ChipConfig(kKT540));
    d.MenuItem(QStringLiteral("Exit"))->trigger();  // answered with the default button, No
    QVERIFY(Has(d.questions, "Are you sure you want to exit this application?"));
    QVERIFY(d.window.isVisible());
    d.replies = {true};
    d.MenuItem(QStringLiteral("Exit"))->trigger();
    QVERIFY(!d.window.isVisible());
  }

  void closingWaitsForTheRunningCommand() {
    WindowDriver d(test::ChipConfig(kKT540));
    std::promise<void> release;
    auto released = release.get_future().share();
    QVERIFY(d.window.StartCommand([released](Session&) {
      released.wait();
      return CommandOutcome::Success();
    }));
    QVERIFY(!d.window.close());
    QVERIFY(d.window.isVisible());
    d.MenuItem(QStringLiteral("Exit"))->trigger();  // says the same, and asks nothing
    QCOMPARE(d.messages, std::vector<std::string>(2, kBusy));
    QVERIFY(d.questions.empty());
    QVERIFY(d.Run([&] { release.set_value(); }));
    QVERIFY(d.window.close());
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
  // pseudo-terminal, named as COMn in the port map or typed into the set-up
  // dialog's device box, with the session's settings, port map and recovery
  // files in a temporary folder.
  void onARealPort_data() {
    QTest::addColumn<int>("naming");
    QTest::addColumn<int>("model");
    QTest::addColumn<int>("then");
    QTest::newRow("KT540 as COM3 of the port map") << int(Naming::PortMap) << int(kKT540) << int(Then::Nothing);
    QTest::newRow("KT410 by a typed path, block-1 download")
        << int(Naming::TypedPath) << int(kKT410) << int(Then::Block1Download);
    QTest::newRow("KT420 as COM3, low bank and back") << int(Naming::PortMap) << int(kKT420) << int(Then::LowBank);
    QTest::newRow("KT410 with loader 1.1E as COM1, upgrade")
        << int(Naming::PortMap) << int(kKT410) << int(Then::LegacyUpgrade);
    QTest::newRow("COM3 mapped to a missing device") << int(Naming::MissingDevice) << int(kKT540) << int(Then::Nothing);
  }
  void onARealPort() {
    QFETCH(int, naming);
    QFETCH(int, model);
    QFETCH(int, then);
    const bool legacy = then == int(Then::LegacyUpgrade);
    sim::SimConfig config = legacy ? test::LegacyChipConfig(model) : test::ChipConfig(model);
    config.legacyIdlePrompt = std::chrono::milliseconds(5);
    WindowDriver d(config, test::ChipLink::Pty, test::PtyLegacyTiming());
    QVERIFY2(d.board->Serving(), d.board->WhyNot().c_str());
    const Bytes block0 = test::Pattern(0x4000, 21);
    d.SetFlash(0, 0, block0);

    const std::string tty = d.Path("tty");
    const std::string missing = d.Path("missing");
    const int port = naming == int(Naming::TypedPath) ? 5 : legacy ? 1 : 3;
    const SessionPlaces places = d.dirs.Places();
    std::filesystem::create_directories(places.configDir);
    if (naming == int(Naming::PortMap))
      test::WriteFile(places.PortMapFile(), "COM" + std::to_string(port) + "=" + tty + "\n");
    if (naming == int(Naming::MissingDevice)) test::WriteFile(places.PortMapFile(), "COM3=" + missing + "\n");
    QString shownDevice;
    d.dialogActs.push_back([&](QDialog* dialog) {
      auto* form = qobject_cast<gui::CommSetupForm*>(dialog);
      if (!form) return dialog->reject();
      form->PortCombo()->setCurrentIndex(port - 1);
      shownDevice = form->DeviceCombo()->currentText();
      if (naming == int(Naming::TypedPath)) {
        form->DeviceCombo()->lineEdit()->selectAll();
        QTest::keyClicks(form->DeviceCombo()->lineEdit(), QString::fromStdString(tty));
      }
      QTest::mouseClick(form->DetectButton(), Qt::LeftButton);
    });

    if (legacy) {
      d.dialogActs.clear();  // the 1.1E detection opens the port it has, without the set-up
      d.replies = {true};
      QVERIFY(d.RunMenu(QStringLiteral("&Detect Target MCU for Firmware1.1E and Upgrade to 1.1F (EA#=1)")));
      QVERIFY(Has(d.messages, "Upgrade Bootstrap Loader from 1.1E to 1.1F Completed!"));
      QCOMPARE(d.Field("fwVersion"), QStringLiteral("v1.1F"));
      QVERIFY(d.target->LoaderIntact());
    } else {
      QVERIFY(d.Detect());
      QVERIFY(d.dialogActs.empty());
      const std::string mapped = naming == int(Naming::PortMap)         ? tty
                                 : naming == int(Naming::MissingDevice) ? missing
                                                                         : "";
      QCOMPARE(shownDevice, mapped.empty() ? QStringLiteral("/dev/ttyS4 (default)") : QString::fromStdString(mapped));
    }
    QVERIFY(!Has(d.messages, "Unable to save the configuration"));
    if (naming == int(Naming::MissingDevice)) {
      QVERIFY(Has(d.messages, "Failed to setup Serial Comm with Target MCU!!!"));
      QCOMPARE(d.Field("iapStatus"), QString::fromStdString(missing + ": no such device"));
      return;
    }
    QCOMPARE(d.Field("chipType"), QString::fromUtf8(DescribeChip(model).chipTypeText));
    if (naming == int(Naming::TypedPath))
      QCOMPARE(QString::fromStdString(test::ReadFile(places.PortMapFile())),
               QString::fromStdString("COM5=" + tty + "\n"));

    if (then == int(Then::Block1Download)) {
      const Bytes file = test::Pattern(256, 5);
      const std::string path = d.Path("block1.bin");
      test::WriteFile(path, std::string(file.begin(), file.end()));
      d.answers.onFileAndSector = [&](FileSectorDialog& f) {
        f.fileName = path;
        f.chosen = 128 + 16;  // B1 F400h
        return true;
      };
      d.replies = {true};
      QVERIFY(d.ClickButton(QStringLiteral("Download")));
      QCOMPARE(d.Flash(1, 0x400, 256), file);
      QVERIFY(d.target->LoaderIntact());
    }
    if (then == int(Then::LowBank)) {
      QVERIFY(d.RunMenu(QStringLiteral("&Low 64KB of External Flash")));
      QVERIFY(Has(d.messages, "Entering Low 64KB of External Flash Successful!"));
      QCOMPARE(d.Field("chipType"), QStringLiteral("KF010"));
      d.replies = {true};
      QVERIFY(d.RunMenu(QStringLiteral("&Back to MCU Flash")));
      QVERIFY(Has(d.messages, "Return to MCU Flash Successful!"));
    }
    QCOMPARE(d.Flash(0, 0, block0.size()), block0);  // every displaced area put back
    QVERIFY(test::FolderNames(places.dataDir).empty());  // and its recovery file gone

    // The settings are kept for the next start, which finds the board the same way.
    if (legacy) return;
    QCOMPARE(QString::fromStdString(test::ReadFile(places.SettingsFile())),
             QString("COM%1$BAUD38400$CRYSTAL11.059200$$").arg(port));
    gui::BriskoWindow next(PosixOpener(places.PortMapFile()), test::PtyLegacyTiming(), places);
    QCOMPARE(QString::fromStdString(next.Shell().Window().Snapshot().portPane), QString("COM%1").arg(port));
    QCOMPARE(QString::fromStdString(ResolvePortName(next.Shell().Record()->Port().DeviceName(),
                                                    ReadPortMap(places.PortMapFile()))),
             QString::fromStdString(tty));
  }

  void keepAliveOnlyOnTheTenSecondsAndLosingTheChip() {
    Detected d;
    d.ClearWire();
    d.window.TickAt(At(13, 5, 9));
    d.window.Runner().WaitIdle();
    QVERIFY(d.Wire().empty());
    QCOMPARE(d.window.findChild<QLabel*>(QStringLiteral("clockPane"))->text().isEmpty(), false);

    d.target->Faults().stopAfterHostBytes = 1;  // the chip falls silent
    d.window.TickAt(At(13, 5, 10));
    QTRY_VERIFY_WITH_TIMEOUT(Has(d.messages, kLinkLost), 60000);
    QCOMPARE(d.Wire(), Bytes{0x63});
    QTRY_COMPARE_WITH_TIMEOUT(d.Field("chipType"), QString(), 60000);
    QCOMPARE(d.Field("securityText"), QString::fromUtf8(kUnknownSecurityText));
    QVERIFY(!d.window.Shell().Record()->Port().IsLinkUp());
  }

  void everyCommandOfTheWindowIsEnabled() {
    WindowDriver d(test::ChipConfig(kKT540));
    for (QAction* menu : d.window.menuBar()->actions())
      for (QAction* item : menu->menu()->actions())
        if (!item->isSeparator()) QVERIFY2(item->isEnabled(), qPrintable(item->text()));
    for (const char* name :
         {"Download", "Dnload/Run UserCode", "Read", "Sector Erase", "Chip Erase", "Lock Chip", "Memory Remap"}) {
      auto* button = d.window.findChild<QAbstractButton*>(QString::fromUtf8(name));
      QVERIFY2(button && button->isEnabled(), name);
    }
    for (const char* name : {"RESET", "2xCLK", "TEST"}) {
      auto* tool = d.window.findChild<QAction*>(QString::fromUtf8(name));
      QVERIFY2(tool && tool->isEnabled(), name);
    }
  }

  void lockThenRedetectionShowsTheNewSecurity() {
    Detected d;
    QCOMPARE(d.Field("securityText"), QStringLiteral("SECURITY : CHIP IS UNLOCKED (FSTAT[7:5]:000)"));
    QStringList offered;
    d.dialogActs.push_back([&offered](QDialog* dialog) {
      auto* form = qobject_cast<gui::LockMenuForm*>(dialog);
      QVERIFY(form);
      for (QRadioButton* radio : form->Radios()) {
        offered << radio->text();
        QVERIFY(!radio->isChecked());
      }
      QTest::mouseClick(form->Radios().at(3), Qt::LeftButton);  // "L3 Soft Lock Block 0, 1 (PROG-SB2)"
      QTest::mouseClick(form->findChild<QPushButton*>(QStringLiteral("ok")), Qt::LeftButton);
    });
    d.replies = {true};
    QVERIFY(d.ClickButton(QStringLiteral("Lock Chip")));
    QCOMPARE(offered.size(), 6);
    QVERIFY(Has(d.questions, "Do you really want to proceed?"));
    QVERIFY(Has(d.messages, "Set Lock Completed!\nChip will be automatically redetected!"));
    QCOMPARE(d.Field("securityText"), QStringLiteral("SECURITY : CHIP IS LEVEL3 SOFTLOCKED (FSTAT[7:5]:010)"));
    QCOMPARE(d.Field("chipType"), QStringLiteral("KT540"));
  }

  void byteEditDisplaysAndReplacesInPlace() {
    Detected d;
    const Bytes image = test::Pattern(128, 11);
    d.Download(image);
    QString shown;
    d.dialogActs.push_back([](QDialog* dialog) {
      auto* form = qobject_cast<gui::ByteEditForm*>(dialog);
      QVERIFY(form);
      QTest::keyClicks(form->AddressField(), "0010");
      QTest::mouseClick(form->DisplayButton(), Qt::LeftButton);
    });
    d.dialogActs.push_back([&shown](QDialog* dialog) {
      auto* form = qobject_cast<gui::ByteEditForm*>(dialog);
      shown = form->DisplayField()->text();
      QTest::keyClicks(form->NewDataField(), "AA 55 ");
      QTest::mouseClick(form->ReplaceButton(), Qt::LeftButton);
    });
    d.dialogActs.push_back([](QDialog* dialog) {
      QTest::mouseClick(qobject_cast<gui::ByteEditForm*>(dialog)->ReturnButton(), Qt::LeftButton);
    });
    d.replies = {true};
    QVERIFY(d.RunMenu(QStringLiteral("&Edit data in Block 0")));
    QVERIFY(d.dialogActs.empty());
    QVERIFY(Has(d.questions, "Data in block 0 will be modified.\nProceed to modify?"));
    QString expected;
    for (int i = 0; i < 16; ++i) expected += QString::asprintf("%02X ", image[0x10 + i]);
    QCOMPARE(shown, expected);
    Bytes edited = image;
    edited[0x10] = 0xAA;
    edited[0x11] = 0x55;
    QCOMPARE(d.Flash(0, 0, 128), edited);  // the rest of the sector kept
  }

  void statusPanesAtStart() {
    WindowDriver d(test::ChipConfig(kKT540));
    d.window.TickAt(At(13, 5, 9));
    QTRY_COMPARE_WITH_TIMEOUT(d.window.findChild<QLabel*>(QStringLiteral("clockPane"))->text(),
                              QStringLiteral("01:05:09PM"), 60000);
    const char* panes[][2] = {{"messagePane", "Ready"},
                              {"doubleClockPane", "Double Clock OFF"},
                              {"portPane", "COM1"},
                              {"baudPane", "Baud Rate: 38400"}};
    for (const auto& pane : panes)
      QCOMPARE(d.window.findChild<QLabel*>(QString::fromUtf8(pane[0]))->text(), QString::fromUtf8(pane[1]));
    QCOMPARE(d.Field("securityText"), QStringLiteral("SECURITY: UNKNOWN"));
  }

  void progressBarGeometry_data() {
    QTest::addColumn<int>("labelWidth");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    // Pane 0..200 x 0..20, a blank 4 px wide: gap unit 8 px.
    QTest::newRow("empty label fills the pane") << 0 << 0 << 200;
    QTest::newRow("label pushes the bar right") << 50 << 66 << 200;
    QTest::newRow("label just fits") << 184 << 200 << 200;
    QTest::newRow("long label collapses the bar inside the pane") << 500 << 200 << 200;
  }
  void progressBarGeometry() {
    QFETCH(int, labelWidth);
    QFETCH(int, left);
    QFETCH(int, right);
    const gui::PaneRect bar = gui::ProgressBarRect({0, 0, 200, 20}, labelWidth, 4);
    QCOMPARE(bar.left, left);
    QCOMPARE(bar.right, right);
    QCOMPARE(bar.top, 2);
    QCOMPARE(bar.bottom, 18);
  }

  void columnWidthsInFifths() {
    QCOMPARE(gui::ColumnWidths(503, {1, 1, 1, 1, -1}), (std::vector<int>{100, 100, 100, 100, 103}));
    QCOMPARE(gui::ColumnWidths(503, {1, 4, 2}), (std::vector<int>{100, 400, 200}));
  }
};

QTEST_MAIN(WindowTest)
#include "gui_window_test.moc"
