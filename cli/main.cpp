#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/run_cli.hpp"

int main(int argc, char** argv) {
  // Nothing may end the program with an uncaught exception (the standard
  // library can still throw, on memory exhaustion for one).
  try {
    std::vector<std::string> args(argv + 1, argv + argc);
    return brisko::cli::RunCli(args, stdin, stdout, stderr);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "brisko-cli: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "brisko-cli: unexpected error\n");
  }
  return 1;
}
