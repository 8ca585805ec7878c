#include "cli/chip_commands.hpp"

#include <functional>
#include <map>

#include "shell/command_runner.hpp"
#include "shell/compare_command.hpp"
#include "shell/detect_command.hpp"
#include "shell/download_command.hpp"
#include "shell/erase_commands.hpp"
#include "shell/read_command.hpp"
#include "shell/run_user_code.hpp"
#include "shell/save_command.hpp"

namespace brisko::cli {
namespace {

void PrintViews(const WindowState& state, std::FILE* out) {
  std::fprintf(out, "%-8s %-10s %-10s %-10s %s\n", "SECTOR", "HEX - FROM", "HEX - TO", "DEC - FROM", "STATUS");
  for (const SectorRow& row : state.sectorTable)
    std::fprintf(out, "%-8s %-10s %-10s %-10s %s\n", row.cells[0].c_str(), row.cells[1].c_str(), row.cells[2].c_str(),
                 row.cells[3].c_str(), row.cells[4].c_str());
  std::fprintf(out, "\n%s\n", state.dumpHeader.c_str());
  for (const DumpRow& row : state.dump)
    std::fprintf(out, "%s  %s  %s\n", row.cells[0].c_str(), row.cells[1].c_str(), row.cells[2].c_str());
}

using Command = CommandOutcome (*)(MainWindow&);

const std::map<std::string, Command>& Commands() {
  static const std::map<std::string, Command> commands = {
      {"download", OnDownload},   {"download-run", OnDownloadAndRun}, {"read", OnRead},
      {"save", OnSave},           {"compare", OnCompare},             {"erase", OnSectorErase},
      {"chip-erase", OnChipErase}, {"run", ExecuteUserCode},
  };
  return commands;
}

}  // namespace

void PrintChipInformation(const WindowState& state, std::FILE* out) {
  std::fprintf(out, "Chip Type: %s\n", state.chipInfo.chipType.c_str());
  std::fprintf(out, "Flash Size: %s\n", state.chipInfo.flashSize.c_str());
  std::fprintf(out, "ReMap: %s\n", state.chipInfo.remap.c_str());
  std::fprintf(out, "Fw Version: %s\n", state.chipInfo.fwVersion.c_str());
  std::fprintf(out, "Mem Mode: %s\n", state.chipInfo.memMode.c_str());
  std::fprintf(out, "Security: %s\n", state.securityText.c_str());
}

bool RunChipCommand(const Arguments& args, MainWindow& window, TerminalOperator&, std::FILE* out) {
  CommandRunner runner(window);
  const CommandOutcome detected = runner.Run(OnDetectMenu);
  if (!detected.Ok()) return false;
  if (args.command == "detect") {
    PrintChipInformation(window.Snapshot(), out);
    return true;
  }
  const auto command = Commands().find(args.command);
  if (command == Commands().end()) return false;
  const CommandOutcome outcome = runner.Run(command->second);
  if (outcome.Ok() && args.command == "read") PrintViews(window.Snapshot(), out);
  return outcome.Ok();
}

}  // namespace brisko::cli
