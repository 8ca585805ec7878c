#pragma once
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.hpp"
#include "shell/operator.hpp"
#include "shell/window_state.hpp"

namespace brisko::cli {

// The operator of the command line: messages go to stderr with their exact
// text, questions are answered by --yes, at a terminal prompt, or No; dialogs
// are answered from the arguments.
class TerminalOperator final : public Operator {
 public:
  TerminalOperator(const Arguments& args, std::FILE* in, std::FILE* err);

  void Tell(const std::string& text) override;
  bool Ask(const std::string& question) override;
  bool SelectChip(ChipSelection& selection) override;
  bool CommSetup(CommSetupDialog& dialog) override;
  bool ChooseFileAndSector(FileSectorDialog& dialog) override;
  bool ChooseRange(RangeDialog& dialog) override;
  bool ChooseSave(SaveDialog& dialog) override;
  // The terminal's printer is standard output.
  bool PrintListing(const std::string& listing) override;

  // What happened since the last Mark(): messages told, questions declined,
  // dialogs the arguments could not answer.
  void Mark();
  const std::vector<std::string>& Messages() const { return messages_; }
  bool Declined() const { return declined_; }
  bool Saw(const std::string& text) const;

 private:
  // The entry a --sector or --address names in a "Starting Sector" list.
  std::optional<int> StartEntry(const std::vector<std::string>& entries);
  void Note(const std::string& text);

  const Arguments& args_;
  std::FILE* in_;
  std::FILE* err_;
  bool interactive_;
  std::vector<std::string> messages_;
  bool declined_ = false;
};

// Draws the engine's progress label and bar on a terminal.
class TerminalProgress final : public WindowObserver {
 public:
  explicit TerminalProgress(std::FILE* out);
  void WindowChanged(WindowAspect aspect, const WindowState& state) override;
  // Ends a bar that is on the screen with a line feed.
  void Finish();

 private:
  std::FILE* out_;
  bool drawn_ = false;
  std::string lastLine_;
};

}  // namespace brisko::cli
