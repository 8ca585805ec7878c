#pragma once
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.hpp"
#include "shell/session/operator.hpp"

namespace brisko::cli {

// The operator of the command line: messages go to stderr with their exact
// text, questions are answered by --yes, at a terminal prompt, or No; dialogs
// are answered from the arguments. Called on the runner's thread only.
class TerminalOperator final : public Operator {
 public:
  TerminalOperator(const Arguments& args, std::FILE* in, std::FILE* err);

  void Tell(const std::string& text) override;
  bool Ask(const std::string& question) override;
  // --yes does not answer it: asked at a terminal, else No.
  bool AskInPerson(const std::string& question) override;
  // At a terminal without --yes: waits for Enter.
  void TellAndWait(const std::string& text) override;
  bool SelectChip(ChipSelection& selection) override;
  bool CommSetup(CommSetupDialog& dialog) override;
  bool ChooseFileAndSector(FileSectorDialog& dialog) override;
  bool ChooseRange(RangeDialog& dialog) override;
  bool ChooseSave(SaveDialog& dialog) override;
  bool ChooseLockOption(LockMenu& menu) override;
  bool ChooseRemap(RemapMenu& menu) override;
  ByteEditButton EditBytes(ByteEditDialog& dialog) override;

  // The lock and remap menus and the byte-edit dialog are answered in
  // terminal_dialogs.cpp. The byte-edit dialog's display text when it was
  // last shown:
  const std::string& EditDisplayText() const { return editDisplay_; }
  // The terminal's printer is standard output.
  bool PrintListing(const std::string& listing, std::string& whyNot) override;

  // A dialog could not be answered because the arguments name no valid
  // choice (a sector past the list, an address that starts no sector or
  // two): a usage error, not a choice of the operator.
  bool ArgumentsRejected() const { return argumentsRejected_; }

 private:
  // The entry a --sector or --address names in a "Starting Sector" list.
  std::optional<int> StartEntry(const std::vector<SectorEntry>& entries);
  bool Reject(const std::string& why);
  void Note(const std::string& text);
  bool Prompt(const std::string& question);

  const Arguments& args_;
  std::FILE* in_;
  std::FILE* err_;
  bool interactive_;
  bool argumentsRejected_ = false;
  std::string editDisplay_;
  bool editPressed_ = false;
};

}  // namespace brisko::cli
