#include "cli/run_cli.hpp"

#include "cli/board.hpp"
#include "cli/cli_command.hpp"
#include "cli/command_line.hpp"
#include "cli/file_checks.hpp"
#include "cli/production_line.hpp"

namespace brisko::cli {

int RunCli(const std::vector<std::string>& argv, std::FILE* in, std::FILE* out, std::FILE* err,
           const LinkTiming& timing) {
  Arguments args;
  if (const auto exit = ParseCommandLine(argv, args, out, err)) return *exit;
  const CliCommand& command = *FindCommand(args.command);

  std::string error;
  MakeSimulatedChip(args, error);
  if (!error.empty()) {
    std::fprintf(err, "brisko-cli: %s\n", error.c_str());
    return kExitUsage;
  }
  if (const std::string problem = CommandFilesProblem(args); !problem.empty()) {
    std::fprintf(err, "brisko-cli: %s\n", problem.c_str());
    return kExitUsage;
  }
  return RunLine(command, args, in, out, err, timing);
}

}  // namespace brisko::cli
