#pragma once
#include <QPointer>
#include <atomic>
#include <QString>
#include <QWidget>
#include <functional>
#include <mutex>

#include "gui/dialogs/message_box.hpp"
#include "shell/session/operator.hpp"

namespace brisko::gui {

// The operator of the desktop window. Commands call it on the command thread;
// each call is carried to the UI thread, shows the real message box or
// dialog there, and blocks the command thread until the operator answered.
// While it waits the UI thread keeps running its event loop, so the window
// repaints and its clock ticks.
class QtOperator final : public Operator {
 public:
  explicit QtOperator(QWidget* parent = nullptr) : parent_(parent) {}
  // Hands every call to `answers` instead, on the calling thread (a demo or
  // a benchmark that answers without a person); null: the real dialogs.
  void SetAnswers(Operator* answers) { answers_ = answers; }

  // Called on the UI thread with the text of every message box and question,
  // before it is shown.
  void SetShownHook(std::function<void(const QString&)> hook) { shownHook_ = std::move(hook); }
  // Called on the UI thread with the file of every file dialog answered OK.
  void SetFileHook(std::function<void(const QString&)> hook) { fileHook_ = std::move(hook); }
  // The next file dialog opens with this file filled in (a dropped file).
  void PrefillFile(const QString& path);

  void Tell(const std::string& text) override;
  bool Ask(const std::string& question) override;
  bool SelectChip(ChipSelection& selection) override;
  bool CommSetup(CommSetupDialog& dialog) override;
  bool ChooseFileAndSector(FileSectorDialog& dialog) override;
  bool ChooseRange(RangeDialog& dialog) override;
  bool ChooseSave(SaveDialog& dialog) override;
  bool ChooseLockOption(LockMenu& menu) override;
  bool ChooseRemap(RemapMenu& menu) override;
  ByteEditButton EditBytes(ByteEditDialog& dialog) override;
  bool PrintListing(const std::string& listing, std::string& whyNot) override;

  // Runs `call` on the UI thread and waits for it (at once when already there).
  static bool OnUiThread(const std::function<bool()>& call);

 private:
  void Shown(const std::string& text);
  void FileChosen(const std::string& path);

  QPointer<QWidget> parent_;
  std::function<void(const QString&)> shownHook_;
  std::function<void(const QString&)> fileHook_;
  std::mutex prefillMutex_;
  QString prefill_;
  std::atomic<Operator*> answers_{nullptr};
};

}  // namespace brisko::gui
