#pragma once
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "cli/arguments.hpp"

namespace brisko::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the command failed or was declined
inline constexpr int kExitUsage = 2;
inline constexpr int kExitCancelled = 130;  // stopped by Ctrl-C, as a shell reports SIGINT

// Parses argv[1..] into `args`. None when a command is to run; otherwise the
// exit status, after --help or --version went to `out` or a usage error to
// `err`.
std::optional<int> ParseCommandLine(const std::vector<std::string>& argv, Arguments& args, std::FILE* out,
                                    std::FILE* err);

// "COM3" or "3" as a port number; none for anything else (a device path).
// A number outside 1..256 is an error, said in `error`.
std::optional<int> PortNumberOf(const std::string& port, std::string& error);

}  // namespace brisko::cli
