#include "cli/cli_command.hpp"
#include "cli/command_options.hpp"
#include "cli/configuration_commands.hpp"
#include "cli/result_printing.hpp"
#include "shell/flash/download_command.hpp"
#include "shell/session/session.hpp"
#include "shell/flash/run_user_code.hpp"

namespace brisko::cli {
namespace {

// With --bank the program goes into the bank, the chip's own flash comes
// back (block 0 of a KT410/KT420 put back), and only then does the board
// restart into the program in external memory.
CommandOutcome DownloadAndRun(CommandContext& c, CommandHandler downloadAndRun) {
  if (!c.args.bankHigh) return downloadAndRun(c.session);
  CommandOutcome outcome = RunOnBank(c.session, *c.args.bankHigh, OnDownload);
  if (!outcome.Ok()) return outcome;
  if (c.session.State().cancelRequested)
    return CommandOutcome::Cancelled("start the user's program", "downloaded into the bank and returned");
  const CommandOutcome run = ExecuteUserCodeInExternalFlash(c.session);
  if (!run.Ok()) return run;
  outcome.action = "downloaded and started";
  return outcome;
}

CommandOutcome ReadAndShow(CommandContext& c, CommandHandler read) {
  CommandOutcome outcome = read(c.session);
  if (outcome.Ok()) PrintViews(c.session.Window().Snapshot(), c.out);
  return outcome;
}

void FileAndStart(CLI::App& command, Arguments& args, const std::string& what) {
  AddFileOperand(command, args, what);
  AddStartOptions(command, args);
  AddBankOption(command, args);
}

void SaveOptions(CLI::App& command, Arguments& args) {
  AddFileOperand(command, args, "the file to write", true);
  AddStartOptions(command, args);
  AddRangeOption(command, args);
  AddBankOption(command, args);
  auto* text = command.add_flag_callback(
      "--text", [&args] { args.textMode = true; }, "a text listing, 16 bytes a line (the default)");
  auto* binary = command.add_flag_callback("--binary", [&args] { args.textMode = false; }, "the raw bytes");
  text->excludes(binary);
}

}  // namespace

std::vector<CliExtra> FlashExtras() {
  const auto download = [](CLI::App& c, Arguments& a) {
    FileAndStart(c, a, "Intel HEX (.hex) or binary file");
    c.add_flag("--skip-unchanged", a.skipUnchanged,
               "read the range first and erase and write only the sectors that differ (block 0, external banks)");
  };
  const auto range = [](CLI::App& c, Arguments& a) {
    AddStartOptions(c, a);
    AddRangeOption(c, a);
    AddBankOption(c, a);
  };
  return {
      {"download", download, {}},
      {"download-run", download, DownloadAndRun},
      {"read", range, ReadAndShow},
      {"save", SaveOptions, {}},
      {"compare", [](CLI::App& c, Arguments& a) { FileAndStart(c, a, "the file to compare"); }, {}},
      {"erase", range, {}},
  };
}

}  // namespace brisko::cli
