#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "shell/setup/comm_setup_dialog.hpp"
#include "shell/session/operator.hpp"

namespace brisko::test {

// An operator for tests: records every message and question in order, and
// answers from what the test set up. Unscripted questions are answered No,
// unscripted dialogs are cancelled, so a test never waits.
class ScriptedOperator final : public Operator {
 public:
  void Tell(const std::string& text) override { messages.push_back(text); }
  bool Ask(const std::string& question) override {
    if (onAsk) onAsk();
    questions.push_back(question);
    if (answers.empty()) return false;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  // Answered from the same script; the question is also noted as one that
  // "answer Yes to everything" may not answer.
  bool AskInPerson(const std::string& question) override {
    inPerson.push_back(question);
    return Ask(question);
  }
  bool SelectChip(ChipSelection& selection) override { return onSelectChip && onSelectChip(selection); }
  bool CommSetup(CommSetupDialog& dialog) override {
    if (onCommSetup) return onCommSetup(dialog);
    const bool confirmed = dialog.Confirm() == CommSetupDialog::Outcome::Confirmed;
    for (const std::string& message : dialog.TakeMessages()) Tell(message);
    return confirmed;
  }
  bool ChooseFileAndSector(FileSectorDialog& dialog) override { return onFileAndSector && onFileAndSector(dialog); }
  bool ChooseRange(RangeDialog& dialog) override { return onRange && onRange(dialog); }
  bool ChooseSave(SaveDialog& dialog) override { return onSave && onSave(dialog); }
  bool ChooseLockOption(LockMenu& menu) override { return onLockMenu && onLockMenu(menu); }
  bool ChooseRemap(RemapMenu& menu) override { return onRemapMenu && onRemapMenu(menu); }
  // Presses the scripted buttons in order, then "Return to Main Menu".
  ByteEditButton EditBytes(ByteEditDialog& dialog) override {
    shownDisplayTexts.push_back(dialog.displayText);
    if (byteEditPresses.empty()) return ByteEditButton::ReturnToMainMenu;
    auto press = byteEditPresses.front();
    byteEditPresses.pop_front();
    return press(dialog);
  }
  bool PrintListing(const std::string& listing, std::string& whyNot) override {
    printed.push_back(listing);
    if (!printerWorks) whyNot = printerTrouble;
    return printerWorks;
  }

  bool Saw(const std::string& text) const {
    for (const auto& m : messages)
      if (m == text) return true;
    return false;
  }

  // Answers to Ask, in order (true = Yes); onAsk runs while a question is open.
  std::deque<bool> answers;
  std::function<void()> onAsk;
  std::function<bool(ChipSelection&)> onSelectChip;
  // Default: confirm the dialog as filled and tell what it had to say.
  std::function<bool(CommSetupDialog&)> onCommSetup;
  std::function<bool(FileSectorDialog&)> onFileAndSector;
  std::function<bool(RangeDialog&)> onRange;
  std::function<bool(SaveDialog&)> onSave;
  std::function<bool(LockMenu&)> onLockMenu;
  std::function<bool(RemapMenu&)> onRemapMenu;
  // Each entry fills in the dialog's texts and names the button pressed.
  std::deque<std::function<ByteEditButton(ByteEditDialog&)>> byteEditPresses;
  // The display text each time the byte-edit dialog was shown.
  std::vector<std::string> shownDisplayTexts;

  // Listings handed to the printer, and whether the printer takes them.
  std::vector<std::string> printed;
  bool printerWorks = true;
  std::string printerTrouble;  // what a printer that does not work says

  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::vector<std::string> inPerson;  // the questions only a person may answer Yes
};

}  // namespace brisko::test
