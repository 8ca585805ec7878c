#include "cli/cli_command.hpp"
#include "cli/command_options.hpp"
#include "cli/configuration_commands.hpp"
#include "cli/result_printing.hpp"
#include "shell/session/session.hpp"

// The commands that replace or upgrade the chip's loader.

namespace brisko::cli {
namespace {

// The 1.1E detection is its own detection: it runs instead of the 1.1F one.
CommandOutcome UpgradeAndShow(CommandContext& c, CommandHandler upgrade) {
  CommandOutcome outcome = upgrade(c.session);
  // The 1.1E loader reports the model itself.
  if (outcome.Ok()) PrintChipInformation(c.session.Window().Snapshot(), false, c.out);
  return outcome;
}

}  // namespace

std::vector<CliExtra> LoaderExtras() {
  return {
      {"upgrade-loader", {}, UpgradeAndShow},
      {"update-loader",
       [](CLI::App& c, Arguments& a) {
         AddFileOperand(c, a, "the new loader, Intel HEX (.hex) or binary");
         AddStartOptions(c, a);
       },
       {}},
      {"update-external-loader", AddBankOption, {}},
  };
}

}  // namespace brisko::cli
