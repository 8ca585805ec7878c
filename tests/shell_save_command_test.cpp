#include <gtest/gtest.h>

#include <algorithm>

#include "shell/save_command.hpp"
#include "shell_command_rig.hpp"

namespace brisko {
namespace {

using test::CommandRig;
using test::Pattern;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kDone = "Save data has completed";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1)
    lines.push_back(text.substr(from, at - from + 1));
  return lines;
}

TEST(OnSave, WholeKT410Block0AsTextIs1024ListingLines) {
  CommandRig rig(kKT410);
  ASSERT_TRUE(rig.Ready());
  Bytes chip(0x4000, 0xFF);
  chip[0x100] = 0x02;
  chip[0x102] = 0x30;
  rig.SetChipBytes(0, 0, chip);
  const std::string path = rig.dirs.Dir().File("block0.txt");
  rig.PickSave(0, 0, path, true);

  OnSave(rig.Window());
  EXPECT_EQ(rig.op.messages, std::vector<std::string>{kDone});
  const auto lines = Lines(test::ReadFile(path));
  ASSERT_EQ(lines.size(), 1024u);
  EXPECT_EQ(lines[0].substr(0, 13), "0000 - 000F  ");
  EXPECT_EQ(lines[16], "0100 - 010F  02 FF 30 FF FF FF FF FF - FF FF FF FF FF FF FF FF\n");
  EXPECT_EQ(lines[16].size(), 63u);
  EXPECT_EQ(lines.back().substr(0, 13), "3FF0 - 3FFF  ");
  EXPECT_EQ(rig.Window().Snapshot().selectedTab, 0);
}

TEST(OnSave, Block1ListingsStartAtTheBlocksAddresses) {
  CommandRig kt410(kKT410);
  ASSERT_TRUE(kt410.Ready());
  const std::string path410 = kt410.dirs.Dir().File("b1.txt");
  kt410.PickSave(kt410.Block1Entry(0), 1, path410, true);
  OnSave(kt410.Window());
  EXPECT_EQ(test::ReadFile(path410).substr(0, 13), "F000 - F00F  ");
  EXPECT_EQ(Lines(test::ReadFile(path410)).size(), 4u);
  EXPECT_EQ(kt410.Record().GetCurrentBlock(), 1);
  EXPECT_EQ(kt410.Wire().front(), 0x0C);  // no block selection

  CommandRig kt540(kKT540);
  ASSERT_TRUE(kt540.Ready());
  const std::string path540 = kt540.dirs.Dir().File("b1.txt");
  kt540.PickSave(kt540.Block1Entry(0), 2, path540, true);
  OnSave(kt540.Window());
  EXPECT_EQ(test::ReadFile(path540).substr(0, 13), "0000 - 000F  ");
  EXPECT_EQ(Bytes(kt540.Wire().begin(), kt540.Wire().begin() + 2), (Bytes{0x69, 0x69}));
}

TEST(OnSave, BinaryFromSector120WithAllSectorsHoldsTheLastEightSectors) {
  CommandRig rig(kKT410);
  ASSERT_TRUE(rig.Ready());
  const Bytes chip = Pattern(0x4000, 51);
  rig.SetChipBytes(0, 0, chip);
  const std::string path = rig.dirs.Dir().File("tail.bin");
  rig.PickSave(120, 0, path, false);
  OnSave(rig.Window());
  EXPECT_EQ(rig.op.messages, std::vector<std::string>{kDone});
  EXPECT_EQ(test::ReadFile(path), std::string(chip.begin() + 120 * 128, chip.end()));
}

TEST(OnSave, NoFileNameFailsAndCancelDoesNothing) {
  CommandRig rig(kKT420);
  ASSERT_TRUE(rig.Ready());
  OnSave(rig.Window());  // cancelled
  EXPECT_TRUE(rig.op.messages.empty());
  EXPECT_TRUE(rig.Wire().empty());

  rig.PickSave(0, 1, "", true);
  OnSave(rig.Window());
  EXPECT_EQ(rig.op.messages, std::vector<std::string>{"Save data failed"});
}

TEST(OnSave, LockRulesRefuseInExternalModeAndWarnInInternalMode) {
  CommandRig external(kKT530, kExternalMemory);
  ASSERT_TRUE(external.Ready());
  external.State().securityBits = 0x20;
  external.PickSave(0, 1, external.dirs.Dir().File("x.bin"), false);
  OnSave(external.Window());
  EXPECT_EQ(external.op.messages, std::vector<std::string>{"File Save doesn't work if chip is locked!\n"});
  EXPECT_TRUE(external.Wire().empty());

  CommandRig internal(kKT530);
  ASSERT_TRUE(internal.Ready());
  internal.State().securityBits = 0xA0;
  internal.PickSave(0, 1, internal.dirs.Dir().File("x.bin"), false);
  OnSave(internal.Window());
  EXPECT_EQ(internal.op.messages,
            (std::vector<std::string>{"You can only save files in Block1, since chip is hardlocked.\n", kDone}));
}

TEST(OnSave, RefusedAfterTheUserCodeWasStarted) {
  CommandRig rig(kKT420);
  ASSERT_TRUE(rig.Ready());
  rig.State().userCodeStarted = true;
  rig.PickSave(0, 1, rig.dirs.Dir().File("x.bin"), false);
  OnSave(rig.Window());
  EXPECT_EQ(rig.op.messages, std::vector<std::string>{"No flash chip has been selected/detected!!!"});
  EXPECT_EQ(rig.op.log.size(), 1u);  // no dialog
}

}  // namespace
}  // namespace brisko
