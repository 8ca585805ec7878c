#include <gtest/gtest.h>

#include "sim_bench.hpp"

namespace brisko::test {
namespace {

using sim::SimTarget;
using Phase = SimTarget::Phase;

struct Board {
  int model;
  int mode;
};

std::string BoardName(const testing::TestParamInfo<Board>& info) {
  return std::string(DescribeChip(info.param.model).chipTypeText) +
         (info.param.mode == kInternalMemory ? "Internal" : "External");
}

class EveryBoard : public testing::TestWithParam<Board> {};

TEST_P(EveryBoard, AnswersTheWholeHandshakeAndNothingOutOfTurn) {
  SimBench b(GetParam().model, GetParam().mode);
  EXPECT_TRUE(b.Send(Text("BSL")).empty()) << "no ready answer before synchronisation";
  EXPECT_TRUE(b.Send({0x80, 0xE0, 0xF8}).empty());
  EXPECT_EQ(b.Send({0xFE}), Text("OK")) << "answered at the first complete group";
  EXPECT_TRUE(b.Send(Cat(kSyncGroup, Cat(kSyncGroup, kSyncGroup))).empty()) << "the rest of the round";
  EXPECT_TRUE(b.Send({0x05, 0x55, 0x60}).empty()) << "nothing but BSL is understood now";
  EXPECT_EQ(b.Send(Text("BSL")), Text("RDY"));
  EXPECT_EQ(b.chip->CurrentPhase(), Phase::AwaitMode);

  // Every mode byte but the right one leaves the loader waiting.
  const Bytes right = ModeSelect(GetParam().model, GetParam().mode);
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

INSTANTIATE_TEST_SUITE_P(
    Sim, EveryBoard,
    testing::Values(Board{kKT410, kInternalMemory}, Board{kKT410, kExternalMemory},
                    Board{kKT420, kInternalMemory}, Board{kKT420, kExternalMemory},
                    Board{kKT540, kInternalMemory}, Board{kKT540, kExternalMemory},
                    Board{kKT550, kInternalMemory}, Board{kKT550, kExternalMemory},
                    Board{kKT530, kInternalMemory}, Board{kKT530, kExternalMemory},
                    Board{kKT560, kInternalMemory}, Board{kKT560, kExternalMemory},
                    Board{kKT570, kInternalMemory}, Board{kKT570, kExternalMemory},
                    Board{kKT580, kInternalMemory}, Board{kKT580, kExternalMemory}),
    BoardName);

TEST(SimHandshake, StatusByteCarriesSecurityDoubleClockAndRemap) {
  auto config = SimBench::Config(kKT560, kInternalMemory);
  config.securityBits = 0xA0;
  config.remapBits = 2;
  config.doubleClock = true;
  EXPECT_EQ(SimBench(config).Detect(), 0xAA);

  // The KT400 family has no double clock to report.
  config.model = kKT410;
  EXPECT_EQ(SimBench(config).Detect(), 0xA2);
}

TEST(SimHandshake, VersionLetterIsConfigurable) {
  auto config = SimBench::Config(kKT540, kInternalMemory);
  config.versionLetter = 'E';
  SimBench b(config);
  ASSERT_EQ(b.Detect(), 0x00);
  EXPECT_EQ(b.Send({0x60}), (Bytes{0x11, 'E'}));
}

TEST(SimHandshake, ResetKeepsFlashAndConfigurationButRestartsTheLoader) {
  SimBench b(kKT420, kInternalMemory);
  ASSERT_EQ(b.Detect(), 0x00);
  b.Program(0x0100, {0x12});
  b.Send({0x04, 0x01});  // SB2
  b.chip->Reset();
  EXPECT_EQ(b.chip->CurrentPhase(), Phase::AwaitPattern);
  EXPECT_TRUE(b.Send({0x60}).empty());
  EXPECT_EQ(b.Detect(), 0x40);
  EXPECT_EQ(b.Read(0x0100, 1), Bytes{0x12});
}

TEST(SimHandshake, OkComesOnlyAfterTheConfiguredDelay) {
  auto config = SimBench::Config(kKT530, kInternalMemory);
  config.faults.okDelay = Millis{3000};
  SimBench b(config);
  EXPECT_TRUE(b.Send(kSyncGroup).empty());
  b.Wait(Millis{2999});
  EXPECT_TRUE(b.Send(kSyncGroup).empty());
  b.Wait(Millis{1});
  EXPECT_TRUE(b.Send({0x80, 0xE0}).empty());
  EXPECT_EQ(b.Send({0xF8, 0xFE}), Text("OK"));

  // The delay runs again from the first pattern byte after a reset.
  b.chip->Reset();
  b.Wait(Millis{10000});
  EXPECT_TRUE(b.Send(kSyncGroup).empty());
}

TEST(SimHandshake, NoOkMeansSilenceForever) {
  auto config = SimBench::Config(kKT410, kInternalMemory);
  config.faults.noOk = true;
  SimBench b(config);
  for (int i = 0; i < 50; ++i) {
    EXPECT_TRUE(b.Send(kSyncGroup).empty());
    b.Wait(Millis{300});
  }
  EXPECT_EQ(b.chip->CurrentPhase(), Phase::AwaitPattern);
}

TEST(SimHandshake, PatternRestartsAnIdleChipOnlyWhenEnabled) {
  auto config = SimBench::Config(kKT540, kInternalMemory);
  SimBench off(config);
  ASSERT_EQ(off.Detect(), 0x00);
  EXPECT_TRUE(off.Send(kSyncGroup).empty());
  EXPECT_EQ(off.chip->CurrentPhase(), Phase::Loader);

  config.restartOnPattern = true;
  SimBench on(config);
  ASSERT_EQ(on.Detect(), 0x00);
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
}

TEST(SimHandshake, PatternBytesInsideACommandAreData) {
  auto config = SimBench::Config(kKT420, kInternalMemory);
  config.restartOnPattern = true;
  SimBench b(config);
  ASSERT_EQ(b.Detect(), 0x00);
  b.Program(0x0000, kSyncGroup);
  EXPECT_EQ(b.chip->CurrentPhase(), Phase::Loader);
  EXPECT_EQ(b.Read(0x0000, 4), kSyncGroup);
  // The group read back as data is not taken for a restart either, and a
  // broken group does not hide the command after it.
  EXPECT_EQ(b.Send({0x80, 0xE0, 0x60}), (Bytes{0x11, 'F'}));
}

TEST(SimHandshake, RestartStartsTheOkDelay) {
  auto config = SimBench::Config(kKT420, kInternalMemory);
  config.restartOnPattern = true;
  SimBench b(config);
  ASSERT_EQ(b.Detect(), 0x00);
  b.chip->Faults().okDelay = Millis{500};
  EXPECT_TRUE(b.Send(kSyncGroup).empty());
  EXPECT_EQ(b.chip->CurrentPhase(), Phase::AwaitPattern);
  b.Wait(Millis{500});
  EXPECT_EQ(b.Send(kSyncGroup), Text("OK"));
}

TEST(SimHandshake, UnknownModelNeverPassesTheModeSelect) {
  SimBench b(0, kInternalMemory);
  EXPECT_EQ(b.Detect(), -1);
  EXPECT_EQ(b.chip->CurrentPhase(), Phase::AwaitMode);
}

TEST(SimHandshake, HostBytesRecordsEverythingAcrossResets) {
  SimBench b(kKT410, kInternalMemory);
  b.Send({0x01, 0x02});
  b.chip->Reset();
  b.Send({0x03});
  EXPECT_EQ(b.chip->HostBytes(), (Bytes{0x01, 0x02, 0x03}));
  EXPECT_EQ(b.chip->HostBytesSinceReset(), 1);
  b.chip->ClearHostBytes();
  EXPECT_TRUE(b.chip->HostBytes().empty());
}

}  // namespace
}  // namespace brisko::test
