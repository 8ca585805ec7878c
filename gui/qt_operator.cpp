#include "gui/qt_operator.hpp"

#include <QApplication>
#include <QThread>

#include "gui/dialogs/dialogs.hpp"
#include "shell/session/window_state.hpp"

namespace brisko::gui {

bool QtOperator::OnUiThread(const std::function<bool()>& call) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || QThread::currentThread() == app->thread()) return call();
  bool answer = false;
  QMetaObject::invokeMethod(app, [&] { answer = call(); }, Qt::BlockingQueuedConnection);
  return answer;
}

void QtOperator::Shown(const std::string& text) {
  if (!shownHook_) return;
  const QString shown = QString::fromStdString(text);
  OnUiThread([&] {
    shownHook_(shown);
    return true;
  });
}

void QtOperator::FileChosen(const std::string& path) {
  if (!fileHook_ || path.empty()) return;
  const QString chosen = QString::fromStdString(path);
  OnUiThread([&] {
    fileHook_(chosen);
    return true;
  });
}

void QtOperator::PrefillFile(const QString& path) {
  std::lock_guard lock(prefillMutex_);
  prefill_ = path;
}

void QtOperator::Tell(const std::string& text) {
  Shown(text);
  if (Operator* a = answers_.load()) return a->Tell(text);
  OnUiThread([&] {
    ShowMessage(parent_, QString::fromStdString(text));
    return true;
  });
}

bool QtOperator::Ask(const std::string& question) {
  Shown(question);
  if (Operator* a = answers_.load()) return a->Ask(question);
  return OnUiThread([&] { return AskYesNo(parent_, QString::fromStdString(question)); });
}

bool QtOperator::SelectChip(ChipSelection& selection) {
  if (Operator* a = answers_.load()) return a->SelectChip(selection);
  return OnUiThread([&] { return ShowChipSelectionDialog(parent_, selection); });
}

bool QtOperator::CommSetup(CommSetupDialog& dialog) {
  if (Operator* a = answers_.load()) return a->CommSetup(dialog);
  return OnUiThread([&] { return ShowCommSetupDialog(parent_, dialog); });
}

bool QtOperator::ChooseFileAndSector(FileSectorDialog& dialog) {
  {
    std::lock_guard lock(prefillMutex_);
    if (!prefill_.isEmpty()) dialog.fileName = prefill_.toStdString();
    prefill_.clear();
  }
  Operator* a = answers_.load();
  const bool chosen = a ? a->ChooseFileAndSector(dialog) : OnUiThread([&] { return ShowFileSectorDialog(parent_, dialog); });
  if (chosen) FileChosen(dialog.fileName);
  return chosen;
}

bool QtOperator::ChooseRange(RangeDialog& dialog) {
  if (Operator* a = answers_.load()) return a->ChooseRange(dialog);
  return OnUiThread([&] { return ShowRangeDialog(parent_, dialog); });
}

bool QtOperator::ChooseSave(SaveDialog& dialog) {
  if (Operator* a = answers_.load()) return a->ChooseSave(dialog);
  return OnUiThread([&] { return ShowSaveDialog(parent_, dialog); });
}

bool QtOperator::ChooseLockOption(LockMenu& menu) {
  if (Operator* a = answers_.load()) return a->ChooseLockOption(menu);
  return OnUiThread([&] { return ShowLockDialog(parent_, menu); });
}

bool QtOperator::ChooseRemap(RemapMenu& menu) {
  if (Operator* a = answers_.load()) return a->ChooseRemap(menu);
  return OnUiThread([&] { return ShowRemapDialog(parent_, menu); });
}

ByteEditButton QtOperator::EditBytes(ByteEditDialog& dialog) {
  if (Operator* a = answers_.load()) return a->EditBytes(dialog);
  ByteEditButton pressed = ByteEditButton::ReturnToMainMenu;
  OnUiThread([&] {
    pressed = ShowByteEditDialog(parent_, dialog);
    return true;
  });
  return pressed;
}

bool QtOperator::PrintListing(const std::string& listing, std::string& whyNot) {
  if (Operator* a = answers_.load()) return a->PrintListing(listing, whyNot);
  return OnUiThread([&] { return gui::PrintListing(parent_, kAppTitle, listing, whyNot); });
}

}  // namespace brisko::gui
