#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "image/listing.hpp"

namespace brisko {
namespace {

TEST(Listing, LinesOf63CharactersOr65WithTheBankDigit) {
  const std::vector<std::uint8_t> b = {0x02, 0x00, 0x30, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                       0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xab};
  EXPECT_EQ(ListingLine(0x0100, b.data(), false), "0100 - 010F  02 00 30 FF FF FF FF FF - FF FF FF FF FF FF FF AB\n");
  std::vector<std::uint8_t> counting(16);
  std::iota(counting.begin(), counting.end(), 0);
  EXPECT_EQ(ListingLine(0x0000, counting.data(), true),
            "10000 - 1000F  00 01 02 03 04 05 06 07 - 08 09 0A 0B 0C 0D 0E 0F\n");
  EXPECT_EQ(ListingLine(0xFFF0, counting.data(), true).substr(0, 15), "1FFF0 - 1FFFF  ");
}

TEST(Listing, ShortTailIsFilledWithErasedBytes) {
  std::vector<std::uint8_t> bytes(18);
  std::iota(bytes.begin(), bytes.end(), 0xA0);
  const std::string text = Listing(bytes.data(), bytes.size(), 0xF000, false);
  EXPECT_EQ(text.substr(0, 63), ListingLine(0xF000, bytes.data(), false));
  EXPECT_EQ(text.substr(63), "F010 - F01F  B0 B1 FF FF FF FF FF FF - FF FF FF FF FF FF FF FF\n");
  EXPECT_EQ(Listing(bytes.data(), 0, 0, false), "");
}

}  // namespace
}  // namespace brisko
