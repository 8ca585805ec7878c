#include "link/port_names.hpp"

#include <cctype>
#include <fstream>

#include "link/file_replacement.hpp"
#include "link/user_paths.hpp"

namespace brisko {
namespace {

std::string Trim(const std::string& s) {
  auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  auto last = s.find_last_not_of(" \t\r\n");
  return s.substr(first, last - first + 1);
}

}  // namespace

std::optional<int> ParseComName(const std::string& name) {
  if (name.size() < 4 || name.size() > 12) return std::nullopt;
  for (int i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return std::nullopt;
  int number = 0;
  for (std::size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return std::nullopt;
    number = number * 10 + (name[i] - '0');
    if (number > 9999) return std::nullopt;
  }
  if (number < 1) return std::nullopt;
  return number;
}

std::string ComName(int portNumber) { return "COM" + std::to_string(portNumber); }

std::map<int, std::string> ParsePortMap(std::istream& text) {
  std::map<int, std::string> map;
  std::string line;
  while (std::getline(text, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == '#') continue;
    auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    auto number = ParseComName(Trim(line.substr(0, equals)));
    std::string device = Trim(line.substr(equals + 1));
    if (number && !device.empty()) map[*number] = device;
  }
  return map;
}

std::map<int, std::string> ReadPortMap(const std::string& path) {
  std::ifstream in(path);
  return ParsePortMap(in);
}

std::string ResolvePortName(const std::string& name, const std::map<int, std::string>& map) {
  auto number = ParseComName(name);
  if (!number) return name;
  if (auto it = map.find(*number); it != map.end()) return it->second;
  return "/dev/ttyS" + std::to_string(*number - 1);
}

bool SavePortMapping(const std::string& path, int portNumber, const std::string& device, std::string& whyNot) {
  if (!device.empty() && (device[0] != '/' || device.find_first_of("\r\n") != std::string::npos)) {
    whyNot = "\"" + device + "\" is not a device path (/dev/...)";
    return false;
  }
  std::string text;
  {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
      const std::size_t equals = line.find('=');
      if (equals != std::string::npos && ParseComName(Trim(line.substr(0, equals))) == portNumber) continue;
      text += line + '\n';
    }
  }
  if (!device.empty()) text += ComName(portNumber) + "=" + device + '\n';
  return ReplaceFileText(path, text, whyNot);
}

}  // namespace brisko
