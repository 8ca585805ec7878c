#include <gtest/gtest.h>

#include "link/result_codes.hpp"
#include "support/result_print.hpp"
#include "shell/flash/compare_command.hpp"
#include "shell/flash/dialog_lists.hpp"
#include "shell/flash/download_command.hpp"
#include "shell/session/memory_views.hpp"
#include "shell/flash/read_command.hpp"
#include "support/sim_session.hpp"

namespace brisko {
namespace {

using test::Bytes;
using test::Pattern;
using test::SimSession;
using Messages = std::vector<std::string>;

TEST(OnCompare, ReportsTheFirstDifferenceWithBothBytesAndTheBaseName) {
  SimSession rig(kKT540);
  ASSERT_TRUE(rig.Ready());
  Bytes file = Pattern(0x200, 31);
  file[0x123] = 0xA5;
  Bytes chip = file;
  chip[0x123] = 0x5A;
  rig.SetFlash(0, 0, chip);
  rig.PickFile(rig.Write("cmp.bin", file), 0);
  const std::string before = rig.Window().Caption();

  rig.Run(OnCompare);
  EXPECT_EQ(rig.Window().StatusText(), "Unmatched data at memory address 0123h: 5Ah(MCU) vs. A5h in File cmp.bin");
  EXPECT_EQ(rig.op.messages, Messages{"Failed to Verify Data!!!"});
  EXPECT_EQ(rig.captions.at(0), "Comparing \"cmp.bin\" with memory starting address 0000h...");
  EXPECT_EQ(rig.Window().Caption(), before);
  EXPECT_EQ(rig.Wire().front(), 0x68);
  EXPECT_FALSE(rig.State().operationFailed);
}

TEST(OnCompare, LockRulesNoticeInInternalModeAndRefuseInExternalMode) {
  SimSession rig(kKT410);
  ASSERT_TRUE(rig.Ready());
  rig.State().securityBits = 0x80;
  const Bytes file = Pattern(100, 32);
  rig.SetFlash(1, 0x500, file);
  rig.PickFile(rig.Write("b1.bin", file), rig.Block1Entry(20));  // F500h
  rig.Run(OnCompare);
  EXPECT_EQ(rig.op.messages, Messages{"You can only compare files in Block1, since chip is hardlocked.\n"});
  EXPECT_EQ(rig.Window().StatusText(), "File b1.bin Compare OK!");
  EXPECT_EQ(rig.captions.at(0), "Comparing \"b1.bin\" with memory starting address F500h...");
  EXPECT_EQ(rig.Record().GetCurrentBlock(), 1);

  SimSession external(kKT530, kExternalMemory);
  ASSERT_TRUE(external.Ready());
  external.State().securityBits = 0x40;
  external.PickFile(external.Write("x.bin", Pattern(16, 33)), 0);
  external.Run(OnCompare);
  EXPECT_EQ(external.op.log, Messages{"tell: File Compare doesn't work if chip is locked!\n"});
  EXPECT_TRUE(external.Wire().empty());
}

TEST(OnCompare, UnreadableAndOverSizeFilesFailOnlyTheFirstLatches) {
  SimSession rig(kKT410);
  ASSERT_TRUE(rig.Ready());
  rig.PickFile(rig.Path("missing.bin"), 0);
  rig.Run(OnCompare);
  EXPECT_EQ(rig.op.messages, Messages{"Can't open the selected file!!!"});
  EXPECT_EQ(rig.Window().StatusText(), "File missing.bin Compare failed!");
  EXPECT_TRUE(rig.State().operationFailed);

  rig.State().operationFailed = false;
  rig.op.messages.clear();
  rig.PickFile(rig.Write("big.bin", Pattern(0x5000, 34)), 0);
  rig.Run(OnCompare);
  EXPECT_EQ(rig.op.messages, Messages{"The selected file is over size!!!"});
  EXPECT_EQ(rig.Window().StatusText(), "File big.bin Compare failed!");
  EXPECT_FALSE(rig.State().operationFailed);
}

}  // namespace
}  // namespace brisko
