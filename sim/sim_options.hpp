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
  bool help = false;     // --help: print SimUsage() and end
  bool version = false;  // --version: print SimVersion() and end
};

// Parses the arguments after the program name. Returns "" or what is wrong;
// a configuration the simulated chip cannot have is refused here with the
// words every program uses (SimConfigProblem).
std::string ParseSimOptions(const std::vector<std::string>& args, SimOptions& options);

// The --help text and the --version line.
std::string SimUsage();
std::string SimVersion();

}  // namespace brisko::sim
