#include <gtest/gtest.h>

#include "shell/run_user_code.hpp"
#include "shell_command_rig.hpp"

namespace brisko {
namespace {

using test::CommandRig;
using Bytes = std::vector<std::uint8_t>;

TEST(ExecuteUserCode, StartsTheProgramAndForgetsTheChip) {
  CommandRig rig(kKT550);
  ASSERT_TRUE(rig.Ready());
  ExecuteUserCode(rig.Window());
  EXPECT_EQ(rig.Wire(), (Bytes{0x62, 0x62}));
  EXPECT_EQ(rig.target->CurrentPhase(), sim::SimTarget::Phase::UserCode);
  EXPECT_TRUE(rig.State().userCodeStarted);
  EXPECT_FALSE(rig.Record().Port().IsLinkUp());
  const WindowState w = rig.Window().Snapshot();
  EXPECT_EQ(w.chipInfo.chipType, "");
  EXPECT_EQ(w.securityText, "SECURITY : UNKNOWN");
  EXPECT_TRUE(rig.op.messages.empty());

  ExecuteUserCode(rig.Window());
  EXPECT_EQ(rig.op.messages, std::vector<std::string>{"No flash chip has been selected/detected!!!"});
  EXPECT_EQ(rig.Wire().size(), 2u);
}

TEST(ExecuteUserCode, OnlyInInternalMemoryMode) {
  CommandRig rig(kKT530, kExternalMemory);
  ASSERT_TRUE(rig.Ready());
  ExecuteUserCode(rig.Window());
  EXPECT_EQ(rig.op.messages, std::vector<std::string>{"Run User Code only works in internal memory mode!"});
  EXPECT_TRUE(rig.Wire().empty());
  EXPECT_FALSE(rig.State().userCodeStarted);
}

}  // namespace
}  // namespace brisko
