#include "cli/cli_command.hpp"

namespace brisko::cli {
namespace {

CliCommand FromEntry(const CommandEntry& entry) {
  const auto handler = entry.handler;
  return CliCommand{std::string(entry.name), std::string(entry.help), {}, entry.detectFirst,
                    [handler](CommandContext& c) { return handler(c.session); }, entry.showsStatus, entry.model,
                    entry.entersBankItself};
}

}  // namespace

// The shared table's commands that have a help line, each with its extras;
// the calculator follows `run`, the port list comes last.
const std::vector<CliCommand>& CommandTable() {
  static const std::vector<CliCommand> table = [] {
    std::vector<CliExtra> extras;
    for (auto group : {SessionExtras, FlashExtras, ConfigurationExtras, LoaderExtras})
      for (CliExtra& extra : group()) extras.push_back(std::move(extra));
    std::vector<CliCommand> all;
    for (const CommandEntry& entry : Commands()) {
      if (entry.help.empty()) continue;
      CliCommand command = FromEntry(entry);
      for (const CliExtra& extra : extras) {
        if (extra.name != command.name) continue;
        command.addOptions = extra.addOptions;
        if (extra.run)
          command.run = [run = extra.run, handler = entry.handler](CommandContext& c) { return run(c, handler); };
      }
      all.push_back(std::move(command));
      if (entry.name == "run") all.push_back(BaudCommand());
    }
    all.push_back(PortsCommand());
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
