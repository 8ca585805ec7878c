#pragma once
#include <cstddef>
#include <optional>
#include <string>

namespace brisko {

// The text of the settings file, "COM%d$BAUD%d$CRYSTAL%f$$": formatting,
// parsing and the limits of its values. Pure functions: no files, no state.

// The reader takes at most this much of a settings text; a file written by
// this program is about 33 bytes.
inline constexpr std::size_t kSettingsReadLimit = 48;

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

}  // namespace brisko
