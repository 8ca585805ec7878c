#include "cli/configuration_commands.hpp"

#include <algorithm>
#include <cctype>

#include "cli/terminal_dialogs.hpp"
#include "shell/byte_edit_command.hpp"
#include "shell/cable_test_command.hpp"
#include "shell/configuration_menus.hpp"
#include "shell/detect_command.hpp"
#include "shell/double_clock_command.hpp"
#include "shell/external_bank_commands.hpp"
#include "shell/lock_command.hpp"
#include "shell/remap_command.hpp"

namespace brisko::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

bool AllDigits(const std::string& text) {
  return !text.empty() && text.size() < 4 &&
         std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

int Exit(const CommandOutcome& outcome) { return outcome.Ok() ? kExitOk : kExitFailed; }

}  // namespace

bool IsConfigurationCommand(const std::string& command) {
  return command == "lock" || command == "remap" || command == "double-clock" || command == "edit" ||
         command == "cable-test";
}

std::string CheckConfigurationOperands(const std::string& command, const std::vector<std::string>& operands) {
  const std::size_t n = operands.size();
  if (command == "lock" && (n > 1 || (n == 1 && !AllDigits(operands[0]))))
    return "lock takes the menu's option number N (without it, the menu is listed)";
  if (command == "remap" && (n != 1 || !RemapOptionFromName(operands[0])))
    return "remap takes one of 1k, 2k, 4k, sc0, sc1";
  if ((command == "double-clock" || command == "cable-test") && n != 0) return command + " takes no operands";
  if (command == "edit" && (n < 1 || n > 2)) return "edit takes ADDRESS (4 hex digits) and optionally \"72 4F 5D 00\"";
  return "";
}

int RunConfigurationCommand(const std::string& command, const std::vector<std::string>& operands,
                            MainWindow& window, TerminalOperator& op, CommandRunner& runner, std::FILE* out) {
  if (command == "cable-test") return Exit(runner.Run(OnCableTest));
  if (!runner.Run(OnDetectMenu).Ok()) return kExitFailed;

  if (command == "lock") {
    if (operands.empty()) {
      const LockMenu menu = LockMenuFor(window.Record()->GetChipModel());
      if (menu.options.empty()) return kExitFailed;
      std::fputs(LockMenuText(menu).c_str(), out);
      return kExitUsage;
    }
    op.answers.lockOption = std::stoi(operands[0]);
    return Exit(runner.Run(OnLockChip));
  }
  if (command == "remap") {
    op.answers.remapOption = RemapOptionFromName(operands[0]);
    return Exit(runner.Run(OnMemoryRemap));
  }
  if (command == "double-clock") return Exit(runner.Run(OnDoubleClock));
  if (command == "edit") {
    op.answers.editAddress = operands[0];
    if (operands.size() > 1) op.answers.editData = operands[1];
    const CommandOutcome outcome = runner.Run(OnEditBlock0);
    if (!op.EditDisplayText().empty()) std::fprintf(out, "%s: %s\n", operands[0].c_str(), op.EditDisplayText().c_str());
    return Exit(outcome);
  }
  return kExitUsage;
}

CommandOutcome RunOnBank(CommandRunner& runner, bool high, CommandRunner::Command command) {
  const CommandOutcome entered = runner.Run(high ? OnEnterHighBank : OnEnterLowBank);
  if (!entered.Ok()) return entered;
  const CommandOutcome outcome = runner.Run(command);
  const CommandOutcome back = runner.Run(ReturnToMcuFlashUnasked);
  return outcome.Ok() && !back.Ok() ? back : outcome;
}

}  // namespace brisko::cli
