#pragma once
#include <QString>
#include <type_traits>
#include <vector>

#include "shell/session/command_runner.hpp"

namespace brisko::gui {

// A command handler as the runner takes it, whatever the handler returns: an
// outcome is passed on; a handler that reports only through the operator
// counts as done.
template <typename Handler>
CommandRunner::Command AsCommand(Handler handler) {
  return [handler](MainWindow& w) -> CommandOutcome {
    if constexpr (std::is_same_v<std::invoke_result_t<Handler, MainWindow&>, CommandOutcome>) {
      return handler(w);
    } else {
      handler(w);
      return CommandOutcome::Success();
    }
  };
}

enum class EntryKind { Chip, Exit, About, Separator };

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
