#pragma once
#include <string>

#include "cli/arguments.hpp"

namespace CLI {
class App;
}

namespace brisko::cli {

// The options of a production line: --repeat, --log and --json.
void AddLineOptions(CLI::App& app, Arguments& args);

// What the parser cannot judge alone about several ports, runs and logs.
// "" when all is well.
std::string LineRuleBroken(const Arguments& args);

// The most ports one command runs on at once.
inline constexpr std::size_t kMostPorts = 32;

}  // namespace brisko::cli
