// The terminal operator's answers to the lock and remap menus and the
// byte-edit dialog, taken from the command's arguments.
#include "cli/terminal_dialogs.hpp"

#include "cli/terminal_operator.hpp"

namespace brisko::cli {

std::optional<int> RemapOptionFromName(const std::string& name) {
  if (name == "1k") return 1;
  if (name == "2k") return 2;
  if (name == "4k") return 3;
  if (name == "sc0") return 0;
  if (name == "sc1") return 4;
  return std::nullopt;
}

std::string LockMenuText(const LockMenu& menu) {
  std::string text = menu.group + " (brisko-cli lock N):";
  for (std::size_t i = 0; i < menu.options.size(); ++i)
    text += "\n  " + std::to_string(i + 1) + "  " + menu.options[i];
  return text;
}

// Without an option number the menu is listed, and that is a usage error.
bool TerminalOperator::ChooseLockOption(LockMenu& menu) {
  if (!args_.lockOption) return Reject(LockMenuText(menu));
  const int option = *args_.lockOption;
  if (option < 1 || option > static_cast<int>(menu.options.size()))
    return Reject("Lock option " + std::to_string(option) + " is not in the menu.\n" + LockMenuText(menu));
  menu.lockOption = option;
  return true;
}

bool TerminalOperator::ChooseRemap(RemapMenu& menu) {
  if (!args_.remapOption) return false;
  for (const RemapRadio& radio : menu.radios) {
    if (radio.value != *args_.remapOption) continue;
    if (!radio.enabled) return Reject("\"" + radio.label + "\" is not offered for this chip.");
    menu.remapOption = radio.value;
    return true;
  }
  return false;
}

// One press: Replace Data with the new bytes, or Display Data; then the
// dialog closes.
ByteEditButton TerminalOperator::EditBytes(ByteEditDialog& dialog) {
  editDisplay_ = dialog.displayText;
  if (editPressed_ || !args_.editAddress) return ByteEditButton::ReturnToMainMenu;
  editPressed_ = true;
  dialog.addressText = *args_.editAddress;
  if (!args_.editData) return ByteEditButton::DisplayData;
  dialog.newDataText = *args_.editData;
  return ByteEditButton::ReplaceData;
}

}  // namespace brisko::cli
