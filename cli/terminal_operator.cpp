#include "cli/terminal_operator.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "shell/setup/baud_calculator.hpp"
#include "shell/setup/comm_setup_dialog.hpp"

namespace brisko::cli {
namespace {

// --address names a sector by its 16-bit address; the high bank's sectors
// are listed from 10000h on, and named by their address within the bank.
bool StartsAt(const SectorEntry& entry, std::uint32_t address) {
  return (entry.block < 0 ? entry.address & 0xFFFF : entry.address) == address;
}

}  // namespace

TerminalOperator::TerminalOperator(const Arguments& args, std::FILE* in, std::FILE* err)
    : args_(args), in_(in), err_(err), interactive_(in != nullptr && ::isatty(::fileno(in))) {}

void TerminalOperator::Note(const std::string& text) {
  std::fprintf(err_, "%s\n", text.c_str());
  std::fflush(err_);
}

void TerminalOperator::Tell(const std::string& text) { Note(text); }

bool TerminalOperator::Reject(const std::string& why) {
  argumentsRejected_ = true;
  Note(why);
  return false;
}

bool TerminalOperator::Prompt(const std::string& question) {
  std::fprintf(err_, "%s [y/N] ", question.c_str());
  std::fflush(err_);
  char line[64] = {0};
  return std::fgets(line, sizeof line, in_) != nullptr && (line[0] == 'y' || line[0] == 'Y');
}

bool TerminalOperator::Ask(const std::string& question) {
  if (args_.yes) {
    Note(question + " [answered Yes]");
    return true;
  }
  if (!interactive_) {
    Note(question + " [answered No: not a terminal; use --yes]");
    return false;
  }
  return Prompt(question);
}

bool TerminalOperator::AskInPerson(const std::string& question) {
  if (!interactive_) {
    Note(question + " [answered No: only a person at a terminal may answer Yes here, --yes does not]");
    return false;
  }
  return Prompt(question);
}

void TerminalOperator::TellAndWait(const std::string& text) {
  if (args_.yes || !interactive_) {
    Note(text);
    return;
  }
  std::fprintf(err_, "%s\n[press Enter when done] ", text.c_str());
  std::fflush(err_);
  char line[64] = {0};
  [[maybe_unused]] const char* ignored = std::fgets(line, sizeof line, in_);
}

bool TerminalOperator::SelectChip(ChipSelection& selection) {
  if (args_.model) selection.model = *args_.model;
  else if (args_.simulateModel) selection.model = *args_.simulateModel;
  if (args_.memoryMode) selection.memoryMode = *args_.memoryMode;
  return true;
}

bool TerminalOperator::CommSetup(CommSetupDialog& dialog) {
  if (args_.portNumber) dialog.selectedPort = *args_.portNumber - 1;
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

std::optional<int> TerminalOperator::StartEntry(const std::vector<SectorEntry>& entries) {
  if (args_.address) {
    std::vector<int> found;
    for (std::size_t i = 0; i < entries.size(); ++i)
      if (StartsAt(entries[i], *args_.address) && (!args_.block || (*args_.block == 1) == (entries[i].block == 1)))
        found.push_back(static_cast<int>(i));
    char hex[16];
    std::snprintf(hex, sizeof hex, "%04X", *args_.address);
    const std::string address = std::string(hex) + "h";
    if (found.size() == 1) return found.front();
    if (found.empty()) {
      Reject("No sector of the list starts at address " + address + ".");
    } else {  // KT540 and KT550: both blocks start at 0000h
      Reject("Address " + address + " starts a sector in block 0 and in block 1: use --sector " +
             std::to_string(found[0]) + " or --sector " + std::to_string(found[1]) +
             " (or add --block 0 or --block 1).");
    }
    return std::nullopt;
  }
  const int entry = args_.sector.value_or(0);
  if (entry < static_cast<int>(entries.size())) return entry;
  Reject("Sector entry " + std::to_string(entry) + " is not in the list (0.." + std::to_string(entries.size() - 1) +
         ").");
  return std::nullopt;
}

bool TerminalOperator::ChooseFileAndSector(FileSectorDialog& dialog) {
  if (!args_.file) return Reject("No file given.");
  const auto entry = StartEntry(dialog.entries);
  if (!entry) return false;
  dialog.chosen = *entry;
  dialog.fileName = *args_.file;
  dialog.skipUnchanged = args_.skipUnchanged;
  return true;
}

bool TerminalOperator::ChooseRange(RangeDialog& dialog) {
  const auto entry = StartEntry(dialog.starts);
  if (!entry) return false;
  const int range = args_.range.value_or(0);
  if (range >= static_cast<int>(dialog.ranges.size()))
    return Reject("A range of " + std::to_string(range) + " sectors is not offered (0.." +
                  std::to_string(dialog.ranges.size() - 1) + ").");
  dialog.start = *entry;
  dialog.range = range;
  return true;
}

// A save dialog asks before it replaces a file; so does the command line.
bool TerminalOperator::ChooseSave(SaveDialog& dialog) {
  RangeDialog range{dialog.starts, dialog.ranges, 0, 0};
  if (!ChooseRange(range)) return false;
  if (!args_.file) return Reject("No file given.");
  std::error_code error;
  if (std::filesystem::exists(*args_.file, error) &&
      !Ask(*args_.file + " already exists.\nDo you want to replace it?"))
    return false;
  dialog.start = range.start;
  dialog.range = range.range;
  dialog.path = *args_.file;
  dialog.textMode = args_.textMode.value_or(true);
  return true;
}

bool TerminalOperator::PrintListing(const std::string& listing, std::string& whyNot) {
  errno = 0;
  const bool written = std::fwrite(listing.data(), 1, listing.size(), stdout) == listing.size();
  if (std::fflush(stdout) == 0 && written) return true;
  whyNot = std::string("standard output cannot be written") + (errno ? ": " + std::string(std::strerror(errno)) : "");
  return false;
}

}  // namespace brisko::cli
