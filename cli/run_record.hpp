#pragma once
#include <nlohmann/json.hpp>
#include <string>

#include "cli/arguments.hpp"
#include "cli/board.hpp"
#include "link/port_list.hpp"

namespace brisko::cli {

// The file a command read or wrote, and its SHA-256 ("" when there is none
// or it cannot be read).
struct RunFile {
  std::string path;
  std::string sha256;
};

// One run on one board as JSON: command, port, model, loader version,
// outcome (succeeded, declined, refused, failed, cancelled), the failed step
// and its code, bytes, address, block, verified, seconds, file and SHA-256,
// the status line, and the command's data (detect: the chip and its
// security text; read: the sector table and the bytes; compare: the first
// difference; edit: the bytes shown).
nlohmann::json RunRecord(const std::string& command, const BoardRun& run, const RunFile& file);

// The line of the run log: the record's main fields and the time (UTC).
nlohmann::json LogRecord(const std::string& command, const BoardRun& run, const RunFile& file,
                         const std::string& utcTime);

// The port list of `brisko-cli ports`.
nlohmann::json PortsRecord(const std::vector<SerialPortEntry>& ports);

}  // namespace brisko::cli
