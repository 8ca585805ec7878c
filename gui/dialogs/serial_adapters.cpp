#include "gui/dialogs/serial_adapters.hpp"

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <tuple>

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
  // The names that stay with a USB adapter whichever socket it is in come first.
  std::vector<std::string> adapters;
  for (const auto& entry : std::filesystem::directory_iterator(deviceDir + "/serial/by-id", error))
    adapters.push_back(entry.path().string());
  std::sort(adapters.begin(), adapters.end());
  for (const auto& item : found) adapters.push_back(std::get<2>(item));
  return adapters;
}

}  // namespace brisko::gui
