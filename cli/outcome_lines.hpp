#pragma once
#include <string>

#include "shell/session/command_outcome.hpp"

namespace brisko::cli {

// The exit status of a command's outcome: 0 succeeded, 130 cancelled, else 1.
int ExitStatus(const CommandOutcome& outcome);

// The last line of every command, from its outcome alone: what was done, how
// many bytes, where, verified or not, how long; or how it ended.
//   "download: downloaded 1024 bytes to block 0 at 0100h, verified, in 1.2 s"
//   "erase: failed at step \"erase\" (code -1), after 0.4 s"
std::string SummaryLine(const std::string& command, const CommandOutcome& outcome, double seconds);

// For a command that did not succeed: the step and code that stopped it, or
// why it was refused, declined or cancelled, and the status line's reason
// when it gives one.
//   "brisko-cli: download failed at step \"program and verify\" (code 4)"
//   "brisko-cli: detect failed at step \"open the port\" (code 14): /dev/ttyS0: no such device"
std::string FailureLine(const std::string& command, const CommandOutcome& outcome, const std::string& status = "");

}  // namespace brisko::cli
