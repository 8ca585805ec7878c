#include "shell/settings_file.hpp"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "link/user_paths.hpp"

namespace brisko {
namespace {

// The reader takes at most this much of the file; a file written by this
// program is about 33 bytes.
constexpr std::size_t kMaxSettingsBytes = 48;

bool StartsWith(const std::string& text, const char* keyword) { return text.rfind(keyword, 0) == 0; }

// Values written by this program are at most 5 characters; longer texts are
// cut the way the registry writer always cut them.
std::string CutRegistryText(const std::string& text) { return text.size() >= 32 ? text.substr(0, 30) : text; }

std::string RegistryFilePath(const std::string& config) {
  if (config.empty()) return "";
  const std::filesystem::path dir = std::filesystem::path(config).parent_path() / "Orvex";
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) return "";
  std::filesystem::permissions(dir, std::filesystem::perms::owner_all, error);
  return (dir / "Brisko.conf").string();
}

}  // namespace

// The crystal is written and read with a '.' whatever the user's locale, so a
// file written under one locale reads back under another.
std::string FormatSettings(int portNumber, unsigned baudRate, double crystalMHz) {
  char crystal[64];
  const auto written = std::to_chars(crystal, crystal + sizeof crystal - 1, crystalMHz, std::chars_format::fixed, 6);
  *written.ptr = '\0';
  char text[128];
  std::snprintf(text, sizeof text, "COM%d$BAUD%u$CRYSTAL%s$$", portNumber, baudRate, crystal);
  return text;
}

std::optional<Settings> ParseSettings(const std::string& whole) {
  const std::string text = whole.substr(0, kMaxSettingsBytes);
  std::vector<std::string> fields;
  std::size_t from = 0;
  while (fields.size() < 3) {
    const std::size_t dollar = text.find('$', from);
    if (dollar == std::string::npos) return std::nullopt;
    fields.push_back(text.substr(from, dollar - from));
    from = dollar + 1;
  }
  if (!StartsWith(fields[0], "COM") || !StartsWith(fields[1], "BAUD") || !StartsWith(fields[2], "CRYSTAL"))
    return std::nullopt;
  Settings settings;
  settings.portNumber = static_cast<int>(std::strtol(fields[0].c_str() + 3, nullptr, 10));
  settings.baudRate = static_cast<unsigned>(std::strtoul(fields[1].c_str() + 4, nullptr, 10));
  const std::string& crystal = fields[2];
  double mhz = 0;
  if (std::from_chars(crystal.data() + 7, crystal.data() + crystal.size(), mhz).ec == std::errc{})
    settings.crystalMHz = mhz;
  else
    settings.crystalMHz = 0;
  return settings;
}

void WriteSettingsFile(const std::string& path, const std::string& text) {
  std::string whyNot;
  if (path.empty() || !EnsureDir(std::filesystem::path(path).parent_path().string(), whyNot)) return;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (out) out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

void ApplySettingsFile(SessionRecord& record, const std::string& path) {
  if (path.empty()) return;
  std::ifstream in(path, std::ios::binary);
  if (!in) return;
  std::string text(kMaxSettingsBytes, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  const std::optional<Settings> settings = ParseSettings(text);
  if (!settings) return;
  record.Port().SetPortNumber(settings->portNumber);
  record.Port().SetBaudRate(settings->baudRate);
  record.SetCrystal(settings->crystalMHz);
}

bool SaveRegistryValue(const SessionPlaces& places, const std::string& name, const std::string& text) {
  if (!places.keepSettings) return true;
  const std::string path = RegistryFilePath(places.configDir);
  if (path.empty()) return false;
  // Keep the other values of the section; replace or add this one.
  std::vector<std::string> lines;
  {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
      if (!line.empty() && line != "[General]" && line.rfind(name + "=", 0) != 0) lines.push_back(line);
  }
  lines.push_back(name + "=" + CutRegistryText(text));
  std::ofstream out(path, std::ios::trunc);
  out << "[General]\n";
  for (const auto& line : lines) out << line << '\n';
  out.close();
  return !out.fail();
}

}  // namespace brisko
