#include "cli/terminal_operator.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "shell/baud_calculator.hpp"
#include "shell/comm_setup_dialog.hpp"

namespace brisko::cli {

TerminalOperator::TerminalOperator(const Arguments& args, std::FILE* in, std::FILE* err)
    : args_(args), in_(in), err_(err), interactive_(in != nullptr && ::isatty(::fileno(in))) {}

void TerminalOperator::Note(const std::string& text) {
  std::fprintf(err_, "%s\n", text.c_str());
  std::fflush(err_);
}

void TerminalOperator::Tell(const std::string& text) {
  messages_.push_back(text);
  Note(text);
}

bool TerminalOperator::Ask(const std::string& question) {
  if (args_.yes) {
    Note(question + " [answered Yes]");
    return true;
  }
  if (!interactive_) {
    Note(question + " [answered No: not a terminal; use --yes]");
    declined_ = true;
    return false;
  }
  std::fprintf(err_, "%s [y/N] ", question.c_str());
  std::fflush(err_);
  char line[64] = {0};
  const bool yes = std::fgets(line, sizeof line, in_) != nullptr && (line[0] == 'y' || line[0] == 'Y');
  if (!yes) declined_ = true;
  return yes;
}

bool TerminalOperator::SelectChip(ChipSelection& selection) {
  if (args_.model) selection.model = *args_.model;
  else if (args_.simulateModel) selection.model = *args_.simulateModel;
  if (args_.memoryMode) selection.memoryMode = *args_.memoryMode;
  return true;
}

bool TerminalOperator::CommSetup(CommSetupDialog& dialog) {
  if (args_.crystal) {
    dialog.crystalMHz = *args_.crystal;
    dialog.Compute();
  }
  if (args_.baud) dialog.selectedRate = RateIndex(*args_.baud);
  // Without a choice of rate the dialog keeps its selection: the
  // recommendation after --crystal, else the port's rate.
  const bool confirmed = dialog.Confirm() == CommSetupDialog::Outcome::Confirmed;
  for (const std::string& message : dialog.TakeMessages()) Tell(message);
  return confirmed;
}

std::optional<int> TerminalOperator::StartEntry(const std::vector<std::string>& entries) {
  if (args_.address) {
    char wanted[16];
    std::snprintf(wanted, sizeof wanted, "Addr=%04X", *args_.address);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const std::string& entry = entries[i];
      if (entry.size() >= std::char_traits<char>::length(wanted) &&
          entry.compare(entry.size() - std::char_traits<char>::length(wanted), std::string::npos, wanted) == 0)
        return static_cast<int>(i);
    }
    Tell(std::string("No sector of the list starts at address ") + (wanted + 5) + "h.");
    return std::nullopt;
  }
  const int entry = args_.sector.value_or(0);
  if (entry < 0 || entry >= static_cast<int>(entries.size())) {
    Tell("Sector entry " + std::to_string(entry) + " is not in the list (0.." + std::to_string(entries.size() - 1) +
         ").");
    return std::nullopt;
  }
  return entry;
}

bool TerminalOperator::ChooseFileAndSector(FileSectorDialog& dialog) {
  if (args_.operands.empty()) {
    Tell("No file given.");
    return false;
  }
  const auto entry = StartEntry(dialog.entries);
  if (!entry) return false;
  dialog.chosen = *entry;
  dialog.fileName = args_.operands.front();
  return true;
}

bool TerminalOperator::ChooseRange(RangeDialog& dialog) {
  const auto entry = StartEntry(dialog.starts);
  if (!entry) return false;
  const int range = args_.range.value_or(0);
  if (range < 0 || range >= static_cast<int>(dialog.ranges.size())) {
    Tell("A range of " + std::to_string(range) + " sectors is not offered (0.." + std::to_string(dialog.ranges.size() - 1) +
         ").");
    return false;
  }
  dialog.start = *entry;
  dialog.range = range;
  return true;
}

bool TerminalOperator::ChooseSave(SaveDialog& dialog) {
  RangeDialog range{dialog.starts, dialog.ranges, 0, 0};
  if (!ChooseRange(range)) return false;
  dialog.start = range.start;
  dialog.range = range.range;
  dialog.path = args_.operands.empty() ? std::string() : args_.operands.front();
  dialog.textMode = args_.textMode.value_or(true);
  return true;
}

void TerminalOperator::Mark() {
  messages_.clear();
  declined_ = false;
}

bool TerminalOperator::Saw(const std::string& text) const {
  return std::find(messages_.begin(), messages_.end(), text) != messages_.end();
}

TerminalProgress::TerminalProgress(std::FILE* out) : out_(out) {}

void TerminalProgress::WindowChanged(WindowAspect aspect, const WindowState& state) {
  if (aspect != WindowAspect::Progress) return;
  const ProgressPane& p = state.progress;
  constexpr int kWidth = 40;
  const int filled = p.max > 0 ? std::min(kWidth, p.position * kWidth / p.max) : 0;
  const int percent = p.max > 0 ? std::min(100, p.position * 100 / p.max) : 0;
  char line[128];
  std::snprintf(line, sizeof line, "\r%-12s [%s%s] %3d%%", p.label.c_str(), std::string(filled, '#').c_str(),
                std::string(kWidth - filled, '.').c_str(), percent);
  if (line == lastLine_) return;
  lastLine_ = line;
  std::fputs(line, out_);
  std::fflush(out_);
  drawn_ = true;
}

void TerminalProgress::Finish() {
  if (drawn_) std::fputc('\n', out_);
  drawn_ = false;
  lastLine_.clear();
}

}  // namespace brisko::cli
