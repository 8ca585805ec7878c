#include <cstdio>
#include <string>
#include <vector>

#include "cli/runner.hpp"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return brisko::cli::RunCli(args, stdin, stdout, stderr);
}
