#include "cli/chip_commands.hpp"

#include "shell/detect_command.hpp"

namespace brisko::cli {
namespace {

bool Detected(MainWindow& window) {
  return window.Record() && window.Record()->Port().IsLinkUp() &&
         window.StatusText() == "Detect target MCU is successful!";
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
  op.Mark();
  op.Tell("The command \"" + args.command + "\" is not available in this build.");
  return false;
}

}  // namespace brisko::cli
