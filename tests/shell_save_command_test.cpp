#include <gtest/gtest.h>

#include "shell/flash/save_command.hpp"
#include "support/sim_session.hpp"

namespace brisko {
namespace {

using test::Bytes;
using test::Lines;
using test::Pattern;
using test::SimSession;
using Messages = std::vector<std::string>;

constexpr const char* kDone = "Save data has completed";

TEST(OnSave, WholeKT410Block0AsTextIs1024ListingLinesAndBinaryIsTheBytes) {
  SimSession rig(kKT410);
  ASSERT_TRUE(rig.Ready());
  Bytes chip(0x4000, 0xFF);
  chip[0x100] = 0x02;
  chip[0x102] = 0x30;
  rig.SetFlash(0, 0, chip);
  rig.PickSave(0, 0, rig.Path("block0.txt"), true);
  rig.State().operationFailed = true;  // an earlier command's failure does not silence this one
  rig.Run(OnSave);
  EXPECT_EQ(rig.op.messages, Messages{kDone});
  const auto lines = Lines(test::ReadFile(rig.Path("block0.txt")));
  ASSERT_EQ(lines.size(), 1024u);
  EXPECT_EQ(lines[0].substr(0, 13), "0000 - 000F  ");
  EXPECT_EQ(lines[16], "0100 - 010F  02 FF 30 FF FF FF FF FF - FF FF FF FF FF FF FF FF\n");
  EXPECT_EQ(lines.back().substr(0, 13), "3FF0 - 3FFF  ");
  EXPECT_EQ(rig.Window().Snapshot().selectedTab, 0);

  // From sector 120 with "All Sectors": the last eight sectors.
  const Bytes pattern = Pattern(0x4000, 51);
  rig.SetFlash(0, 0, pattern);
  rig.PickSave(120, 0, rig.Path("tail.bin"), false);
  rig.Run(OnSave);
  EXPECT_EQ(test::ReadFile(rig.Path("tail.bin")), std::string(pattern.begin() + 120 * 128, pattern.end()));
}

TEST(OnSave, Block1ListingsStartAtTheBlocksAddresses) {
  SimSession kt410(kKT410);
  ASSERT_TRUE(kt410.Ready());
  kt410.PickSave(kt410.Block1Entry(0), 1, kt410.Path("b1.txt"), true);
  OnSave(kt410.Shell());
  const std::string text = test::ReadFile(kt410.Path("b1.txt"));
  EXPECT_EQ(text.substr(0, 13), "F000 - F00F  ");
  EXPECT_EQ(Lines(text).size(), 4u);
  EXPECT_EQ(kt410.Record().GetCurrentBlock(), 1);
  EXPECT_EQ(kt410.Wire().front(), 0x0C);  // no block selection

  SimSession kt540(kKT540);
  ASSERT_TRUE(kt540.Ready());
  kt540.PickSave(kt540.Block1Entry(0), 2, kt540.Path("b1.txt"), true);
  kt540.Run(OnSave);
  EXPECT_EQ(test::ReadFile(kt540.Path("b1.txt")).substr(0, 13), "0000 - 000F  ");
  EXPECT_EQ(Bytes(kt540.Wire().begin(), kt540.Wire().begin() + 2), (Bytes{0x69, 0x69}));
}

TEST(OnSave, LockRulesRefuseInExternalModeAndWarnInInternalMode) {
  SimSession external(kKT530, kExternalMemory);
  ASSERT_TRUE(external.Ready());
  external.State().securityBits = 0x20;
  external.PickSave(0, 1, external.Path("x.bin"), false);
  external.Run(OnSave);
  EXPECT_EQ(external.op.messages, Messages{"File Save doesn't work if chip is locked!\n"});
  EXPECT_TRUE(external.Wire().empty());

  SimSession internal(kKT530);
  ASSERT_TRUE(internal.Ready());
  internal.State().securityBits = 0xA0;
  internal.PickSave(0, 1, internal.Path("x.bin"), false);
  OnSave(internal.Shell());
  EXPECT_EQ(internal.op.messages,
            (Messages{"You can only save files in Block1, since chip is hardlocked.\n", kDone}));
}

}  // namespace
}  // namespace brisko
