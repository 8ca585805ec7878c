#include "cli/chip_commands.hpp"

#include <functional>
#include <map>

#include "link/result_codes.hpp"
#include "shell/compare_command.hpp"
#include "shell/detect_command.hpp"
#include "shell/download_command.hpp"
#include "shell/erase_commands.hpp"
#include "shell/read_command.hpp"
#include "shell/run_user_code.hpp"
#include "shell/save_command.hpp"

namespace brisko::cli {
namespace {

bool Detected(MainWindow& window) {
  return window.Record() && window.Record()->Port().IsLinkUp() &&
         window.StatusText() == "Detect target MCU is successful!";
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void PrintViews(const WindowState& state, std::FILE* out) {
  std::fprintf(out, "%-8s %-10s %-10s %-10s %s\n", "SECTOR", "HEX - FROM", "HEX - TO", "DEC - FROM", "STATUS");
  for (const SectorRow& row : state.sectorTable)
    std::fprintf(out, "%-8s %-10s %-10s %-10s %s\n", row.cells[0].c_str(), row.cells[1].c_str(), row.cells[2].c_str(),
                 row.cells[3].c_str(), row.cells[4].c_str());
  std::fprintf(out, "\n%s\n", state.dumpHeader.c_str());
  for (const DumpRow& row : state.dump)
    std::fprintf(out, "%s  %s  %s\n", row.cells[0].c_str(), row.cells[1].c_str(), row.cells[2].c_str());
}

// Each command runs its handler and judges the outcome by what the handler
// left behind: its result, the messages it told, the state it changed.
using Command = std::function<bool(MainWindow&, TerminalOperator&, std::FILE*)>;

const std::map<std::string, Command>& Commands() {
  static const std::map<std::string, Command> commands = {
      {"download",
       [](MainWindow& w, TerminalOperator& op, std::FILE*) { return OnDownload(w) == kResultOk && !op.Declined(); }},
      {"download-run",
       [](MainWindow& w, TerminalOperator& op, std::FILE*) {
         return OnDownloadAndRun(w) == kResultOk && !op.Declined() && w.State().userCodeStarted;
       }},
      {"read",
       [](MainWindow& w, TerminalOperator& op, std::FILE* out) {
         OnRead(w);
         const bool ok = !w.State().operationFailed && op.Messages().empty();
         if (ok) PrintViews(w.Snapshot(), out);
         return ok;
       }},
      {"save",
       [](MainWindow& w, TerminalOperator& op, std::FILE*) {
         OnSave(w);
         return op.Saw("Save data has completed");
       }},
      {"compare",
       [](MainWindow& w, TerminalOperator&, std::FILE*) {
         OnCompare(w);
         return EndsWith(w.StatusText(), " Compare OK!");
       }},
      {"erase",
       [](MainWindow& w, TerminalOperator& op, std::FILE*) {
         OnSectorErase(w);
         return op.Saw("Sectors erase completed!!!");
       }},
      {"chip-erase",
       [](MainWindow& w, TerminalOperator& op, std::FILE*) {
         OnChipErase(w);
         if (op.Saw("Chip Erase Completed!")) return true;  // external bank: no re-detection
         return op.Saw("Chip Erase Completed!\nChip will be automatically redetected!") && Detected(w);
       }},
      {"run",
       [](MainWindow& w, TerminalOperator& op, std::FILE*) {
         ExecuteUserCode(w);
         return w.State().userCodeStarted && op.Messages().empty();
       }},
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

bool RunChipCommand(const Arguments& args, MainWindow& window, TerminalOperator& op, std::FILE* out) {
  OnDetectMenu(window);
  if (args.command == "detect") {
    PrintChipInformation(window.Snapshot(), out);
    return Detected(window);
  }
  if (!Detected(window)) return false;
  const auto command = Commands().find(args.command);
  if (command == Commands().end()) return false;
  op.Mark();
  return command->second(window, op, out);
}

}  // namespace brisko::cli
