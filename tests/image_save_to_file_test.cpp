// SaveToFile: flash read again and written raw or as the text listing.
#include <gtest/gtest.h>

#include <filesystem>

#include "image/listing.hpp"
#include "image/save_to_file.hpp"
#include "image_rig.hpp"

namespace brisko::test {
namespace {

TEST(SaveToFile, BinaryIsExactlyTheBytesReadAndAShortReadLeavesTheFileEmpty) {
  SimImageRig rig(kKT420);
  ASSERT_TRUE(rig.Connect());
  const Bytes flash = Pattern(5 * 128, 1);
  rig.SetFlash(0, 0x200, flash);
  const std::string path = rig.Write("sectors.bin", Bytes(9000, 0x00));
  ASSERT_EQ(SaveToFile(rig.ctx, path, 0x0200, 5 * 128, 128, false), kResultOk);
  EXPECT_EQ(ReadFile(path), std::string(flash.begin(), flash.end()));

  // The third chunk of the next save comes one byte short (five reads so far).
  rig.target->Faults().replyFaults.push_back({sim::ReplyFault::Kind::Drop, 0x0C, 5 + 3, 0, 0x01, Millis{0}});
  EXPECT_EQ(SaveToFile(rig.ctx, path, 0x0000, 5 * 128, 128, true), kResultFail);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(ReadFile(path), "");

  rig.ClearWire();
  EXPECT_EQ(SaveToFile(rig.ctx, rig.Path("no/such/dir/x.bin"), 0, 128, 128, false), kResultFail);
  EXPECT_EQ(SaveToFile(rig.ctx, "", 0, 128, 128, false), kResultFail);
  EXPECT_TRUE(rig.Wire().empty());
}

TEST(SaveToFile, HighBankTextCarriesTheBankDigit) {
  BankImageRig rig(kKT540, true);
  const Bytes flash = Pattern(0x1000, 2);
  std::copy(flash.begin(), flash.end(), rig.bank->flash.begin());
  ASSERT_EQ(SaveToFile(rig.ctx, rig.Path("high.txt"), 0x0000, 0x1000, 128, true), kResultOk);
  const std::string text = ReadFile(rig.Path("high.txt"));
  ASSERT_EQ(text.size(), 256u * 65u);
  EXPECT_EQ(text.substr(0, 15), "10000 - 1000F  ");
  EXPECT_EQ(text, Listing(flash.data(), flash.size(), 0x0000, true));
}

}  // namespace
}  // namespace brisko::test
