#include <gtest/gtest.h>

#include "shell/detection/cable_test_command.hpp"
#include "support/sim_session.hpp"

namespace brisko {
namespace {

using Messages = std::vector<std::string>;

constexpr const char* kQuestion = "This will test if serial cable is connected correctly.\nDo you want to proceed?";
constexpr const char* kRemoveMcu = "Please remove MCU from the target board,\nthen connect TXD and RXD pin and power on!";

TEST(OnCableTest, PassesOnALoopBackAndFailsOnTheChip) {
  auto loop = test::ChipConfig(kKT420);
  loop.loopback = true;
  test::SimSession cable(loop);
  cable.op.answers = {true};
  EXPECT_TRUE(OnCableTest(cable.Shell()).Ok());
  EXPECT_EQ(cable.op.questions, Messages{kQuestion});
  EXPECT_EQ(cable.op.messages, (Messages{kRemoveMcu, "Serial connection is correct!"}));
  EXPECT_TRUE(cable.Record().Port().IsOpen());
  EXPECT_FALSE(cable.Record().Port().IsLinkUp());

  test::SimSession chip(kKT420);
  chip.op.answers = {true};
  EXPECT_EQ(OnCableTest(chip.Shell()).kind, OutcomeKind::Failed);
  EXPECT_EQ(chip.op.messages, (Messages{kRemoveMcu, "Serial connection is incorrect!!!"}));
  EXPECT_TRUE(chip.WireHas({0x80, 0xE0, 0xF8, 0x80, 0xE0, 0xF8})) << "rounds until the limit";

  ASSERT_TRUE(chip.Ready());
  EXPECT_EQ(OnCableTest(chip.Shell()).kind, OutcomeKind::Refused);
  EXPECT_EQ(chip.op.messages, Messages{"Serial connection has be set up already!"});
}

}  // namespace
}  // namespace brisko
