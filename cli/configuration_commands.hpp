#pragma once
#include <functional>

#include "cli/cli_command.hpp"
#include "shell/session/command_runner.hpp"

namespace brisko::cli {

// --bank low|high on a flash command's subcommand.
void AddBankOption(CLI::App& command, Arguments& args);

// Enters the half (the operator has set the switch as the message says),
// runs `command` on it and returns to the chip's own flash afterwards, also
// after a failure or a cancel: the return puts back what the bank helper
// displaced. The outcome is the command's, or the return's when only that
// failed. Runs on the command thread, as part of the one command.
CommandOutcome RunOnBank(Session& session, bool high, const CommandRunner::Command& command);

}  // namespace brisko::cli
