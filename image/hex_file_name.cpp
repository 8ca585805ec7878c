#include "image/hex_file_name.hpp"

#include <algorithm>
#include <cctype>

namespace brisko {

bool IsHexFileName(const std::string& name) {
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const auto endsWith = [&lower](const std::string& tail) {
    return lower.size() >= tail.size() && lower.compare(lower.size() - tail.size(), tail.size(), tail) == 0;
  };
  return endsWith("hex") || endsWith(".ihx");
}

}  // namespace brisko
