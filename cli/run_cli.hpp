#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "link/link_timing.hpp"

namespace brisko::cli {

// Runs one brisko-cli invocation; returns the exit status (0 success, 1 the
// command failed or was declined, 2 a usage error, 130 stopped by Ctrl-C,
// SIGTERM or SIGHUP). The shipped program keeps the link's real limits;
// tests may scale them down.
int RunCli(const std::vector<std::string>& args, std::FILE* in, std::FILE* out, std::FILE* err,
           const LinkTiming& timing = {});

}  // namespace brisko::cli
