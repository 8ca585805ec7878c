#include <gtest/gtest.h>

#include <tuple>

#include "sim_bench.hpp"

namespace brisko::test {
namespace {

using Phase = sim::SimTarget::Phase;

class EveryBoard : public testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(EveryBoard, AnswersTheWholeHandshakeAndNothingOutOfTurn) {
  const auto [model, mode] = GetParam();
  SimBench b(model, mode);
  EXPECT_TRUE(b.Send(Text("BSL")).empty()) << "no ready answer before synchronisation";
  EXPECT_TRUE(b.Send({0x80, 0xE0, 0xF8}).empty());
  EXPECT_EQ(b.Send({0xFE}), Text("OK")) << "answered at the first complete group";
  EXPECT_TRUE(b.Send(Cat({kSyncGroup, kSyncGroup, kSyncGroup})).empty()) << "the rest of the round";
  EXPECT_TRUE(b.Send({0x05, 0x55, 0x60}).empty()) << "nothing but BSL is understood now";
  EXPECT_EQ(b.Send(Text("BSL")), Text("RDY"));
  EXPECT_EQ(b.chip->CurrentPhase(), Phase::AwaitMode);

  // Every mode byte but the right one leaves the loader waiting.
  const Bytes right = ModeSelect(model, mode);
  for (std::uint8_t wrong : {0x55, 0x01, 0x02, 0x03}) {
    if (wrong == right[1]) continue;
    EXPECT_TRUE(b.Send({0x05, wrong}).empty()) << "mode byte " << int(wrong);
    EXPECT_EQ(b.chip->CurrentPhase(), Phase::AwaitMode);
  }
  EXPECT_EQ(b.Send(right), Bytes{0x00});
  EXPECT_EQ(b.chip->CurrentPhase(), Phase::Loader);
  EXPECT_EQ(b.Send({0x60}), (Bytes{0x11, 'F'}));
  EXPECT_EQ(b.Send({0x63}), Bytes{0x63});
}

INSTANTIATE_TEST_SUITE_P(Sim, EveryBoard,
                         testing::Combine(testing::Range(int{kKT410}, kKT580 + 1),
                                          testing::Values(kInternalMemory, kExternalMemory)),
                         [](const auto& info) {
                           return std::string(DescribeChip(std::get<0>(info.param)).chipTypeText) +
                                  MemoryModeText(std::get<1>(info.param));
                         });

TEST(SimHandshake, PatternRestartsAnIdleChipOnlyWhenEnabled) {
  auto config = ChipConfig(kKT540);
  SimBench off(config);
  ASSERT_EQ(off.Detect(), 0x00);
  EXPECT_TRUE(off.Send(kSyncGroup).empty());
  EXPECT_EQ(off.chip->CurrentPhase(), Phase::Loader);

  config.restartOnPattern = true;
  SimBench on(config);
  ASSERT_EQ(on.Detect(), 0x00);
  // Pattern bytes inside a command are data, and so is the group read back;
  // a broken group does not hide the command after it.
  on.Program(0x0000, kSyncGroup);
  EXPECT_EQ(on.Read(0x0000, 4), kSyncGroup);
  EXPECT_EQ(on.Send({0x80, 0xE0, 0x60}), (Bytes{0x11, 'F'}));
  EXPECT_EQ(on.chip->CurrentPhase(), Phase::Loader);
  EXPECT_EQ(on.Send({0x69, 0x69}), Bytes{0xC0});
  EXPECT_EQ(on.Send(kSyncGroup), Text("OK"));
  EXPECT_EQ(on.chip->CurrentPhase(), Phase::AwaitReady);
  EXPECT_EQ(on.chip->SelectedBlock(), 0) << "a restart is a reset";

  // From the user's program and from a failed mode select as well.
  EXPECT_EQ(on.Send(Text("BSL")), Text("RDY"));
  EXPECT_TRUE(on.Send({0x05, 0x03}).empty());
  EXPECT_EQ(on.Send(kSyncGroup), Text("OK"));
  ASSERT_EQ(on.Detect(), 0x00);
  on.Send({0x62, 0x62});
  ASSERT_EQ(on.chip->CurrentPhase(), Phase::UserCode);
  EXPECT_EQ(on.Send(kSyncGroup), Text("OK"));

  // A restart starts the OK delay.
  ASSERT_EQ(on.Detect(), 0x00);
  on.chip->Faults().okDelay = Millis{500};
  EXPECT_TRUE(on.Send(kSyncGroup).empty());
  EXPECT_EQ(on.chip->CurrentPhase(), Phase::AwaitPattern);
  on.Wait(Millis{500});
  EXPECT_EQ(on.Send(kSyncGroup), Text("OK"));
}

}  // namespace
}  // namespace brisko::test
