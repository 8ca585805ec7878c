#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace brisko {

// One line of the text listing: "%04X - %04X  " then sixteen "%02X" bytes in
// two groups of eight joined by " - ", and a line feed (63 characters). With
// highBank the address part reads "1%04X - 1%04X  " (65 characters).
std::string ListingLine(std::uint32_t address, const std::uint8_t* bytes16, bool highBank);
// Lines for `length` bytes (a multiple of 16 is expected; a short tail is
// padded with FFh), the first at `address`.
std::string Listing(const std::uint8_t* bytes, std::size_t length, std::uint32_t address, bool highBank);

}  // namespace brisko
