#pragma once
#include <cstdio>

#include "cli/arguments.hpp"
#include "link/link_timing.hpp"

namespace brisko::cli {

struct CliCommand;

// Runs `command` on every port of the command line (one board, session and
// runner each, in parallel), --repeat times each, with the run log and JSON
// output when asked. One port and one run print as a single command always
// has; several print each board's lines as one group once the board's run
// has ended, then a summary table. Returns the exit status: 0 when every run
// succeeded, 2 when a run's arguments were rejected, 1 when any failed or was
// declined, 130 when Ctrl-C stopped a run (a station waiting for its next
// board ends on Ctrl-C with the status of the runs it made).
int RunLine(const CliCommand& command, const Arguments& args, std::FILE* in, std::FILE* out, std::FILE* err,
            const LinkTiming& timing);

}  // namespace brisko::cli
