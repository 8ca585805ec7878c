#pragma once
#include <optional>
#include <string>
#include <vector>

#include "chip/chip_catalogue.hpp"

namespace brisko::cli {

// Everything the command line said, parsed and range-checked but not yet
// acted on.
struct Arguments {
  // Global options.
  std::optional<std::string> port;  // "COM3", "3" or a device path
  std::optional<int> portNumber;    // the number of "COM3" or "3" (1..256)
  std::optional<unsigned> baud;
  std::optional<double> crystal;
  std::optional<ChipModel> model;
  std::optional<MemoryMode> memoryMode;
  bool yes = false;
  std::optional<std::string> trace;
  bool saveSettings = false;        // save port, rate and crystal once a detection proved them
  // A production line: every --port in the order given (several run in
  // parallel), how many runs each (0: until Ctrl-C), the JSON Lines log, and
  // JSON instead of the human lines on stdout.
  std::vector<std::string> ports;
  unsigned repeat = 1;
  std::optional<std::string> log;
  bool json = false;

  // The in-process simulated target instead of a port.
  std::optional<ChipModel> simulateModel;
  std::optional<MemoryMode> simMemoryMode;
  std::optional<unsigned> simSecurity;
  std::optional<unsigned> simRemap;
  bool simDoubleClock = false;
  std::optional<char> simLetter;
  bool simLegacyLoader = false;     // --sim-loader 1.1E
  std::vector<std::string> simFaults;

  // The command and its options.
  std::string command;
  std::optional<std::string> file;
  bool fileIsOutput = false;            // the command writes `file` (save) rather than reads it
  std::optional<int> sector;            // entry of the "Starting Sector" list
  std::optional<unsigned> address;      // or a start address
  std::optional<int> block;             // with --address: the block it lies in
  std::optional<int> range;             // sectors; 0 = all
  std::optional<bool> textMode;         // save: --text / --binary
  bool next = false;                    // baud: --next
  std::optional<int> lockOption;        // lock: the menu's option number
  std::optional<int> remapOption;       // remap: the radio's value (1k 1, 2k 2, 4k 3, sc0 0, sc1 4)
  std::optional<std::string> editAddress;  // edit: four hexadecimal digits
  std::optional<std::string> editData;     // edit: the new bytes; none: only show them
  std::optional<bool> bankHigh;         // --bank low|high: run on that half of the external flash
  bool unknownVersion = false;          // detect: --unknown-version
  bool skipUnchanged = false;           // download: --skip-unchanged
};

}  // namespace brisko::cli
