#pragma once
#include <optional>
#include <string>

#include "chip/session_record.hpp"

namespace brisko {

// The settings file "COM%d$BAUD%d$CRYSTAL%f$$": port number, baud rate and
// crystal frequency in MHz, kept between runs.
//
// What front ends do with it:
//  - at start-up ApplySettingsFile() applies a valid file; SettingsFileProblem()
//    says, in one sentence naming the file, why a file that is there was
//    ignored ("" when it was applied or there is none), for a front end that
//    reports it once;
//  - before saving, SettingsProblem() checks the values the operator gave
//    ("" when they may be saved); WriteSettingsFile() refuses anything the
//    reader would refuse, so a file it writes always reads back.

struct Settings {
  int portNumber = 1;
  unsigned baudRate = 38400;
  double crystalMHz = 11.0592;
};

// "COM%d$BAUD%d$CRYSTAL%f$$" with the crystal's six decimals; "" when the
// crystal cannot be written in that form (not finite, or too large).
std::string FormatSettings(int portNumber, unsigned baudRate, double crystalMHz);

// Why these values cannot be saved, e.g. "the crystal frequency 50 MHz is not
// between 1.0 and 40.0"; "" when they can. Ports run from 1 to 9999 (as
// "COM<n>" names), baud rates from 110 to 921600, crystals from 1.0 to 40.0.
std::string SettingsProblem(const Settings& settings);
std::string PortNumberProblem(long long portNumber);
std::string BaudRateProblem(long long baudRate);
std::string CrystalProblem(double crystalMHz);

// The three values of a settings text, or none when it is not of that form
// or a value is out of range; then `whyNot` says why. Reads the first 48
// bytes only. Pure: no files, no state.
std::optional<Settings> ParseSettings(const std::string& text, std::string& whyNot);
std::optional<Settings> ParseSettings(const std::string& text);

// Replaces the settings file with the text, without a line end, through a
// new file renamed over the old one, so that no half-written file is left.
// Writes nothing and returns false when the reader would refuse the text or
// the file cannot be written.
bool WriteSettingsFile(const std::string& text);

// Applies a valid settings file to the record's port and crystal; a missing
// or invalid file changes nothing. Returns what SettingsFileProblem() says.
std::string ApplySettingsFile(SessionRecord& record);
// "<path> is ignored: <why>" for a settings file that is there but not
// valid; "" when it is valid or missing. Reads only.
std::string SettingsFileProblem();

// The two string values "COMMPORT" and "BAUDRATE", written only, kept under
// the organisation "Orvex" in the same place the desktop toolkit's settings
// would put them (<config home>/Orvex/Brisko.conf, section [General]).
bool SaveRegistryValue(const std::string& name, const std::string& text);

}  // namespace brisko
