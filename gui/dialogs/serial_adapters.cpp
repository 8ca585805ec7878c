#include "gui/dialogs/serial_adapters.hpp"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <optional>
#include <tuple>

#include "link/port_names.hpp"

namespace brisko::gui {
namespace {

constexpr std::array<const char*, 3> kPrefixes{"ttyUSB", "ttyACM", "ttyS"};

// The prefix's rank and the device number of a name such as "ttyUSB3".
std::optional<std::pair<std::size_t, long>> AdapterKey(const std::string& name) {
  for (std::size_t rank = 0; rank < kPrefixes.size(); ++rank) {
    const std::string prefix = kPrefixes[rank];
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string digits = name.substr(prefix.size());
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
    if (digits.size() > 6) return std::nullopt;
    return std::make_pair(rank, std::stol(digits));
  }
  return std::nullopt;
}

}  // namespace

std::vector<std::string> FindSerialAdapters(const std::string& deviceDir) {
  std::vector<std::tuple<std::size_t, long, std::string>> found;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(deviceDir, error)) {
    const std::string name = entry.path().filename().string();
    if (const auto key = AdapterKey(name)) found.emplace_back(key->first, key->second, entry.path().string());
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> adapters;
  for (const auto& item : found) adapters.push_back(std::get<2>(item));
  return adapters;
}

bool SavePortMapping(const std::string& path, int portNumber, const std::string& device) {
  if (path.empty()) return false;
  std::vector<std::string> lines;
  {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
      const std::size_t equals = line.find('=');
      std::string name = equals == std::string::npos ? "" : line.substr(0, equals);
      name.erase(std::remove_if(name.begin(), name.end(), [](char c) { return c == ' ' || c == '\t'; }), name.end());
      if (ParseComName(name) == portNumber) continue;
      lines.push_back(line);
    }
  }
  if (!device.empty()) lines.push_back(ComName(portNumber) + "=" + device);
  std::ofstream out(path, std::ios::trunc);
  for (const std::string& line : lines) out << line << '\n';
  out.close();
  return !out.fail();
}

}  // namespace brisko::gui
