#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "cli/terminal_operator.hpp"
#include "shell/command_runner.hpp"
#include "shell/main_window.hpp"

namespace brisko::cli {

// lock [N], remap 1k|2k|4k|sc0|sc1, double-clock, edit ADDRESS [DATA],
// cable-test.
bool IsConfigurationCommand(const std::string& command);

// What is wrong with the operands of one of these commands, or "".
std::string CheckConfigurationOperands(const std::string& command, const std::vector<std::string>& operands);

// Runs one of them (after the detection, except the cable test, which wants
// the link down); the exit status: 0 success, 1 not done, 2 `lock` without N
// (the model's menu is listed instead).
int RunConfigurationCommand(const std::string& command, const std::vector<std::string>& operands,
                            MainWindow& window, TerminalOperator& op, CommandRunner& runner, std::FILE* out);

// --bank: enters the half after the detection, runs `command` on it and
// returns to the chip's own flash afterwards, also after a failure.
CommandOutcome RunOnBank(CommandRunner& runner, bool high, CommandRunner::Command command);

}  // namespace brisko::cli
