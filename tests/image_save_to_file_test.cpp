// SaveToFile: flash read again and written raw or as the text listing.
#include <gtest/gtest.h>

#include <filesystem>

#include "image/listing.hpp"
#include "image/save_to_file.hpp"
#include "image_rig.hpp"

namespace brisko::test {
namespace {

using Kind = sim::ReplyFault::Kind;

std::string AsText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(SaveToFile, WholeKt410Block0AsTextIs1024Lines) {
  SimImageRig rig(kKT410);
  ASSERT_TRUE(rig.Connect());
  const Bytes flash = RandomData(0x4000, 1);
  rig.SetFlash(0, 0, flash);
  const std::string path = rig.Path("block0.txt");

  ASSERT_EQ(SaveToFile(rig.ctx, path, 0x0000, 0x4000, 128, true), kResultOk);

  const std::string text = ReadFile(path);
  ASSERT_EQ(text.size(), 1024u * 63u);
  EXPECT_EQ(text, Listing(flash.data(), flash.size(), 0x0000, false));
  EXPECT_EQ(text.substr(0, 13), "0000 - 000F  ");
  EXPECT_EQ(text.substr(1023 * 63, 13), "3FF0 - 3FFF  ");
}

TEST(SaveToFile, BinaryIsExactlyTheBytesRead) {
  SimImageRig rig(kKT420);
  ASSERT_TRUE(rig.Connect());
  const Bytes flash = RandomData(5 * 128, 2);
  rig.SetFlash(0, 0x200, flash);
  const std::string path = rig.WriteBytes("sectors.bin", Bytes(9000, 0x00));

  ASSERT_EQ(SaveToFile(rig.ctx, path, 0x0200, 5 * 128, 128, false), kResultOk);
  EXPECT_EQ(ReadFile(path), AsText(flash));
}

TEST(SaveToFile, Block1ListingsStartAtTheBlocksAddresses) {
  SimImageRig kt410(kKT410);
  ASSERT_TRUE(kt410.Connect());
  ASSERT_EQ(SaveToFile(kt410.ctx, kt410.Path("b1.txt"), 0xF000, 128, 64, true), kResultOk);
  const std::string text410 = ReadFile(kt410.Path("b1.txt"));
  EXPECT_EQ(text410.substr(0, 13), "F000 - F00F  ");
  EXPECT_EQ(text410, Listing(kt410.Flash(1, 0, 128).data(), 128, 0xF000, false));

  SimImageRig kt540(kKT540);
  ASSERT_TRUE(kt540.Connect());
  ASSERT_TRUE(kt540.engine.SelectBlock1());
  ASSERT_EQ(SaveToFile(kt540.ctx, kt540.Path("b1.txt"), 0x0000, 256, 128, true), kResultOk);
  EXPECT_EQ(ReadFile(kt540.Path("b1.txt")), Listing(kt540.Flash(1, 0, 256).data(), 256, 0x0000, false));
}

TEST(SaveToFile, HighBankTextCarriesTheBankDigit) {
  BankImageRig rig(kKT540, true);
  const Bytes flash = RandomData(0x1000, 3);
  std::copy(flash.begin(), flash.end(), rig.bank->flash.begin());

  ASSERT_EQ(SaveToFile(rig.ctx, rig.Path("high.txt"), 0x0000, 0x1000, 128, true), kResultOk);

  const std::string text = ReadFile(rig.Path("high.txt"));
  ASSERT_EQ(text.size(), 256u * 65u);
  EXPECT_EQ(text.substr(0, 15), "10000 - 1000F  ");
  EXPECT_EQ(text, Listing(flash.data(), flash.size(), 0x0000, true));
}

TEST(SaveToFile, ShortReadLeavesTheFileEmpty) {
  SimImageRig rig(kKT420);
  ASSERT_TRUE(rig.Connect());
  const std::string path = rig.WriteBytes("old.txt", Bytes(100, 'x'));
  // The third chunk comes one byte short.
  rig.target->Faults().replyFaults.push_back({Kind::Drop, 0x0C, 3, 0, 0x01, Millis{0}});

  EXPECT_EQ(SaveToFile(rig.ctx, path, 0x0000, 5 * 128, 128, true), kResultFail);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(ReadFile(path), "");
}

TEST(SaveToFile, FileThatCannotBeCreatedReadsNothing) {
  SimImageRig rig(kKT420);
  ASSERT_TRUE(rig.Connect());
  EXPECT_EQ(SaveToFile(rig.ctx, rig.Path("no/such/dir/x.bin"), 0, 128, 128, false), kResultFail);
  EXPECT_EQ(SaveToFile(rig.ctx, "", 0, 128, 128, false), kResultFail);
  EXPECT_TRUE(rig.Wire().empty());
}

}  // namespace
}  // namespace brisko::test
