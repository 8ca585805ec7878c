#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace brisko {

// SHA-256 (FIPS 180-4), for naming exactly which file went into a chip.
class Sha256 {
 public:
  Sha256();
  void Add(const void* data, std::size_t length);
  // The digest as 64 lower-case hexadecimal digits; the object is spent.
  std::string HexDigest();

 private:
  void Block(const std::uint8_t* block);

  std::uint32_t state_[8];
  std::uint8_t pending_[64];
  std::size_t pendingLength_ = 0;
  std::uint64_t totalLength_ = 0;
};

// The digest of a whole file; none when it cannot be read.
std::optional<std::string> FileSha256(const std::string& path);

}  // namespace brisko
