#pragma once
#include <cstdio>

#include "cli/arguments.hpp"
#include "cli/terminal_operator.hpp"
#include "shell/main_window.hpp"

namespace brisko::cli {

// Detects the chip, then runs the command of `args` on the shell's handlers.
// True when both succeeded.
bool RunChipCommand(const Arguments& args, MainWindow& window, TerminalOperator& op, std::FILE* out);

// The Chip Information panel and the security bar, one "Label: value" a line.
void PrintChipInformation(const WindowState& state, std::FILE* out);

}  // namespace brisko::cli
