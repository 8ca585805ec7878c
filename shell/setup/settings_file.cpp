#include "shell/setup/settings_file.hpp"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "link/file_replacement.hpp"
#include "shell/session/session.hpp"

namespace brisko {
namespace {

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

// The first bytes of the settings file; false when there is none.
bool ReadSettingsFile(const std::string& path, std::string& text) {
  if (path.empty()) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.assign(kSettingsReadLimit, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return true;
}

}  // namespace

bool WriteSettingsFile(const std::string& path, const std::string& text) {
  std::string whyNot;
  return WriteSettingsFile(path, text, whyNot);
}

bool WriteSettingsFile(const std::string& path, const std::string& text, std::string& whyNot) {
  if (path.empty()) {
    whyNot = "no settings are kept for this session";
    return false;
  }
  if (!ParseSettings(text, whyNot)) {
    whyNot = "not saved: " + whyNot;
    return false;
  }
  return ReplaceFileText(path, text, whyNot);
}

std::string SettingsFileProblem(const std::string& path) {
  std::string text;
  std::string whyNot;
  if (!ReadSettingsFile(path, text) || ParseSettings(text, whyNot)) return "";
  return path + " is ignored: " + whyNot;
}

std::string ApplySettingsFile(SessionRecord& record, const std::string& path) {
  std::string text;
  std::string whyNot;
  if (!ReadSettingsFile(path, text)) return "";
  const std::optional<Settings> settings = ParseSettings(text, whyNot);
  if (!settings) return path + " is ignored: " + whyNot;
  record.Port().SetPortNumber(settings->portNumber);
  record.Port().SetBaudRate(settings->baudRate);
  record.SetCrystal(settings->crystalMHz);
  return "";
}

std::string ApplySavedSettings(Session& session) {
  if (!session.Record()) return "";
  std::string problem = ApplySettingsFile(*session.Record(), session.Places().SettingsFile());
  session.UpdatePortPane();
  session.UpdateBaudPane();
  return problem;
}

bool SaveRegistryValue(const SessionPlaces& places, const std::string& name, const std::string& text) {
  if (!places.keepSettings) return true;
  const std::string path = RegistryFilePath(places.configDir);
  if (path.empty()) return false;
  if (places.registryWriter) return places.registryWriter(path, name, CutRegistryText(text));
  // Keep the other values of the section; replace or add this one.
  std::vector<std::string> lines;
  {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
      if (!line.empty() && line != "[General]" && line.rfind(name + "=", 0) != 0) lines.push_back(line);
  }
  lines.push_back(name + "=" + CutRegistryText(text));
  std::string section = "[General]\n";
  for (const auto& line : lines) section += line + '\n';
  std::string whyNot;
  return ReplaceFileText(path, section, whyNot);
}

std::string SaveSessionSettings(const SessionPlaces& places, const SessionRecord& record) {
  const SerialPort& port = record.Port();
  std::string whyNot;
  if (!WriteSettingsFile(places.SettingsFile(),
                         FormatSettings(port.GetPortNumber(), port.GetBaudRate(), record.GetCrystal()), whyNot))
    return whyNot;
  if (!SaveRegistryValue(places, "COMMPORT", std::to_string(port.GetPortNumber())) ||
      !SaveRegistryValue(places, "BAUDRATE", std::to_string(port.GetBaudRate())))
    return "the values COMMPORT and BAUDRATE could not be written beside " + places.configDir;
  return "";
}

}  // namespace brisko
