#pragma once
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "cli/arguments.hpp"
#include "shell/commands/command_table.hpp"
#include "shell/session/command_outcome.hpp"

namespace CLI {
class App;
}

namespace brisko {
class Session;
}

namespace brisko::cli {

// What a command sees while it runs on the runner's thread.
struct CommandContext {
  Session& session;
  const Arguments& args;
  std::FILE* out;  // results (chip information, views, calculator) go here
  nlohmann::json* data = nullptr;  // what the command found, for --json; may be none
};

// One command of brisko-cli: a command of the shared table (its name, help
// line, needs and handler), with the options and output brisko-cli gives it,
// or a command only brisko-cli has (no chip: the calculator, the port list).
struct CliCommand {
  std::string name;
  std::string summary;  // the one line of `brisko-cli --help`
  // Declares the command's options and operands on its subcommand; may be empty.
  std::function<void(CLI::App&, Arguments&)> addOptions;
  // The chip is detected first (a run of its own on the runner); the command
  // runs only when that succeeded.
  bool detectFirst = true;
  std::function<CommandOutcome(CommandContext&)> run;
  // The command reports in the status line ("IAP Status: ...").
  bool showsStatus = true;
  ChipModelUse model = ChipModelUse::Selected;
  // With --bank, `run` enters and leaves the bank itself (download-run starts
  // the program only once the chip's own flash is back).
  bool entersBankItself = false;
};

// What brisko-cli adds to a command of the shared table, found by its name.
struct CliExtra {
  std::string name;
  std::function<void(CLI::App&, Arguments&)> addOptions;  // may be empty
  // Runs the table's handler (given) and prints what it found, or chooses
  // another flow from the options; may be empty.
  std::function<CommandOutcome(CommandContext&, CommandHandler)> run;
};

// Every command, in the order `--help` lists them.
const std::vector<CliCommand>& CommandTable();
const CliCommand* FindCommand(const std::string& name);

// The extras, one group per file.
std::vector<CliExtra> SessionExtras();        // detect
std::vector<CliExtra> FlashExtras();          // download, read, save, compare, erase...
std::vector<CliExtra> ConfigurationExtras();  // lock, remap, edit
std::vector<CliExtra> LoaderExtras();         // update-loader, update-external-loader, upgrade-loader
// The commands only brisko-cli has.
CliCommand BaudCommand();
CliCommand PortsCommand();

}  // namespace brisko::cli
