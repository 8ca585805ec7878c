#include "image/listing.hpp"

#include <array>
#include <cstdio>

#include "chip/flash_image.hpp"

namespace brisko {

std::string ListingLine(std::uint32_t address, const std::uint8_t* b, bool highBank) {
  // "1%04X" puts the bank number in front of the bank-relative address.
  const char* format = highBank ? "1%04X - 1%04X  %02X %02X %02X %02X %02X %02X %02X %02X - "
                                  "%02X %02X %02X %02X %02X %02X %02X %02X\n"
                                : "%04X - %04X  %02X %02X %02X %02X %02X %02X %02X %02X - "
                                  "%02X %02X %02X %02X %02X %02X %02X %02X\n";
  char line[96];
  int n = std::snprintf(line, sizeof line, format, static_cast<unsigned>(address),
                        static_cast<unsigned>(address + 15), b[0], b[1], b[2], b[3], b[4], b[5], b[6],
                        b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  if (n < 0) return {};
  return std::string(line, static_cast<std::size_t>(n) < sizeof line ? static_cast<std::size_t>(n)
                                                                       : sizeof line - 1);
}

std::string Listing(const std::uint8_t* bytes, std::size_t length, std::uint32_t address, bool highBank) {
  std::string text;
  text.reserve((length + 15) / 16 * 65);
  for (std::size_t done = 0; done < length; done += 16, address += 16) {
    std::array<std::uint8_t, 16> row;
    row.fill(FlashImage::kErased);
    for (std::size_t i = 0; i < 16 && done + i < length; ++i) row[i] = bytes[done + i];
    text += ListingLine(address, row.data(), highBank);
  }
  return text;
}

}  // namespace brisko
