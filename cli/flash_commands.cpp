#include "cli/cli_command.hpp"
#include "cli/command_options.hpp"
#include "cli/configuration_commands.hpp"
#include "cli/result_printing.hpp"
#include "shell/flash/compare_command.hpp"
#include "shell/flash/download_command.hpp"
#include "shell/flash/erase_commands.hpp"
#include "shell/session/session.hpp"
#include "shell/flash/read_command.hpp"
#include "shell/flash/run_user_code.hpp"
#include "shell/flash/save_command.hpp"

namespace brisko::cli {
namespace {

// With --bank the program goes into the bank, the chip's own flash comes
// back (block 0 of a KT410/KT420 put back), and only then does the board
// restart into the program in external memory.
CommandOutcome DownloadAndRun(CommandContext& c) {
  if (!c.args.bankHigh) return OnDownloadAndRun(c.session);
  CommandOutcome outcome = RunOnBank(c.session, *c.args.bankHigh, OnDownload);
  if (!outcome.Ok()) return outcome;
  if (c.session.State().cancelRequested)
    return CommandOutcome::Cancelled("start the user's program", "downloaded into the bank and returned");
  const CommandOutcome run = ExecuteUserCodeInExternalFlash(c.session);
  if (!run.Ok()) return run;
  outcome.action = "downloaded and started";
  return outcome;
}

CommandOutcome ReadAndShow(CommandContext& c) {
  CommandOutcome outcome = OnRead(c.session);
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

std::vector<CliCommand> FlashCommands() {
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
  CliCommand downloadRun{"download-run", "download, then start the user's program", download, true, DownloadAndRun};
  downloadRun.entersBankItself = true;
  return {
      {"download", "download an Intel HEX or binary file into flash", download, true,
       [](CommandContext& c) { return OnDownload(c.session); }},
      downloadRun,
      {"read", "read sectors; prints the sector table and the first sector", range, true, ReadAndShow},
      {"save", "read sectors and save them to a file", SaveOptions, true,
       [](CommandContext& c) { return OnSave(c.session); }},
      {"compare", "compare a file with flash",
       [](CLI::App& c, Arguments& a) { FileAndStart(c, a, "the file to compare"); }, true,
       [](CommandContext& c) { return OnCompare(c.session); }},
      {"erase", "erase sectors", range, true, [](CommandContext& c) { return OnSectorErase(c.session); }},
      {"chip-erase", "erase the whole chip", {}, true, [](CommandContext& c) { return OnChipErase(c.session); }},
  };
}

}  // namespace brisko::cli
