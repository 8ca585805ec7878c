#pragma once
#include <optional>
#include <string>
#include <vector>

namespace brisko::cli {

// Everything the command line said, parsed but not yet acted on.
struct Arguments {
  // Global options.
  std::optional<std::string> port;  // "COM3", "3" or a device path
  std::optional<unsigned> baud;
  std::optional<double> crystal;
  std::optional<int> model;         // chip model code
  std::optional<int> memoryMode;
  bool yes = false;
  std::optional<std::string> trace;
  bool help = false;
  bool version = false;

  // The in-process simulated target instead of a port.
  std::optional<int> simulateModel;
  std::optional<int> simMemoryMode;
  std::optional<unsigned> simSecurity;
  std::optional<unsigned> simRemap;
  bool simDoubleClock = false;
  std::optional<char> simLetter;
  std::vector<std::string> simFaults;

  // The command and its options.
  std::string command;
  std::vector<std::string> operands;
  std::optional<int> sector;            // entry of the "Starting Sector" list
  std::optional<unsigned> address;      // or a start address
  std::optional<int> range;             // sectors; 0 = all
  std::optional<bool> textMode;         // save: --text / --binary
  bool next = false;                    // baud: --next
};

// Parses argv[1..]; on an error returns none and says why in `error`.
std::optional<Arguments> ParseArguments(const std::vector<std::string>& args, std::string& error);

std::string UsageText();

}  // namespace brisko::cli
