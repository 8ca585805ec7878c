// Stand-ins for the window's dialogs until their real forms are built: every
// dialog answers Cancel, so a command that needs one ends declined.
#include "gui/dialogs/dialogs.hpp"

namespace brisko::gui {

bool ShowChipSelectionDialog(QWidget*, ChipSelection&) { return false; }
bool ShowCommSetupDialog(QWidget*, CommSetupDialog&) { return false; }
bool ShowFileSectorDialog(QWidget*, FileSectorDialog&) { return false; }
bool ShowRangeDialog(QWidget*, RangeDialog&) { return false; }
bool ShowSaveDialog(QWidget*, SaveDialog&) { return false; }
bool PrintListing(QWidget*, const std::string&, const std::string&) { return false; }

}  // namespace brisko::gui
