#pragma once
#include <functional>

#include "cli/cli_command.hpp"
#include "shell/command_runner.hpp"

namespace brisko::cli {

// --bank low|high on a flash command's subcommand.
void AddBankOption(CLI::App& command, Arguments& args);

// Enters the half (the operator has set the switch as the message says),
// runs `command` on it and returns to the chip's own flash afterwards, also
// after a failure. The outcome is the command's, or the return's when only
// that failed.
CommandOutcome RunOnBank(CommandRunner& runner, bool high, const CommandRunner::Command& command);

}  // namespace brisko::cli
