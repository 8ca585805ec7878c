#pragma once
#include <string>
#include <vector>

#include "chip/chip_catalogue.hpp"
#include "link/message_sink.hpp"

namespace brisko {

class CommSetupDialog;

// The chip selection dialog's data ("Select MCU Chip Type and Memory Mode").
struct ChipSelection {
  ChipModel model = kNoModel;
  MemoryMode memoryMode = kNoMemoryMode;
};

// The download and compare dialogs: a "Starting Sector" list and a file name.
struct FileSectorDialog {
  std::string title;
  std::vector<std::string> entries;
  std::string fileName;
  int chosen = 0;

  // The operator's choice lies inside the list.
  bool Valid() const { return chosen >= 0 && static_cast<std::size_t>(chosen) < entries.size(); }
};

namespace detail {
inline bool InLists(int start, int range, std::size_t starts, std::size_t ranges) {
  return start >= 0 && static_cast<std::size_t>(start) < starts && range >= 0 && static_cast<std::size_t>(range) < ranges;
}
}  // namespace detail

// The range dialog of Read, Sector Erase and Print.
struct RangeDialog {
  std::vector<std::string> starts;
  std::vector<std::string> ranges;
  int start = 0;
  int range = 0;

  bool Valid() const { return detail::InLists(start, range, starts.size(), ranges.size()); }
};

// The save dialog: range lists, a target path and the file mode.
struct SaveDialog {
  std::vector<std::string> starts;
  std::vector<std::string> ranges;
  std::string path;
  int start = 0;
  int range = 0;
  bool textMode = true;

  bool Valid() const { return detail::InLists(start, range, starts.size(), ranges.size()); }
};

// The person at the controls, as the commands see them. Every call blocks
// until answered. The desktop window answers with real dialogs, the command
// line from its arguments, tests from a script. The dialog calls fill in the
// struct they are given and return true for OK, false for Cancel.
class Operator : public MessageSink {
 public:
  // One message box with an OK button.
  void Tell(const std::string& text) override = 0;
  // A Yes/No question; No is the default.
  virtual bool Ask(const std::string& question) = 0;

  virtual bool SelectChip(ChipSelection& selection) = 0;
  // The operator works the dialog (Compute, Next Baud, choices) and confirms
  // it; true when it closed confirmed.
  virtual bool CommSetup(CommSetupDialog& dialog) = 0;
  virtual bool ChooseFileAndSector(FileSectorDialog& dialog) = 0;
  virtual bool ChooseRange(RangeDialog& dialog) = 0;
  virtual bool ChooseSave(SaveDialog& dialog) = 0;

  // Prints a text listing (the print dialog, then the pages). True when it
  // was printed or the operator cancelled the print dialog; false when the
  // printer failed.
  virtual bool PrintListing(const std::string& listing) = 0;
};

}  // namespace brisko
