#pragma once
// The modal dialogs of the window. Each runs on the UI thread, fills the data
// it is given and returns true for OK, false for Cancel. The Qt operator calls
// them when a command (on the command thread) asks the operator.
#include <string>

class QWidget;

namespace brisko {

struct ChipSelection;
class CommSetupDialog;
struct FileSectorDialog;
struct RangeDialog;
struct SaveDialog;
struct LockMenu;
struct RemapMenu;
struct ByteEditDialog;
enum class ByteEditButton;

namespace gui {

bool ShowChipSelectionDialog(QWidget* parent, ChipSelection& selection);
// Compute, Next Baud and "&Detect MCU" work the dialog; its messages (range,
// refused rate, settings not saved) are shown here, on the UI thread, and the
// registry values go through the toolkit's settings store. The device chosen
// for a "COMn" entry is saved to the session's port map on confirmation.
bool ShowCommSetupDialog(QWidget* parent, CommSetupDialog& dialog);
bool ShowFileSectorDialog(QWidget* parent, FileSectorDialog& dialog);
bool ShowRangeDialog(QWidget* parent, RangeDialog& dialog);
bool ShowSaveDialog(QWidget* parent, SaveDialog& dialog);
bool ShowLockDialog(QWidget* parent, LockMenu& menu);
bool ShowRemapDialog(QWidget* parent, RemapMenu& menu);
// The button the operator pressed, with their texts in `dialog`; closing
// the window counts as "Return to Main Menu".
ByteEditButton ShowByteEditDialog(QWidget* parent, ByteEditDialog& dialog);

// Prints a listing with the print dialog; true when printed or when the
// operator cancelled the print dialog (the command counts both as done),
// false when the printer failed, with the reason in `whyNot`. Where no
// printer is set up, the operator is told so and offered a PDF file instead
// (declined: false, the reason being the missing printer).
bool PrintListing(QWidget* parent, const std::string& title, const std::string& listing, std::string& whyNot);

}  // namespace gui
}  // namespace brisko
