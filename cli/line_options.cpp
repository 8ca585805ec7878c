#include "cli/line_options.hpp"

#include <CLI/CLI.hpp>

#include <set>

#include "cli/cli_command.hpp"

namespace brisko::cli {

void AddLineOptions(CLI::App& app, Arguments& a) {
  const std::string line = "Production line";
  app.add_option("--repeat", a.repeat,
                 "run the command N times, each on the next board detected after the last run (0: until Ctrl-C)")
      ->type_name("N")
      ->check(CLI::Range(0u, 1000000u))
      ->group(line);
  app.add_option_function<std::string>(
         "--log", [&a](const std::string& v) { a.log = v; },
         "append one JSON line per board and run to FILE (time, port, chip, file and its SHA-256, outcome...)")
      ->type_name("FILE")
      ->group(line);
  app.add_flag("--json", a.json, "print one JSON object per command on stdout (a list with several ports); "
                                 "the human lines go to stderr")
      ->group(line);
}

std::string LineRuleBroken(const Arguments& a) {
  if (a.ports.size() > kMostPorts) return "at most " + std::to_string(kMostPorts) + " ports at once";
  std::set<std::string> seen;
  for (const std::string& port : a.ports)
    if (!seen.insert(port).second) return "--port " + port + " is given twice";
  if (a.ports.size() > 1 && a.saveSettings) return "--save-settings saves one port; several are given";
  const CliCommand& command = *FindCommand(a.command);
  if (a.repeat != 1 && command.model == ChipModelUse::None)
    return "--repeat waits for the next board, and " + a.command + " detects no chip";
  if (a.ports.size() > 1 && command.model == ChipModelUse::None) return a.command + " needs no port; several are given";
  return "";
}

}  // namespace brisko::cli
