#pragma once
// The desktop window on a simulated chip (in-process, or on a pseudo-terminal
// opened as a real port), its session's files in the test's folder, driven as
// a person would: menus, buttons, tabs and views clicked, every box answered.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "gui/brisko_window.hpp"
#include "gui/qt_operator.hpp"
#include "link/posix_serial_device.hpp"
#include "sim/sim_device.hpp"
#include "support/fast_timing.hpp"
#include "support/pty_board.hpp"
#include "support/sim_chip.hpp"

namespace brisko::test {

// Message boxes, questions and the lock, remap and byte-edit dialogs go to
// the window's real ones (so does the communication set-up, when asked); the
// file and range dialogs are answered from the test's script.
class DialogAnswers final : public Operator {
 public:
  explicit DialogAnswers(QWidget* parent) : boxes(parent) {}
  void Tell(const std::string& text) override { boxes.Tell(text); }
  bool Ask(const std::string& question) override { return boxes.Ask(question); }
  bool SelectChip(ChipSelection& s) override { return onSelectChip && onSelectChip(s); }
  bool CommSetup(CommSetupDialog& d) override { return realCommSetup ? boxes.CommSetup(d) : true; }
  bool ChooseFileAndSector(FileSectorDialog& d) override { return onFileAndSector && onFileAndSector(d); }
  bool ChooseRange(RangeDialog& d) override { return onRange && onRange(d); }
  bool ChooseSave(SaveDialog&) override { return false; }
  bool ChooseLockOption(LockMenu& m) override { return boxes.ChooseLockOption(m); }
  bool ChooseRemap(RemapMenu& m) override { return boxes.ChooseRemap(m); }
  ByteEditButton EditBytes(ByteEditDialog& d) override { return boxes.EditBytes(d); }
  bool PrintListing(const std::string&, std::string&) override { return true; }

  gui::QtOperator boxes;
  std::function<bool(ChipSelection&)> onSelectChip;
  std::function<bool(FileSectorDialog&)> onFileAndSector;
  std::function<bool(RangeDialog&)> onRange;
  bool realCommSetup = false;
};

// Where the window finds the chip.
enum class ChipLink {
  InProcess,  // the simulator's own connection
  Pty,        // a pseudo-terminal at the test's "tty", opened through the port map or a typed path
};

class WindowDriver : public SimChip {
 public:
  explicit WindowDriver(const sim::SimConfig& config, ChipLink link = ChipLink::InProcess,
                        LinkTiming timing = FastTiming())
      : SimChip(config),
        board(link == ChipLink::Pty ? std::make_unique<PtyBoard>(target, Path("tty")) : nullptr),
        window(board ? PosixOpener(dirs.Places().PortMapFile()) : sim::SimOpener(target), timing, dirs.Places()),
        answers(&window) {
    answers.realCommSetup = link == ChipLink::Pty;
    window.Shell().Record()->SetChipModel(static_cast<ChipModel>(config.model));
    window.Shell().Record()->SetMemoryMode(static_cast<MemoryMode>(config.memoryMode));
    window.Op().SetAnswers(&answers);
    answers.onSelectChip = [config](ChipSelection& s) {
      s.model = static_cast<ChipModel>(config.model);
      s.memoryMode = static_cast<MemoryMode>(config.memoryMode);
      return true;
    };
    QObject::connect(&boxWatch, &QTimer::timeout, [this] { AnswerOpenBox(); });
    boxWatch.start(5);
    window.show();
  }

  // Reads and answers the message box in front, if any: a question is
  // answered from `replies` (Yes/No) or with its default button. Any other
  // dialog in front is worked by the next of `dialogActs`.
  void AnswerOpenBox() {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog && dialog->isVisible() && !qobject_cast<QMessageBox*>(dialog) && !dialogActs.empty()) {
      const auto act = dialogActs.front();
      dialogActs.pop_front();
      act(dialog);
      return;
    }
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    const bool question = box->button(QMessageBox::Yes) != nullptr;
    (question ? questions : messages).push_back(box->text().toStdString());
    captions.push_back(box->windowTitle().toStdString());
    if (question && !replies.empty()) {
      const bool yes = replies.front();
      replies.pop_front();
      box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
    } else {
      QTest::keyClick(box, Qt::Key_Return);  // the default button
    }
  }

  QAction* MenuItem(const QString& text) {
    for (QAction* menu : window.menuBar()->actions())
      for (QAction* item : menu->menu()->actions())
        if (item->text() == text) return item;
    return nullptr;
  }

  // Starts a command by `start` and waits until the window reports its end.
  bool Run(const std::function<void()>& start) {
    QSignalSpy ended(&window, &gui::BriskoWindow::CommandEnded);
    start();
    return ended.wait(60000);
  }
  bool RunMenu(const QString& text) {
    QAction* item = MenuItem(text);
    return item && Run([item] { item->trigger(); });
  }
  bool ClickButton(const QString& name) {
    auto* button = window.findChild<QAbstractButton*>(name);
    // On the radio mark: a radio button takes clicks on its mark and text only.
    return button && Run([button] { QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2)); });
  }
  bool Detect() { return RunMenu(QStringLiteral("&Detect Target MCU for Firmware1.1F and RS232 Config.")); }

  QString Field(const char* name) { return window.findChild<QLineEdit*>(QString::fromUtf8(name))->text(); }
  QString SectorCell(int row, int column) {
    return window.SectorModel().index(row, column).data().toString();
  }
  QString DumpCell(int row, int column) { return window.DumpTable().index(row, column).data().toString(); }

  std::unique_ptr<PtyBoard> board;
  gui::BriskoWindow window;
  DialogAnswers answers;
  QTimer boxWatch;
  std::deque<bool> replies;
  std::deque<std::function<void(QDialog*)>> dialogActs;
  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::vector<std::string> captions;
};

}  // namespace brisko::test
