#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "gui/dialogs/chip_selection_form.hpp"
#include "gui/dialogs/comm_setup_form.hpp"
#include "gui/dialogs/dialogs.hpp"
#include "gui/dialogs/file_sector_form.hpp"
#include "gui/dialogs/menu_forms.hpp"
#include "gui/dialogs/range_form.hpp"
#include "gui/dialogs/registry_values.hpp"
#include "gui/dialogs/save_form.hpp"
#include "shell/configuration/configuration_menus.hpp"
#include "shell/session/session.hpp"
#include "shell/session/window_state.hpp"
#include "support/fast_timing.hpp"
#include "support/scripted_operator.hpp"
#include "support/temp_dir.hpp"

using namespace brisko;

namespace {

// Runs `act` on the modal widget that the next exec() opens.
template <class Widget>
void OnNextModal(std::function<void(Widget*)> act) {
  QTimer::singleShot(0, [act] {
    auto* widget = qobject_cast<Widget*>(QApplication::activeModalWidget());
    QVERIFY2(widget, "no modal widget of the expected kind");
    act(widget);
  });
}

// Answers the next message box with OK and keeps its text; every box is
// captioned with the application's title.
void ReadNextMessage(QStringList& texts) {
  OnNextModal<QMessageBox>([&texts](QMessageBox* box) {
    texts << box->text();
    QCOMPARE(box->windowTitle(), QString::fromUtf8(kAppTitle));
    box->accept();
  });
}

void ClickOk(QDialog* dialog) { QTest::mouseClick(dialog->findChild<QPushButton*>("ok"), Qt::LeftButton); }

const std::vector<SectorEntry> kTwoSectors{{0, 0x0000, "Sector 000    Addr=0000"}, {0, 0x0080, "Sector 001    Addr=0080"}};
const std::vector<std::string> kRanges{"All Sectors", "001 sectors"};

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private:
  test::TestFiles files;  // the user's directories for settings and port map
  test::ScriptedOperator op;
  std::unique_ptr<Session> window;

 private slots:
  void init() {
    op = test::ScriptedOperator();
    window = std::make_unique<Session>(
        op, [](const std::string&, std::string&) { return std::unique_ptr<SerialDevice>(); }, test::FastTiming(),
        gui::WithToolkitRegistry(files.dirs.Places()));
  }

  // The stored choice is shown checked (the lists are the catalogue's); the
  // radios clicked are the choice OK gives back.
  void chipSelectionShowsTheStoredChoiceAndTakesTheClickedOne() {
    ChipSelection selection{kKT530, kExternalMemory};
    OnNextModal<gui::ChipSelectionForm>([](gui::ChipSelectionForm* form) {
      QCOMPARE(form->windowTitle(), QString("Select MCU Chip Type and Memory Mode"));
      QStringList checked;
      for (QRadioButton* radio : form->findChildren<QRadioButton*>())
        if (radio->isChecked()) checked << radio->text();
      QCOMPARE(checked, (QStringList{"KT530", "External Memory (EA#=0)"}));
      QVERIFY(QTest::qWaitForWindowExposed(form));
      QTest::mouseClick(form->ModelRadio(kKT410), Qt::LeftButton);
      QTest::mouseClick(form->ModeRadio(1), Qt::LeftButton);
      QTest::mouseClick(form->findChild<QDialogButtonBox*>()->buttons().at(0), Qt::LeftButton);  // "&OK"
    });
    QVERIFY(gui::ShowChipSelectionDialog(nullptr, selection));
    QCOMPARE(selection.model, kKT410);
    QCOMPARE(selection.memoryMode, kInternalMemory);
  }

  // The form's buttons run the dialog's calculator and checks (whose figures
  // and texts the shell's tests hold): results land in the fields; a refusal
  // is a box of the form's own on the UI thread, never through the operator,
  // and gives the bad field the focus, the crystal kept as typed. Confirmed,
  // the choice goes to the settings file and the toolkit's registry values.
  void commSetupButtonsRunTheCalculatorChecksAndConfirm() {
    CommSetupDialog dialog(*window);
    gui::CommSetupForm form(nullptr, dialog, {}, files.Path("ports.conf"));
    QCOMPARE(form.windowTitle(), QString("RS232 Configuration and  Detect Target MCU"));
    QCOMPARE(form.CrystalField()->text(), QString("11.0592"));
    QVERIFY(form.DetectButton()->isDefault());
    const QString crystalRange = "Please enter a number between 1.0 and 40.0.";
    const struct {
      const char* crystal;
      const char* recommended;  // typed; nullptr: as shown
      int rate;                 // picked from the list; -1: as shown
      QPushButton* button;
      QString message;          // empty: none
      QWidget* focus;           // nullptr: no check
      const char* rateAfter;
    } steps[] = {
        {"11.0592", nullptr, -1, form.ComputeButton(), {}, nullptr, "38400"},
        {"11.0592", nullptr, -1, form.NextBaudButton(), {}, nullptr, "19200"},
        {"50", "38400", -1, form.ComputeButton(), crystalRange, form.CrystalField(), nullptr},
        {"12", "100", -1, form.NextBaudButton(), "Please enter an integer between 600 and 38400.",
         form.RecommendedField(), nullptr},
        {"0.5", "38400", -1, form.DetectButton(), crystalRange, form.CrystalField(), nullptr},
        {"1.0", nullptr, -1, form.ComputeButton(), {}, nullptr, "2400"},
        {"1.0", nullptr, 2, form.DetectButton(),
         "You can't choose a baudrate which is higher than the computed best baudrate!\n", nullptr, "2400"},
    };
    form.PortCombo()->setCurrentIndex(1);
    for (const auto& step : steps) {
      form.CrystalField()->setText(step.crystal);
      if (step.recommended) form.RecommendedField()->setText(step.recommended);
      if (step.rate >= 0) form.RateCombo()->setCurrentIndex(step.rate);
      QStringList shown;
      if (!step.message.isEmpty()) ReadNextMessage(shown);
      QTest::mouseClick(step.button, Qt::LeftButton);
      QCOMPARE(shown, step.message.isEmpty() ? QStringList() : QStringList{step.message});
      if (step.focus) QCOMPARE(form.focusWidget(), step.focus);
      QCOMPARE(form.CrystalField()->text(), QString(step.crystal));
      if (step.rateAfter) {
        QCOMPARE(form.RateCombo()->currentText(), QString(step.rateAfter));
        QCOMPARE(form.RecommendedField()->text(), QString(step.rateAfter));
      }
      QCOMPARE(form.result(), int(QDialog::Rejected));  // still open
    }
    QTest::mouseClick(form.DetectButton(), Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(QString::fromStdString(test::ReadFile(files.dirs.Places().SettingsFile())), QString("COM2$BAUD2400$CRYSTAL1.000000$$"));
    QSettings registry("Orvex", "Brisko");  // where the toolkit keeps the organisation's values
    QCOMPARE(registry.value("COMMPORT").toString(), QString("2"));
    QCOMPARE(registry.value("BAUDRATE").toString(), QString("2400"));
    QCOMPARE(window->Record()->Port().GetBaudRate(), 2400u);
    QVERIFY(op.messages.empty());
  }

  // A device picked from the adapters or typed (a pty, /dev/serial/by-id/...)
  // belongs to the entry it was chosen at. Confirmed, it is the session's
  // device from then on and goes into the port map with the map's other
  // lines kept; a map that cannot be written is said, the device still used.
  void commSetupMapsAPortToAPickedOrTypedDevice_data() {
    QTest::addColumn<bool>("typed");
    QTest::newRow("picked from the adapters") << false;
    QTest::newRow("typed, the port map's folder blocked") << true;
  }
  void commSetupMapsAPortToAPickedOrTypedDevice() {
    QFETCH(bool, typed);
    const QString device(typed ? "/dev/serial/by-id/usb-FTDI_A1" : "/dev/ttyUSB0");
    const std::string map = files.Path(typed ? "blocked/ports.conf" : "ports.conf");
    const std::string before = "# mine\nCOM1=/dev/ttyACM3\n";
    test::WriteFile(typed ? files.Path("blocked") : map, typed ? "a file where the folder should be" : before);
    {
      CommSetupDialog dialog(*window);
      gui::CommSetupForm form(nullptr, dialog, {"/dev/ttyUSB0", "/dev/ttyS0"}, map);
      if (!typed) QCOMPARE(form.DeviceCombo()->currentText(), QString("/dev/ttyACM3"));  // mapped, not plugged in
      form.PortCombo()->setCurrentIndex(6);
      if (typed) {
        form.DeviceCombo()->lineEdit()->selectAll();
        QTest::keyClicks(form.DeviceCombo()->lineEdit(), device);
      } else {
        form.DeviceCombo()->setFocus();
        QTest::keyClick(form.DeviceCombo(), Qt::Key_Down);
      }
      form.PortCombo()->setCurrentIndex(2);  // looking at another entry keeps what was chosen at COM7
      QCOMPARE(form.DeviceCombo()->currentText(), QString("/dev/ttyS2 (default)"));
      form.PortCombo()->setCurrentIndex(6);
      QCOMPARE(form.DeviceCombo()->currentText(), device);
      QCOMPARE(test::ReadFile(map), typed ? "" : before);  // saved only when confirmed
      QStringList shown;
      if (typed) ReadNextMessage(shown);
      QTest::mouseClick(form.DetectButton(), Qt::LeftButton);
      QCOMPARE(form.result(), int(QDialog::Accepted));
      const QString blocked = QString::fromStdString(files.Path("blocked"));
      QCOMPARE(shown, typed ? QStringList{"Unable to save the port map\n" + blocked + ": not a folder"} : QStringList());
    }
    QCOMPARE(test::ReadFile(map), typed ? "" : before + "COM7=/dev/ttyUSB0\n");
    QCOMPARE(window->Record()->Port().GetPortNumber(), 7);
    QCOMPARE(QString::fromStdString(window->Record()->Port().DevicePath()), device);
    CommSetupDialog reopened(*window);
    gui::CommSetupForm form(nullptr, reopened, {}, map);
    QCOMPARE(form.DeviceCombo()->currentText(), device);
  }

  void fileSectorDialogKeepsTheSectorWhenBrowsing() {
    FileSectorDialog dialog{"Download Hex or Binary File into Flash Memory", kTwoSectors, "", 0};
    gui::FileSectorForm form(nullptr, dialog);
    QCOMPARE(form.windowTitle(), QString("Download Hex or Binary File into Flash Memory"));

    const std::string file = files.Path("code.hex");
    test::WriteFile(file, ":00000001FF\n");
    form.StartCombo()->setCurrentIndex(1);
    OnNextModal<QFileDialog>([file](QFileDialog* browser) {
      QCOMPARE(browser->fileMode(), QFileDialog::ExistingFile);
      QCOMPARE(browser->nameFilters(), (QStringList{"Intel HEX (*.hex *.ihx)", "Binary (*.bin)", "All files (*)"}));
      browser->selectFile(QString::fromStdString(file));
      static_cast<QDialog*>(browser)->accept();  // what its Open/Save button does
    });
    QTest::mouseClick(form.BrowseButton(), Qt::LeftButton);
    QCOMPARE(form.FileField()->text(), QString::fromStdString(file));
    QCOMPARE(form.StartCombo()->currentIndex(), 1);
    // Enter in the name field presses OK, not the browse button.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    bool browsed = false;
    QTimer::singleShot(0, [&browsed] {
      if (auto* browser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
        browsed = true;
        browser->reject();
      }
    });
    QTest::keyClick(form.FileField(), Qt::Key_Return);
    QVERIFY(!browsed);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.chosen, 1);
    QCOMPARE(QString::fromStdString(dialog.fileName), QString::fromStdString(file));
  }

  void rangeDialogReturnsBothEntries() {
    RangeDialog dialog{kTwoSectors, kRanges, 0, 0};
    OnNextModal<QDialog>([](QDialog* d) {
      auto* form = qobject_cast<gui::RangeForm*>(d);
      form->StartCombo()->setCurrentIndex(1);
      form->RangeCombo()->setCurrentIndex(1);
      ClickOk(form);
    });
    QVERIFY(gui::ShowRangeDialog(nullptr, dialog));
    QCOMPARE(dialog.start, 1);
    QCOMPARE(dialog.range, 1);

    OnNextModal<QDialog>([](QDialog* d) { d->reject(); });
    dialog.start = 0;
    QVERIFY(!gui::ShowRangeDialog(nullptr, dialog));
    QCOMPARE(dialog.start, 0);
  }

  void saveDialogOpensWithNeitherModeCheckedAndTextByDefault() {
    SaveDialog dialog{kTwoSectors, kRanges, "", 0, 0, true};
    {
      gui::SaveForm form(nullptr, dialog);
      QCOMPARE(form.windowTitle(), QString("Save Flash Contents into a Disk File"));
      QVERIFY(!form.BinaryRadio()->isChecked());
      QVERIFY(!form.TextRadio()->isChecked());
      QCOMPARE(form.BinaryRadio()->text(), QString("Binary File"));
      QCOMPARE(form.TextRadio()->text(), QString("Text File"));
      const std::string target = files.Path("out.bin");
      OnNextModal<QFileDialog>([target](QFileDialog* browser) {
        QCOMPARE(browser->acceptMode(), QFileDialog::AcceptSave);
        browser->selectFile(QString::fromStdString(target));
        static_cast<QDialog*>(browser)->accept();  // what its Open/Save button does
      });
      QTest::mouseClick(form.BrowseButton(), Qt::LeftButton);
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      QTest::mouseClick(form.BinaryRadio(), Qt::LeftButton);
      form.RangeCombo()->setCurrentIndex(1);
      ClickOk(&form);
      QCOMPARE(QString::fromStdString(dialog.path), QString::fromStdString(target));
      QVERIFY(!dialog.textMode);
      QCOMPARE(dialog.range, 1);
    }
    dialog.textMode = true;
    gui::SaveForm untouched(nullptr, dialog);
    ClickOk(&untouched);
    QVERIFY(dialog.textMode);
  }

  void remapMenuEnablesTheModelsRadios_data() {
    QTest::addColumn<int>("model");
    QTest::addColumn<QList<bool>>("enabled");
    QTest::addColumn<int>("click");   // a radio to click, enabled or not
    QTest::addColumn<int>("stored");  // remapOption after OK
    QTest::newRow("KT410 takes 4 KByte") << int(kKT410) << QList<bool>{true, true, true, false, false} << 2 << 3;
    QTest::newRow("KT540 has no SC1") << int(kKT540) << QList<bool>{false, false, false, true, false} << 4 << 0;
    QTest::newRow("KT560 takes SC1") << int(kKT560) << QList<bool>{false, false, false, true, true} << 4 << 4;
  }

  void remapMenuEnablesTheModelsRadios() {
    QFETCH(int, model);
    QFETCH(QList<bool>, enabled);
    QFETCH(int, click);
    QFETCH(int, stored);
    RemapMenu menu = RemapMenuFor(model);
    gui::RemapMenuForm form(nullptr, menu);
    QCOMPARE(form.windowTitle(), QString("Memory Remap Menu"));
    QList<bool> shown;
    for (QRadioButton* radio : form.Radios()) {
      shown << radio->isEnabled();
      QVERIFY(!radio->isChecked());
    }
    QCOMPARE(shown, enabled);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(form.Radios().at(click), Qt::LeftButton);
    ClickOk(&form);
    QCOMPARE(menu.remapOption, stored);
  }
};

QTEST_MAIN(DialogsTest)
#include "gui_dialogs_test.moc"
