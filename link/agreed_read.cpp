#include "link/agreed_read.hpp"

#include <algorithm>
#include <vector>

namespace brisko {

bool ReadUntilTwoAgree(const RangeReader& read, std::uint32_t address, std::span<std::uint8_t> out, int limit) {
  std::vector<std::vector<std::uint8_t>> earlier;
  std::vector<std::uint8_t> copy(out.size());
  for (int attempt = 0; attempt < limit; ++attempt) {
    if (!read(address, copy)) continue;
    // Any earlier read may be the one this one confirms: a corrupted first
    // read is followed by two good ones.
    const auto same = std::find(earlier.begin(), earlier.end(), copy);
    if (same != earlier.end()) {
      std::copy(copy.begin(), copy.end(), out.begin());
      return true;
    }
    earlier.push_back(copy);
  }
  return false;
}

}  // namespace brisko
