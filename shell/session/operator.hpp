#pragma once
#include <cstdint>
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

// One entry of a "Starting Sector" list: the block its sector lies in (0 or
// 1; -1 for a sector of an external bank), the sector's address as the label
// shows it, and the label.
struct SectorEntry {
  int block = 0;
  std::uint32_t address = 0;
  std::string label;
};
inline std::vector<std::string> Labels(const std::vector<SectorEntry>& entries) {
  std::vector<std::string> labels;
  for (const SectorEntry& entry : entries) labels.push_back(entry.label);
  return labels;
}

// The download and compare dialogs: a "Starting Sector" list and a file name.
struct FileSectorDialog {
  std::string title;
  std::vector<SectorEntry> entries;
  std::string fileName;
  int chosen = 0;
  // Downloads: read the range first and write only the sectors that differ.
  bool skipUnchanged = false;

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
  std::vector<SectorEntry> starts;
  std::vector<std::string> ranges;
  int start = 0;
  int range = 0;

  bool Valid() const { return detail::InLists(start, range, starts.size(), ranges.size()); }
};

// The save dialog: range lists, a target path and the file mode.
struct SaveDialog {
  std::vector<SectorEntry> starts;
  std::vector<std::string> ranges;
  std::string path;
  int start = 0;
  int range = 0;
  bool textMode = true;

  bool Valid() const { return detail::InLists(start, range, starts.size(), ranges.size()); }
};

// A lock menu ("C Type Lock Menu" or "Dialog", group "Lock Chip Menu"): one
// radio per option, none checked when it opens. lockOption is 1-based; 0
// when OK was pressed without a choice.
struct LockMenu {
  std::string title;
  std::string group;
  std::vector<std::string> options;
  int lockOption = 0;
};

// One radio of the remap menu: its label, the remapOption it stands for and
// whether the detected model may choose it.
struct RemapRadio {
  std::string label;
  int value = 0;
  bool enabled = false;
};

// The "Memory Remap Menu". remapOption starts at 0, which is also the value
// of the SC0 radio: OK without a choice means SC0.
struct RemapMenu {
  std::string title;
  std::string group;
  std::vector<RemapRadio> radios;
  int remapOption = 0;
};

// The buttons of the byte-edit dialog.
enum class ByteEditButton { ReturnToMainMenu, DisplayData, ReplaceData };

// The byte-edit dialog ("Byte Edit in Block 0"). The command shows it, the
// operator edits the texts and presses a button; the command then does the
// button's work on its own thread (messages through Tell, the display text
// filled in) and shows the dialog again, until "Return to Main Menu".
struct ByteEditDialog {
  std::string title = "Byte Edit in Block 0";
  std::string addressText;   // at most 4 characters
  std::string displayText;   // at most 48 characters, written by the command
  std::string newDataText;   // at most 48 characters
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
  // A question only the person at the controls may answer Yes to: a front
  // end's "answer Yes to every question" does not answer it.
  virtual bool AskInPerson(const std::string& question) { return Ask(question); }
  // A text the operator must act on before the command goes on (set a switch
  // on the board); returns once they said they have.
  virtual void TellAndWait(const std::string& text) { Tell(text); }

  virtual bool SelectChip(ChipSelection& selection) = 0;
  // The operator works the dialog (Compute, Next Baud, choices) and confirms
  // it; true when it closed confirmed.
  virtual bool CommSetup(CommSetupDialog& dialog) = 0;
  virtual bool ChooseFileAndSector(FileSectorDialog& dialog) = 0;
  virtual bool ChooseRange(RangeDialog& dialog) = 0;
  virtual bool ChooseSave(SaveDialog& dialog) = 0;
  // true for OK, false for Cancel; the choice is in the menu's field.
  // A front end that does not show these dialogs yet cancels them.
  virtual bool ChooseLockOption(LockMenu&) { return false; }
  virtual bool ChooseRemap(RemapMenu&) { return false; }
  // Shows the dialog with its texts; returns the button pressed, with the
  // operator's texts in the dialog. Closing the dialog is ReturnToMainMenu.
  virtual ByteEditButton EditBytes(ByteEditDialog&) { return ByteEditButton::ReturnToMainMenu; }

  // Prints a text listing (the print dialog, then the pages). True when it
  // was printed or the operator cancelled the print dialog; false when the
  // printer failed, with the reason the operator can act on in `whyNot`
  // ("" when there is none to give).
  virtual bool PrintListing(const std::string& listing, std::string& whyNot) = 0;
};

}  // namespace brisko
