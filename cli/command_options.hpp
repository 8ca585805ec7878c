#pragma once
#include <CLI/CLI.hpp>

#include "cli/arguments.hpp"

namespace brisko::cli {

// The option sets the commands share, declared on a command's subcommand.

// The FILE operand: one the command reads, or (`output`) one it writes.
void AddFileOperand(CLI::App& command, Arguments& args, const std::string& what, bool output = false);
// Where the command starts: --sector ENTRY, or --address HEX with --block.
void AddStartOptions(CLI::App& command, Arguments& args);
// --range N.
void AddRangeOption(CLI::App& command, Arguments& args);

// A hexadecimal number no larger than `max`, stored in `out`.
CLI::Option* AddHexOption(CLI::App& app, const std::string& name, std::optional<unsigned>& out, unsigned max,
                          const std::string& help);

}  // namespace brisko::cli
