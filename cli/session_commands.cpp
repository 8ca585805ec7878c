#include "cli/cli_command.hpp"
#include "cli/command_options.hpp"
#include "cli/result_printing.hpp"
#include "shell/setup/comm_setup_dialog.hpp"
#include "shell/session/session.hpp"
#include "shell/loader/unknown_version_detect.hpp"

namespace brisko::cli {
namespace {

CommandOutcome DetectAndShow(CommandContext& c, CommandHandler detect) {
  CommandOutcome outcome = c.args.unknownVersion ? OnDetectUnknownVersion(c.session) : detect(c.session);
  // A failed detection leaves the panel empty: nothing to show.
  if (outcome.Ok()) PrintChipInformation(c.session.Window().Snapshot(), true, c.out);
  return outcome;
}

// The calculator of the communication set-up, without a chip. --crystal is
// range-checked when parsed.
CommandOutcome Calculate(CommandContext& c) {
  CommSetupDialog dialog(c.session);
  dialog.crystalMHz = *c.args.crystal;
  dialog.Compute();
  if (c.args.next) dialog.NextBaud();
  std::fprintf(c.out, "Crystal: %.4f MHz\nBaud Rate: %u\nReload: %04Xh\n", dialog.crystalMHz, dialog.recommendedBaud,
               dialog.reloadValue);
  return CommandOutcome::Success("computed");
}

}  // namespace

std::vector<CliExtra> SessionExtras() {
  return {
      {"detect",
       [](CLI::App& c, Arguments& a) {
         c.add_flag("--unknown-version", a.unknownVersion,
                    "look for a 1.1F loader first, then for 1.1E (which is then offered the upgrade)");
       },
       DetectAndShow},
  };
}

CliCommand BaudCommand() {
  return {"baud", "the best bit rate and timer-2 reload for --crystal MHZ",
          [](CLI::App& c, Arguments& a) { c.add_flag("--next", a.next, "the next lower bit rate that fits the crystal"); },
          false, Calculate, false, ChipModelUse::None};
}

}  // namespace brisko::cli
