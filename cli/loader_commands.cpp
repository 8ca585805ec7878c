#include "cli/cli_command.hpp"
#include "cli/command_options.hpp"
#include "cli/configuration_commands.hpp"
#include "cli/result_printing.hpp"
#include "shell/loader/debug_monitor.hpp"
#include "shell/loader/legacy_detection.hpp"
#include "shell/loader/loader_update.hpp"
#include "shell/session/session.hpp"

// The commands that replace or upgrade the chip's loader.

namespace brisko::cli {
namespace {

// The 1.1E detection is its own detection: it runs instead of the 1.1F one.
CommandOutcome UpgradeAndShow(CommandContext& c) {
  CommandOutcome outcome = OnDetectLegacyAndUpgrade(c.session);
  // The 1.1E loader reports the model itself.
  if (outcome.Ok()) PrintChipInformation(c.session.Window().Snapshot(), false, c.out);
  return outcome;
}

}  // namespace

std::vector<CliCommand> LoaderCommands() {
  return {
      {"upgrade-loader", "detect a chip with loader 1.1E (KT410, KT420) and upgrade it to 1.1F", {}, false,
       UpgradeAndShow, true, ChipModelUse::Reported},
      {"update-loader", "write a newer loader file into block 1 (internal memory mode)",
       [](CLI::App& c, Arguments& a) {
         AddFileOperand(c, a, "the new loader, Intel HEX (.hex) or binary");
         AddStartOptions(c, a);
       },
       true, [](CommandContext& c) { return OnUpdateInternalLoader(c.session); }},
      {"update-external-loader", "write the loader for external memory mode into the low bank (--bank low)",
       AddBankOption, true, [](CommandContext& c) { return OnUpdateExternalLoader(c.session); }},
      {"probex", "replace the loader by the debug monitor Probex (the chip stops answering as a loader)", {}, true,
       [](CommandContext& c) { return OnDownloadDebugMonitor(c.session); }},
  };
}

}  // namespace brisko::cli
