// DownloadFileToBlock: external memory mode, either block, with a full
// read-back and the spill of a long file from block 0 into block 1.
#include <gtest/gtest.h>

#include "image_rig.hpp"

namespace brisko::test {
namespace {

using Kind = sim::ReplyFault::Kind;
using Messages = std::vector<std::string>;

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t n) {
  return Bytes(bytes.begin() + static_cast<long>(from), bytes.begin() + static_cast<long>(from + n));
}

Bytes ImageBytes(FlashImage& image, std::size_t from, std::size_t n) {
  return Bytes(image.Data() + from, image.Data() + from + n);
}

TEST(DownloadToBlock, Kt530FileOf64KbSpillsItsTopIntoBlock1) {
  SimImageRig rig(kKT530, kExternalMemory);
  ASSERT_TRUE(rig.Connect());
  const Bytes data = RandomData(0x10000, 1);

  ASSERT_EQ(DownloadFileToBlock(rig.ctx, rig.WriteBytes("all.bin", data), 0, 0x0000), kResultOk);

  EXPECT_EQ(rig.Flash(0, 0, 0x8000), Slice(data, 0, 0x8000));
  EXPECT_EQ(rig.Flash(1, 0, 0x2000), Slice(data, 0xE000, 0x2000));
  EXPECT_EQ(ImageBytes(rig.record.BlockImage(0), 0, 0x8000), Slice(data, 0, 0x8000));
  EXPECT_EQ(ImageBytes(rig.record.BlockImage(1), 0, 0x2000), Slice(data, 0xE000, 0x2000));
  EXPECT_TRUE(rig.messages.messages.empty());
}

TEST(DownloadToBlock, Kt530FileEndingBetweenTheBlocksIsOverSize) {
  SimImageRig rig(kKT530, kExternalMemory);
  ASSERT_TRUE(rig.Connect());
  const Bytes before = rig.Flash(0, 0, 0x8000);
  EXPECT_EQ(DownloadFileToBlock(rig.ctx, rig.WriteBytes("40k.bin", RandomData(40 * 1024, 2)), 0, 0),
            kResultOverSize);
  EXPECT_EQ(rig.messages.messages, Messages{"The selected file is over size!!!"});
  EXPECT_TRUE(rig.Wire().empty());
  EXPECT_EQ(rig.Flash(0, 0, 0x8000), before);
}

TEST(DownloadToBlock, SpillFromAStartAboveZeroKeepsEveryByteAtItsAddress) {
  SimImageRig rig(kKT530, kExternalMemory);
  ASSERT_TRUE(rig.Connect());
  const Bytes data = RandomData(0xE100 - 0x7F00, 3);  // 7F00h..E0FFh
  const Bytes rest = rig.Flash(1, 0x100, 0x1F00);

  ASSERT_EQ(DownloadFileToBlock(rig.ctx, rig.WriteBytes("late.bin", data), 0, 0x7F00), kResultOk);

  EXPECT_EQ(rig.Flash(0, 0x7F00, 0x100), Slice(data, 0, 0x100));
  EXPECT_EQ(rig.Flash(1, 0, 0x100), Slice(data, 0xE000 - 0x7F00, 0x100));
  EXPECT_EQ(rig.Flash(1, 0x100, 0x1F00), rest);
}

TEST(DownloadToBlock, Kt410SpillsFromF000AndRefusesAFileEndingBelowIt) {
  SimImageRig rig(kKT410, kExternalMemory);
  ASSERT_TRUE(rig.Connect());
  const Bytes data = RandomData(0xF800, 4);
  const Bytes rest = rig.Flash(1, 0x800, 0x800);
  ASSERT_EQ(DownloadFileToBlock(rig.ctx, rig.WriteBytes("spill.bin", data), 0, 0), kResultOk);
  EXPECT_EQ(rig.Flash(0, 0, 0x4000), Slice(data, 0, 0x4000));
  EXPECT_EQ(rig.Flash(1, 0, 0x800), Slice(data, 0xF000, 0x800));
  EXPECT_EQ(rig.Flash(1, 0x800, 0x800), rest);

  rig.ClearWire();
  EXPECT_EQ(DownloadFileToBlock(rig.ctx, rig.WriteBytes("mid.bin", RandomData(0x5000, 5)), 0, 0),
            kResultOverSize);
  EXPECT_TRUE(rig.Wire().empty());
}

TEST(DownloadToBlock, Kt540Block0ReachesFFFFhButNeverSpills) {
  SimImageRig rig(kKT540, kExternalMemory);
  ASSERT_TRUE(rig.Connect());
  EXPECT_EQ(DownloadFileToBlock(rig.ctx, rig.WriteBytes("over.bin", RandomData(0x101, 6)), 0, 0xFF00),
            kResultOverSize);
  EXPECT_TRUE(rig.Wire().empty());
  const Bytes data = RandomData(0x100, 7);
  ASSERT_EQ(DownloadFileToBlock(rig.ctx, rig.WriteBytes("top.bin", data), 0, 0xFF00), kResultOk);
  EXPECT_EQ(rig.Flash(0, 0xFF00, 0x100), data);
}

TEST(DownloadToBlock, Block1LimitsPerModel) {
  struct Case {
    int model;
    std::uint32_t base;
    std::size_t size;
  } cases[] = {{kKT410, 0xF000, 0x1000}, {kKT530, 0xE000, 0x2000}, {kKT580, 0xE000, 0x2000}};
  for (const auto& c : cases) {
    SimImageRig rig(c.model, kExternalMemory);
    ASSERT_TRUE(rig.Connect());
    EXPECT_EQ(DownloadFileToBlock(rig.ctx, rig.WriteBytes("over.bin", RandomData(c.size + 1, 8)), 1, c.base),
              kResultOverSize)
        << c.model;
    EXPECT_EQ(DownloadFileToBlock(rig.ctx, rig.WriteBytes("late.bin", RandomData(c.size / 2 + 1, 8)), 1,
                                  c.base + static_cast<std::uint32_t>(c.size / 2)),
              kResultOverSize)
        << c.model;
    EXPECT_TRUE(rig.Wire().empty()) << c.model;

    const Bytes data = RandomData(c.size, 9);
    ASSERT_EQ(DownloadFileToBlock(rig.ctx, rig.WriteBytes("fit.bin", data), 1, c.base), kResultOk) << c.model;
    EXPECT_EQ(rig.Flash(1, 0, c.size), data) << c.model;
  }
}

TEST(DownloadToBlock, Kt540Block1AfterSelectingIt) {
  SimImageRig rig(kKT540, kExternalMemory);
  ASSERT_TRUE(rig.Connect());
  const Bytes block0 = rig.Flash(0, 0, 0x2000);
  ASSERT_TRUE(rig.engine.SelectBlock1());
  const Bytes data = RandomData(700, 10);
  ASSERT_EQ(DownloadFileToBlock(rig.ctx, rig.WriteBytes("b1.bin", data), 1, 0x0400), kResultOk);
  EXPECT_EQ(rig.Flash(1, 0x400, 700), data);
  EXPECT_EQ(rig.Flash(0, 0, 0x2000), block0);
  EXPECT_EQ(DownloadFileToBlock(rig.ctx, rig.WriteBytes("over.bin", RandomData(0x1C01, 11)), 1, 0x0400),
            kResultOverSize);
}

class DownloadToBlockFaults : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(rig.Connect()); }
  int Download() { return DownloadFileToBlock(rig.ctx, rig.WriteBytes("a.bin", RandomData(128, 12)), 0, 0); }
  SimImageRig rig{kKT420, kExternalMemory};
};

// The program step verifies the chunk with the first 0Ch; the full read-back
// is the second.
TEST_F(DownloadToBlockFaults, ReadBackThatDiffersIsAFailure) {
  rig.target->Faults().replyFaults.push_back({Kind::Corrupt, 0x0C, 2, 5, 0x10, Millis{0}});
  EXPECT_EQ(Download(), kResultProgramFailed);
  EXPECT_EQ(rig.messages.messages, Messages{"Failed to Verify Data!!!"});
}

TEST_F(DownloadToBlockFaults, ShortReadBackIsSix) {
  rig.target->Faults().replyFaults.push_back({Kind::Drop, 0x0C, 2, 0, 0x01, Millis{0}});
  EXPECT_EQ(Download(), kResultNoReply);
  EXPECT_EQ(rig.messages.messages, Messages{"Failed to Read Data!!!"});
}

TEST_F(DownloadToBlockFaults, EraseAndProgramFailuresSayWhich) {
  rig.target->Faults().refuseEraseOccurrence = 1;
  EXPECT_EQ(Download(), kResultFail);
  EXPECT_EQ(rig.messages.messages, Messages{"Sector erase failed!!!"});

  rig.messages.messages.clear();
  rig.target->Faults().replyFaults.push_back({Kind::Corrupt, 0x0C, 1, 0, 0x01, Millis{0}});
  EXPECT_EQ(Download(), kResultProgramFailed);
  EXPECT_EQ(rig.messages.messages, Messages{"Failed to Download Data!!!"});
}

}  // namespace
}  // namespace brisko::test
