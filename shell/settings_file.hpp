#pragma once
#include <optional>
#include <string>

#include "chip/session_record.hpp"
#include "link/user_paths.hpp"

namespace brisko {

// "COM%d$BAUD%d$CRYSTAL%f$$"
std::string FormatSettings(int portNumber, unsigned baudRate, double crystalMHz);

struct Settings {
  int portNumber = 1;
  unsigned baudRate = 38400;
  double crystalMHz = 11.0592;
};
// The three fields of a settings text, or none when it is not of that form.
std::optional<Settings> ParseSettings(const std::string& text);

// Creates or truncates the settings file and writes the text, without a line
// end; does nothing when the file cannot be created.
void WriteSettingsFile(const std::string& path, const std::string& text);
// Applies a valid settings file to the record's port and crystal; a missing
// or malformed file changes nothing.
void ApplySettingsFile(SessionRecord& record, const std::string& path);

// The two string values "COMMPORT" and "BAUDRATE", written only, kept under
// the organisation "Orvex" in the same place the desktop toolkit's settings
// would put them (<config home>/Orvex/Brisko.conf, section [General]).
// Kept beside the configuration folder; nothing is written (and true is
// returned) for a session that keeps no settings.
bool SaveRegistryValue(const SessionPlaces& places, const std::string& name, const std::string& text);

}  // namespace brisko
