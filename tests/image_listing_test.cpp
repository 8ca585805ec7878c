#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "image/listing.hpp"

namespace brisko {
namespace {

std::vector<std::uint8_t> Counting(std::size_t n, std::uint8_t first = 0) {
  std::vector<std::uint8_t> bytes(n);
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

TEST(Listing, LineHasTheFixedLayoutOf63Characters) {
  std::vector<std::uint8_t> b = {0x02, 0x00, 0x30, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xab};
  std::string line = ListingLine(0x0100, b.data(), false);
  EXPECT_EQ(line, "0100 - 010F  02 00 30 FF FF FF FF FF - FF FF FF FF FF FF FF AB\n");
  EXPECT_EQ(line.size(), 63u);
}

TEST(Listing, HighBankPutsABankDigitInFront) {
  auto b = Counting(16);
  std::string line = ListingLine(0x0000, b.data(), true);
  EXPECT_EQ(line, "10000 - 1000F  00 01 02 03 04 05 06 07 - 08 09 0A 0B 0C 0D 0E 0F\n");
  EXPECT_EQ(line.size(), 65u);
  EXPECT_EQ(ListingLine(0xFFF0, b.data(), true).substr(0, 15), "1FFF0 - 1FFFF  ");
}

TEST(Listing, WholeBlockGivesOneLinePerSixteenBytes) {
  auto bytes = Counting(16384);
  std::string text = Listing(bytes.data(), bytes.size(), 0x0000, false);
  ASSERT_EQ(text.size(), 1024u * 63u);
  EXPECT_EQ(text.substr(0, 13), "0000 - 000F  ");
  EXPECT_EQ(text.substr(1023 * 63, 13), "3FF0 - 3FFF  ");
  EXPECT_EQ(text.substr(63, 63), ListingLine(0x10, bytes.data() + 16, false));
}

TEST(Listing, ShortTailIsFilledWithErasedBytes) {
  auto bytes = Counting(18, 0xA0);
  std::string text = Listing(bytes.data(), bytes.size(), 0xF000, false);
  EXPECT_EQ(text.substr(63), "F010 - F01F  B0 B1 FF FF FF FF FF FF - FF FF FF FF FF FF FF FF\n");
  EXPECT_EQ(Listing(bytes.data(), 0, 0, false), "");
}

}  // namespace
}  // namespace brisko
