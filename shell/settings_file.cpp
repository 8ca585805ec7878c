#include "shell/settings_file.hpp"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "link/user_paths.hpp"

namespace brisko {
namespace {

// Values written by this program are at most 5 characters; longer texts are
// cut the way the registry writer always cut them.
std::string CutRegistryText(const std::string& text) { return text.size() >= 32 ? text.substr(0, 30) : text; }

std::string RegistryFilePath() {
  const std::string config = ConfigDir();
  if (config.empty()) return "";
  const std::filesystem::path dir = std::filesystem::path(config).parent_path() / "Orvex";
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) return "";
  std::filesystem::permissions(dir, std::filesystem::perms::owner_all, error);
  return (dir / "Brisko.conf").string();
}

// The first bytes of the settings file; false when there is none.
bool ReadSettingsFile(std::string& text) {
  const std::string path = SettingsFilePath();
  if (path.empty()) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.assign(kSettingsReadLimit, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return true;
}

}  // namespace

bool WriteSettingsFile(const std::string& text) {
  if (!ParseSettings(text)) return false;
  const std::string path = SettingsFilePath();
  if (path.empty()) return false;
  const std::string fresh = path + ".new";
  {
    std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (out.fail()) {
      std::remove(fresh.c_str());
      return false;
    }
  }
  if (std::rename(fresh.c_str(), path.c_str()) == 0) return true;
  std::remove(fresh.c_str());
  return false;
}

std::string SettingsFileProblem() {
  std::string text;
  std::string whyNot;
  if (!ReadSettingsFile(text) || ParseSettings(text, whyNot)) return "";
  return SettingsFilePath() + " is ignored: " + whyNot;
}

std::string ApplySettingsFile(SessionRecord& record) {
  std::string text;
  std::string whyNot;
  if (!ReadSettingsFile(text)) return "";
  const std::optional<Settings> settings = ParseSettings(text, whyNot);
  if (!settings) return SettingsFilePath() + " is ignored: " + whyNot;
  record.Port().SetPortNumber(settings->portNumber);
  record.Port().SetBaudRate(settings->baudRate);
  record.SetCrystal(settings->crystalMHz);
  return "";
}

bool SaveRegistryValue(const std::string& name, const std::string& text) {
  const std::string path = RegistryFilePath();
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
