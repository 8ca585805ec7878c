#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "image/listing.hpp"

namespace brisko {
namespace {

// Plain lines are checked through the save command; these are the bank digit
// at the top of a bank and a short tail filled with erased bytes.
TEST(Listing, BankDigitAndAShortTailFilledWithErasedBytes) {
  std::vector<std::uint8_t> bytes(18);
  std::iota(bytes.begin(), bytes.end(), 0xA0);
  EXPECT_EQ(ListingLine(0xFFF0, bytes.data(), true), "1FFF0 - 1FFFF  A0 A1 A2 A3 A4 A5 A6 A7 - A8 A9 AA AB AC AD AE AF\n");
  EXPECT_EQ(Listing(bytes.data(), bytes.size(), 0xF000, false),
            "F000 - F00F  A0 A1 A2 A3 A4 A5 A6 A7 - A8 A9 AA AB AC AD AE AF\n"
            "F010 - F01F  B0 B1 FF FF FF FF FF FF - FF FF FF FF FF FF FF FF\n");
  EXPECT_EQ(Listing(bytes.data(), 0, 0, false), "");
}

}  // namespace
}  // namespace brisko
