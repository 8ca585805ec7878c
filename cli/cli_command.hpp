#pragma once
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "cli/arguments.hpp"
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

// What a command needs to know of the chip's model. The 1.1F loader does not
// say which model it runs on, so the operator must name it (--model; the
// simulated chip's is known); a wrong model means a wrong sector map.
enum class ChipModelUse {
  None,      // no chip is detected (the calculator, the cable test)
  Selected,  // the operator's --model
  Reported,  // the older 1.1E loader reports it
};

// One command of brisko-cli. Adding a command is adding one of these to the
// table (cli/command_table.cpp): its name and help line, its own options, and
// what it runs.
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

// Every command, in the order `--help` lists them.
const std::vector<CliCommand>& CommandTable();
const CliCommand* FindCommand(const std::string& name);

// The groups the table is made of, one per file.
std::vector<CliCommand> SessionCommands();  // detect, run, baud
std::vector<CliCommand> FlashCommands();    // download, read, save, compare, erase...
std::vector<CliCommand> ConfigurationCommands();  // lock, remap, double-clock, edit, cable-test
std::vector<CliCommand> LoaderCommands();   // upgrade-loader, update-loader, probex...
std::vector<CliCommand> PortCommands();     // ports

}  // namespace brisko::cli
