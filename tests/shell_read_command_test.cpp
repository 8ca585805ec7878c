#include <gtest/gtest.h>

#include "shell/flash/read_command.hpp"
#include "support/sim_session.hpp"

namespace brisko {
namespace {

using test::Bytes;
using test::ChipConfig;
using test::Pattern;
using test::SimSession;

Bytes ImageBytes(SimSession& rig, int block, std::size_t offset, std::size_t n) {
  const FlashImage& image = rig.Record().BlockImage(block);
  return Bytes(image.Data() + offset, image.Data() + offset + n);
}

TEST(OnRead, KT530RangeIsClippedAtTheBlockEndAndTheRestOfTheImageIsBlank) {
  SimSession rig(kKT530);
  ASSERT_TRUE(rig.Ready());
  const Bytes chip = Pattern(0x8000, 1);
  rig.SetFlash(0, 0, chip);
  rig.Record().BlockImage(0).Fill(0, 16, 0x00);  // left over from an earlier read
  rig.PickRange(250, 10);

  rig.Run(OnRead);
  EXPECT_EQ(ImageBytes(rig, 0, 0x7D00, 0x300), Bytes(chip.begin() + 0x7D00, chip.end()));
  EXPECT_EQ(ImageBytes(rig, 0, 0, 0x7D00), Bytes(0x7D00, 0xFF));
  Bytes expected{0x68, 0x68};  // block 0 selected, then one read frame per sector from 7D00h
  for (unsigned address = 250 * 128; address < 0x8000; address += 128)
    expected.insert(expected.end(), {0x0C, static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address), 0x80});
  EXPECT_EQ(rig.Wire(), expected);

  const WindowState w = rig.Window().Snapshot();
  ASSERT_EQ(w.sectorTable.size(), 256u);
  EXPECT_EQ(w.hotSectorRow, 250);
  EXPECT_EQ(w.sectorTable[250].cells[1], "7D00");
  EXPECT_EQ(w.sectorTable[249].cells[4], "Blank");
  EXPECT_EQ(w.sectorTable[255].cells[4], "Not Blank");
  EXPECT_EQ(w.dumpHeader, "SECTOR 250");
  EXPECT_EQ(w.dump[0].cells[0], "7D00 - 7D0F");
  EXPECT_EQ(w.statusText, "");
  EXPECT_FALSE(rig.State().operationFailed);
  EXPECT_FALSE(rig.State().rangeIncludesBlock1);
}

TEST(OnRead, Block1OfKT410IsReadWithoutSelectionAndOfKT540AfterSelectingIt) {
  SimSession rig(kKT410);
  ASSERT_TRUE(rig.Ready());
  std::size_t offered = 0;
  bool flagDuringDialog = false;
  rig.op.onRange = [&](RangeDialog& d) {
    offered = d.starts.size();
    flagDuringDialog = rig.State().rangeIncludesBlock1;
    d.start = 128 + 2;
    d.range = 3;
    return true;
  };
  rig.Run(OnRead);
  EXPECT_EQ(offered, 128u + 64u);
  EXPECT_TRUE(flagDuringDialog);
  EXPECT_FALSE(rig.State().rangeIncludesBlock1);
  EXPECT_EQ(rig.Wire(), (Bytes{0x0C, 0xF0, 0x80, 0x40, 0x0C, 0xF0, 0xC0, 0x40, 0x0C, 0xF1, 0x00, 0x40}));
  EXPECT_EQ(ImageBytes(rig, 1, 128, 192), rig.Flash(1, 128, 192));
  EXPECT_EQ(rig.Record().GetCurrentBlock(), 1);
  EXPECT_EQ(rig.Window().Snapshot().selectedTab, 1);
  EXPECT_EQ(rig.Window().Snapshot().dumpHeader, "SECTOR 002");

  SimSession kt540(kKT540);
  ASSERT_TRUE(kt540.Ready());
  kt540.PickRange(kt540.Block1Entry(0), 1);
  kt540.Run(OnRead);
  EXPECT_EQ(kt540.Wire(), (Bytes{0x69, 0x69, 0x0C, 0x00, 0x00, 0x80}));
  EXPECT_EQ(ImageBytes(kt540, 1, 0, 128), kt540.Flash(1, 0, 128));
}

TEST(OnRead, ShortReadLatchesTheFailureAndRefusalsLeaveTheChipAlone) {
  sim::SimConfig config = ChipConfig(kKT420);
  config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Drop, 0x0C, 0, 3});
  SimSession failing(config);
  ASSERT_TRUE(failing.Ready());
  failing.PickRange(0, 2);
  OnRead(failing.Shell());
  EXPECT_TRUE(failing.State().operationFailed);
  EXPECT_FALSE(failing.State().rangeIncludesBlock1);

  SimSession rig(kKT530);
  rig.Run(OnRead);
  EXPECT_EQ(rig.op.messages, std::vector<std::string>{"No target board has been located!!!"});
  ASSERT_TRUE(rig.Ready());
  rig.Run(OnRead);  // cancelled
  EXPECT_FALSE(rig.State().rangeIncludesBlock1);
  rig.Record().SetCurrentBlock(5);
  rig.Run(OnRead);
  EXPECT_EQ(rig.op.messages, std::vector<std::string>{"Illegal Block Number Detected!!!"});
  EXPECT_TRUE(rig.Wire().empty());
}

}  // namespace
}  // namespace brisko
