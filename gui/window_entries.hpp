#pragma once
#include <QString>
#include <vector>

#include "shell/session/command_runner.hpp"

namespace brisko::gui {

enum class EntryKind { Chip, Exit, About, Separator };

// The window's items. The chip commands, their texts and places come from the
// shared command table; only the window's own items (File > Exit, the About
// boxes, separators) and the tool buttons' icons are kept here.

// One menu item: its menu, its exact text, and what it does. A chip command
// without a handler is shown disabled.
struct MenuEntry {
  QString menu;
  QString text;
  EntryKind kind = EntryKind::Chip;
  CommandRunner::Command command;
  QString aboutText;  // EntryKind::About
};

// Every menu of the window in order, with their items.
std::vector<MenuEntry> MenuEntries();

// The "IAP Function" group, in order: button text and command.
struct IapEntry {
  QString text;
  CommandRunner::Command command;
};
std::vector<IapEntry> IapEntries();

// The tool bar: RESET, 2xCLK, TEST.
struct ToolEntry {
  QString icon;  // resource path
  QString name;  // accessible name; no text is shown
  CommandRunner::Command command;
};
std::vector<ToolEntry> ToolEntries();

}  // namespace brisko::gui
