#include <gtest/gtest.h>

#include "shell/read_command.hpp"
#include "shell_command_rig.hpp"

namespace brisko {
namespace {

using test::CommandRig;
using test::Pattern;
using Bytes = std::vector<std::uint8_t>;

TEST(OnRead, KT530RangeIsClippedAtTheBlockEndAndTheRestOfTheImageIsBlank) {
  CommandRig rig(kKT530);
  ASSERT_TRUE(rig.Ready());
  const Bytes chip = Pattern(0x8000, 1);
  rig.SetChipBytes(0, 0, chip);
  rig.Record().BlockImage(0).Fill(0, 16, 0x00);  // left over from an earlier read
  rig.PickRange(250, 10);

  OnRead(rig.Window());
  const FlashImage& image = rig.Record().BlockImage(0);
  EXPECT_EQ(Bytes(image.Data() + 0x7D00, image.Data() + 0x8000), Bytes(chip.begin() + 0x7D00, chip.end()));
  EXPECT_EQ(Bytes(image.Data(), image.Data() + 0x7D00), Bytes(0x7D00, 0xFF));

  // Block 0 selected, then one read frame per sector from 7D00h.
  Bytes expected{0x68, 0x68};
  for (unsigned sector = 250; sector < 256; ++sector) {
    const unsigned address = sector * 128;
    const Bytes frame{0x0C, static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address), 0x80};
    expected.insert(expected.end(), frame.begin(), frame.end());
  }
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

TEST(OnRead, KT410Block1OffersItsSectorsAndSendsNoSelection) {
  CommandRig rig(kKT410);
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
  OnRead(rig.Window());
  EXPECT_EQ(offered, 128u + 64u);
  EXPECT_TRUE(flagDuringDialog);
  EXPECT_FALSE(rig.State().rangeIncludesBlock1);
  EXPECT_EQ(rig.Wire(), (Bytes{0x0C, 0xF0, 0x80, 0x40, 0x0C, 0xF0, 0xC0, 0x40, 0x0C, 0xF1, 0x00, 0x40}));
  const FlashImage& image = rig.Record().BlockImage(1);
  EXPECT_EQ(Bytes(image.Data() + 128, image.Data() + 320), rig.ChipBytes(1, 128, 192));
  EXPECT_EQ(rig.Record().GetCurrentBlock(), 1);
  EXPECT_EQ(rig.Window().Snapshot().selectedTab, 1);
  EXPECT_EQ(rig.Window().Snapshot().dumpHeader, "SECTOR 002");
}

TEST(OnRead, KT540Block1IsSelectedFirst) {
  CommandRig rig(kKT540);
  ASSERT_TRUE(rig.Ready());
  rig.PickRange(rig.Block1Entry(0), 1);
  OnRead(rig.Window());
  EXPECT_EQ(rig.Wire(), (Bytes{0x69, 0x69, 0x0C, 0x00, 0x00, 0x80}));
  const FlashImage& image = rig.Record().BlockImage(1);
  EXPECT_EQ(Bytes(image.Data(), image.Data() + 128), rig.ChipBytes(1, 0, 128));
}

TEST(OnRead, AShortReadSetsTheFailureLatch) {
  sim::SimConfig config = CommandRig::MakeConfig(kKT420);
  config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Drop, 0x0C, 0, 3});
  CommandRig rig(config);
  ASSERT_TRUE(rig.Ready());
  rig.PickRange(0, 2);
  OnRead(rig.Window());
  EXPECT_TRUE(rig.State().operationFailed);
  EXPECT_FALSE(rig.State().rangeIncludesBlock1);
}

TEST(OnRead, CancelAndRefusalsLeaveTheChipAlone) {
  CommandRig rig(kKT530);
  OnRead(rig.Window());
  EXPECT_EQ(rig.op.messages, std::vector<std::string>{"No target board has been located!!!"});

  ASSERT_TRUE(rig.Ready());
  OnRead(rig.Window());  // cancelled
  EXPECT_FALSE(rig.State().rangeIncludesBlock1);
  rig.Record().SetCurrentBlock(5);
  OnRead(rig.Window());
  EXPECT_EQ(rig.op.messages, std::vector<std::string>{"Illegal Block Number Detected!!!"});
  EXPECT_TRUE(rig.Wire().empty());
}

}  // namespace
}  // namespace brisko
