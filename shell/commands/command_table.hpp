#pragma once
#include <span>
#include <string_view>

#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

using CommandHandler = CommandOutcome (*)(Session&);

// What a command needs to know of the chip's model. The 1.1F loader does not
// say which model it runs on, so the operator must name it; a wrong model
// means a wrong sector map.
enum class ChipModelUse {
  None,      // no chip is detected (the cable test)
  Selected,  // the operator's choice (brisko-cli's --model, the set-up dialog)
  Reported,  // the older 1.1E loader reports it
};

// The window's menus that hold chip commands, in the menu bar's order.
enum class WindowMenu { None, File, DetectChip, RunCode, UpgradeBsl, ByteModify, Probex, ExternalFlash };

// Where the window shows a command.
enum class WindowPlace { None, Menu, IapButton, ToolButton };

// One chip command, as every front end offers it.
struct CommandEntry {
  std::string_view name;  // brisko-cli's subcommand; the key front ends find their extras by
  CommandHandler handler;
  // The chip is detected first (a run of its own); the command runs only when
  // that succeeded. A command that is a detection itself does not.
  bool detectFirst;
  ChipModelUse model;
  // With an external bank chosen, the handler enters and leaves the bank
  // itself rather than being run inside it.
  bool entersBankItself;
  // The command reports in the status line ("IAP Status: ...").
  bool showsStatus;
  std::string_view help;  // the line of `brisko-cli --help`; empty: the window only
  WindowPlace place;
  WindowMenu menu;        // WindowPlace::Menu
  int slot;               // position among the items of its menu, button group or tool bar
  std::string_view text;  // the menu item's or button's exact text; a tool button's accessible name
};

// Every command, in the order `brisko-cli --help` lists them.
std::span<const CommandEntry> Commands();
const CommandEntry* FindCommandEntry(std::string_view name);

// The menu's title as the menu bar shows it, with its mnemonic.
std::string_view MenuTitle(WindowMenu menu);

}  // namespace brisko
