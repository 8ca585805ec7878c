#include "shell/setup/settings_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace brisko {
namespace {

constexpr long long kMaxSettingsPort = 9999;
constexpr long long kMinSettingsBaud = 110;
constexpr long long kMaxSettingsBaud = 921600;
constexpr double kMinCrystalMHz = 1.0;
constexpr double kMaxCrystalMHz = 40.0;

constexpr const char* kNotOfTheForm = "it is not of the form COM<n>$BAUD<n>$CRYSTAL<MHz>$$";

bool StartsWith(const std::string& text, const char* keyword) { return text.rfind(keyword, 0) == 0; }

// The decimal integer at the start of field[from...]; false when no digit
// starts it or it is too large for any value.
bool LeadingNumber(const std::string& field, std::size_t from, long long& value) {
  const char* end = field.data() + field.size();
  return std::from_chars(field.data() + from, end, value).ec == std::errc{};
}

}  // namespace

// The crystal is written and read with a '.' whatever the user's locale, so a
// file written under one locale reads back under another.
std::string FormatSettings(int portNumber, unsigned baudRate, double crystalMHz) {
  char crystal[64];
  const auto written = std::to_chars(crystal, crystal + sizeof crystal - 1, crystalMHz, std::chars_format::fixed, 6);
  if (written.ec != std::errc{} || !std::isfinite(crystalMHz)) return "";
  *written.ptr = '\0';
  char text[128];
  std::snprintf(text, sizeof text, "COM%d$BAUD%u$CRYSTAL%s$$", portNumber, baudRate, crystal);
  return text;
}

std::string PortNumberProblem(long long portNumber) {
  if (portNumber >= 1 && portNumber <= kMaxSettingsPort) return "";
  return "the port number " + std::to_string(portNumber) + " is not between 1 and " +
         std::to_string(kMaxSettingsPort);
}

std::string BaudRateProblem(long long baudRate) {
  if (baudRate >= kMinSettingsBaud && baudRate <= kMaxSettingsBaud) return "";
  return "the baud rate " + std::to_string(baudRate) + " is not between " + std::to_string(kMinSettingsBaud) +
         " and " + std::to_string(kMaxSettingsBaud);
}

// Written so that a crystal that is not a number fails too.
std::string CrystalProblem(double crystalMHz) {
  if (crystalMHz >= kMinCrystalMHz && crystalMHz <= kMaxCrystalMHz) return "";
  char text[96];
  std::snprintf(text, sizeof text, "the crystal frequency %g MHz is not between 1.0 and 40.0", crystalMHz);
  return text;
}

std::string SettingsProblem(const Settings& settings) {
  for (const std::string& problem : {PortNumberProblem(settings.portNumber), BaudRateProblem(settings.baudRate),
                                     CrystalProblem(settings.crystalMHz)})
    if (!problem.empty()) return problem;
  return "";
}

std::optional<Settings> ParseSettings(const std::string& whole, std::string& whyNot) {
  const std::string text = whole.substr(0, kSettingsReadLimit);
  std::vector<std::string> fields;
  std::size_t from = 0;
  whyNot = kNotOfTheForm;
  while (fields.size() < 3) {
    const std::size_t dollar = text.find('$', from);
    if (dollar == std::string::npos) return std::nullopt;
    fields.push_back(text.substr(from, dollar - from));
    from = dollar + 1;
  }
  if (!StartsWith(fields[0], "COM") || !StartsWith(fields[1], "BAUD") || !StartsWith(fields[2], "CRYSTAL"))
    return std::nullopt;
  // Each value is read from as many leading characters as form a number; a
  // field with none has no value.
  long long port = 0;
  long long baud = 0;
  double mhz = 0;
  const std::string& crystal = fields[2];
  if (!LeadingNumber(fields[0], 3, port) || !LeadingNumber(fields[1], 4, baud) ||
      std::from_chars(crystal.data() + 7, crystal.data() + crystal.size(), mhz).ec != std::errc{})
    return std::nullopt;
  const Settings settings{static_cast<int>(port), static_cast<unsigned>(baud), mhz};
  whyNot = PortNumberProblem(port);
  if (whyNot.empty()) whyNot = BaudRateProblem(baud);
  if (whyNot.empty()) whyNot = CrystalProblem(mhz);
  if (!whyNot.empty()) return std::nullopt;
  return settings;
}

std::optional<Settings> ParseSettings(const std::string& text) {
  std::string whyNot;
  return ParseSettings(text, whyNot);
}

}  // namespace brisko
