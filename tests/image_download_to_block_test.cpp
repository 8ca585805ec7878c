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

TEST(DownloadToBlock, KT530SpillsFromE000AndRefusesAFileEndingBetweenTheBlocks) {
  SimImageRig rig(kKT530, kExternalMemory);
  ASSERT_TRUE(rig.Connect());
  const Bytes before = rig.Flash(0, 0, 0x8000);
  EXPECT_EQ(DownloadFileToBlock(rig.ctx, rig.Write("40k.bin", Pattern(40 * 1024, 1)), 0, 0), Result::OverSize);
  EXPECT_EQ(rig.messages.messages, Messages{"The selected file is over size!!!"});
  EXPECT_TRUE(rig.Wire().empty());
  EXPECT_EQ(rig.Flash(0, 0, 0x8000), before);

  const Bytes all = Pattern(0x10000, 2);
  ASSERT_EQ(DownloadFileToBlock(rig.ctx, rig.Write("all.bin", all), 0, 0x0000), Result::Ok);
  EXPECT_EQ(rig.Flash(0, 0, 0x8000), Slice(all, 0, 0x8000));
  EXPECT_EQ(rig.Flash(1, 0, 0x2000), Slice(all, 0xE000, 0x2000));
  const FlashImage& image1 = rig.record.BlockImage(1);
  EXPECT_EQ(Bytes(image1.Data(), image1.Data() + 0x2000), Slice(all, 0xE000, 0x2000));

  // From 7F00h to E0FFh: every byte at its own address, the rest of block 1 kept.
  const Bytes late = Pattern(0xE100 - 0x7F00, 3);
  const Bytes rest = rig.Flash(1, 0x100, 0x1F00);
  ASSERT_EQ(DownloadFileToBlock(rig.ctx, rig.Write("late.bin", late), 0, 0x7F00), Result::Ok);
  EXPECT_EQ(rig.Flash(0, 0x7F00, 0x100), Slice(late, 0, 0x100));
  EXPECT_EQ(rig.Flash(1, 0, 0x100), Slice(late, 0xE000 - 0x7F00, 0x100));
  EXPECT_EQ(rig.Flash(1, 0x100, 0x1F00), rest);
  EXPECT_EQ(rig.messages.messages.size(), 1u);
}

TEST(DownloadToBlock, KT410SpillsFromF000AndRefusesAFileEndingBelowIt) {
  SimImageRig rig(kKT410, kExternalMemory);
  ASSERT_TRUE(rig.Connect());
  const Bytes data = Pattern(0xF800, 4);
  const Bytes rest = rig.Flash(1, 0x800, 0x800);
  ASSERT_EQ(DownloadFileToBlock(rig.ctx, rig.Write("spill.bin", data), 0, 0), Result::Ok);
  EXPECT_EQ(rig.Flash(0, 0, 0x4000), Slice(data, 0, 0x4000));
  EXPECT_EQ(rig.Flash(1, 0, 0x800), Slice(data, 0xF000, 0x800));
  EXPECT_EQ(rig.Flash(1, 0x800, 0x800), rest);

  rig.ClearWire();
  EXPECT_EQ(DownloadFileToBlock(rig.ctx, rig.Write("mid.bin", Pattern(0x5000, 5)), 0, 0), Result::OverSize);
  EXPECT_TRUE(rig.Wire().empty());
}

TEST(DownloadToBlock, KT540Block0ReachesFFFFhWithoutSpill) {
  SimImageRig rig(kKT540, kExternalMemory);
  ASSERT_TRUE(rig.Connect());
  const Bytes block1 = rig.Flash(1, 0, 0x2000);
  EXPECT_EQ(DownloadFileToBlock(rig.ctx, rig.Write("over.bin", Pattern(0x101, 6)), 0, 0xFF00), Result::OverSize);
  EXPECT_TRUE(rig.Wire().empty());
  const Bytes top = Pattern(0x100, 7);
  ASSERT_EQ(DownloadFileToBlock(rig.ctx, rig.Write("top.bin", top), 0, 0xFF00), Result::Ok);
  EXPECT_EQ(rig.Flash(0, 0xFF00, 0x100), top);
  EXPECT_EQ(rig.Flash(1, 0, 0x2000), block1);
}

TEST(DownloadToBlock, Block1LimitsPerModel) {
  struct Case {
    int model;
    std::uint32_t base;
    std::size_t size;
  } cases[] = {{kKT410, 0xF000, 0x1000}, {kKT530, 0xE000, 0x2000}, {kKT580, 0xE000, 0x2000}, {kKT540, 0x0000, 0x2000}};
  for (const auto& c : cases) {
    SimImageRig rig(c.model, kExternalMemory);
    ASSERT_TRUE(rig.Connect());
    const Bytes block0 = rig.Flash(0, 0, 0x2000);
    ASSERT_TRUE(!SharesBlockAddresses(c.model) || rig.engine.SelectBlock1());
    rig.ClearWire();
    const auto half = static_cast<std::uint32_t>(c.size / 2);
    EXPECT_EQ(DownloadFileToBlock(rig.ctx, rig.Write("over.bin", Pattern(c.size + 1, 10)), 1, c.base), Result::OverSize)
        << c.model;
    EXPECT_EQ(DownloadFileToBlock(rig.ctx, rig.Write("late.bin", Pattern(half + 1, 10)), 1, c.base + half),
              Result::OverSize)
        << c.model;
    EXPECT_TRUE(rig.Wire().empty()) << c.model;
    const Bytes data = Pattern(c.size, 11);
    ASSERT_EQ(DownloadFileToBlock(rig.ctx, rig.Write("fit.bin", data), 1, c.base), Result::Ok) << c.model;
    EXPECT_EQ(rig.Flash(1, 0, c.size), data) << c.model;
    EXPECT_EQ(rig.Flash(0, 0, 0x2000), block0) << c.model;
  }
}

// The program step verifies each chunk with the first 0Ch; the full read-back
// after the file is the second.
TEST(DownloadToBlock, FailuresSayWhichStepFailed) {
  struct Case {
    int refuseErase;
    sim::ReplyFault fault;
    Result result;
    const char* message;
  } cases[] = {
      {1, {}, Result::Failed, "Sector erase failed!!!"},
      {0, {Kind::Corrupt, 0x0C, 1, 0, 0x01, Millis{0}}, Result::ProgramFailed, "Failed to Download Data!!!"},
      {0, {Kind::Corrupt, 0x0C, 2, 5, 0x10, Millis{0}}, Result::ProgramFailed, "Failed to Verify Data!!!"},
      {0, {Kind::Drop, 0x0C, 2, 0, 0x01, Millis{0}}, Result::NoReply, "Failed to Read Data!!!"},
  };
  for (const auto& c : cases) {
    SimImageRig rig(kKT420, kExternalMemory);
    ASSERT_TRUE(rig.Connect());
    rig.target->Faults().refuseEraseOccurrence = c.refuseErase;
    if (c.fault.command != 0) rig.target->Faults().replyFaults.push_back(c.fault);
    EXPECT_EQ(DownloadFileToBlock(rig.ctx, rig.Write("a.bin", Pattern(128, 12)), 0, 0), c.result) << c.message;
    EXPECT_EQ(rig.messages.messages, Messages{c.message});
  }
}

}  // namespace
}  // namespace brisko::test
