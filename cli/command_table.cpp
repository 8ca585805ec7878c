#include "cli/cli_command.hpp"

namespace brisko::cli {

const std::vector<CliCommand>& CommandTable() {
  static const std::vector<CliCommand> table = [] {
    std::vector<CliCommand> all;
    for (auto group : {SessionCommands, FlashCommands, ConfigurationCommands, LoaderCommands, PortCommands})
      for (CliCommand& command : group()) all.push_back(std::move(command));
    return all;
  }();
  return table;
}

const CliCommand* FindCommand(const std::string& name) {
  for (const CliCommand& command : CommandTable())
    if (command.name == name) return &command;
  return nullptr;
}

}  // namespace brisko::cli
