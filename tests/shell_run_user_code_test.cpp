#include <gtest/gtest.h>

#include "shell/flash/run_user_code.hpp"
#include "support/sim_session.hpp"

namespace brisko {
namespace {

using test::SimSession;
using Messages = std::vector<std::string>;

TEST(ExecuteUserCode, StartsTheProgramAndForgetsTheChipInInternalModeOnly) {
  SimSession rig(kKT550);
  ASSERT_TRUE(rig.Ready());
  rig.Run(ExecuteUserCode);
  EXPECT_EQ(rig.Wire(), (test::Bytes{0x62, 0x62}));
  EXPECT_EQ(rig.target->CurrentPhase(), sim::SimTarget::Phase::UserCode);
  EXPECT_TRUE(rig.State().userCodeStarted);
  EXPECT_FALSE(rig.Record().Port().IsLinkUp());
  EXPECT_EQ(rig.Window().Snapshot().securityText, "SECURITY : UNKNOWN");
  EXPECT_TRUE(rig.op.messages.empty());
  rig.Run(ExecuteUserCode);
  EXPECT_EQ(rig.op.messages, Messages{"No flash chip has been selected/detected!!!"});
  EXPECT_EQ(rig.Wire().size(), 2u);

  SimSession external(kKT530, kExternalMemory);
  ASSERT_TRUE(external.Ready());
  external.Run(ExecuteUserCode);
  EXPECT_EQ(external.op.messages, Messages{"Run User Code only works in internal memory mode!"});
  EXPECT_TRUE(external.Wire().empty());
  EXPECT_FALSE(external.State().userCodeStarted);

  // 62h 62h that never left the host started nothing.
  SimSession cut(kKT550);
  ASSERT_TRUE(cut.Ready());
  cut.Record().Port().Close();
  const CommandOutcome outcome = cut.Run(ExecuteUserCode);
  EXPECT_EQ(OutcomeKindName(outcome.kind), std::string("failed"));
  EXPECT_EQ(outcome.step, "start the user's program");
  EXPECT_NE(cut.target->CurrentPhase(), sim::SimTarget::Phase::UserCode);
}

}  // namespace
}  // namespace brisko
