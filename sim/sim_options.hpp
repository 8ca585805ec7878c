#pragma once
#include <string>
#include <vector>

#include "sim/pty_server.hpp"
#include "sim/sim_target.hpp"

namespace brisko::sim {

// The command line of brisko-sim.
struct SimOptions {
  SimConfig config;
  std::string linkPath;
  PtyBehaviour pty;
  bool verbose = true;
  bool help = false;
};

// Parses the arguments after the program name. Returns "" or what is wrong.
std::string ParseSimOptions(const std::vector<std::string>& args, SimOptions& options);

// The --help text.
std::string SimUsage();

}  // namespace brisko::sim
