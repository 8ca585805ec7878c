#include <gtest/gtest.h>

#include "firmware/firmware.hpp"
#include "sim/sim_options.hpp"
#include "sim_bench.hpp"

namespace brisko::test {
namespace {

using Phase = sim::SimTarget::Phase;

struct LegacyBench : SimBench {
  explicit LegacyBench(int model = kKT420) : SimBench(Config(model)) {}
  static sim::SimConfig Config(int model) {
    sim::SimConfig c = ChipConfig(model);
    c.legacyLoader = true;
    c.securityBits = 0x40;
    c.remapBits = 2;
    return c;
  }
  // The bytes the chip sends by itself once `m` has passed.
  Bytes Idle(Millis m) {
    Wait(m);
    std::vector<sim::SimReply> out;
    while (auto due = chip->NextUnasked()) {
      if (*due > now) break;
      chip->SendUnasked(*due, out);
    }
    Bytes bytes;
    for (const auto& r : out) bytes.push_back(r.byte);
    return bytes;
  }
};

TEST(SimLegacyLoader, PromptsAndAnswersTheCommandsOfLoader11E) {
  LegacyBench bench;
  const Bytes user = Pattern(256, 2);
  bench.chip->Reset();
  EXPECT_EQ(bench.chip->CurrentPhase(), Phase::LegacyLoader);
  EXPECT_EQ(bench.Send(kSyncRound), Bytes{}) << "no baud detection";
  EXPECT_EQ(bench.Idle(Millis{1500}), Bytes{0xF7});

  struct Row {
    Bytes command;
    Bytes reply;  // the prompt for the next command follows every reply
  };
  const Row rows[] = {
      {{0x05, 0x55}, {0x42, 0xF7}},
      {{0x60}, {0xE2, 0x11, 'E', 0xF7}},
      {{0x61}, {}},
      {Frame(0x0B, 0x0100, 0x01), {0xC0, 0xF7}},
      {Cat({Frame(0x0E, 0x0100, 0x80), Bytes(user.begin(), user.begin() + 128)}), {0xF7}},
      {Frame(0x0C, 0x0100, 0x80), Cat({Bytes(user.begin(), user.begin() + 128), {0xF7}})},
  };
  for (const Row& row : rows) EXPECT_EQ(bench.Send(row.command), row.reply) << int(row.command[0]);
  EXPECT_EQ(bench.Idle(Millis{1500}), Bytes{0xF7}) << "one prompt a command timeout after the last";
}

TEST(SimLegacyLoader, RunningTheInstallerLeavesA11FLoaderAndOtherCodeRunsAsTheUsers) {
  {
    LegacyBench bench(kKT410);
    const auto& installer = firmware::LegacyInstallerImage;
    std::copy(installer.begin(), installer.end(), bench.chip->Flash(0).Data());
    // 1.1E holds three 64-byte sectors fewer than 1.1F's F000h-F3FFh.
    const auto tail = [&] { return Bytes(bench.chip->Flash(1).Data() + 832, bench.chip->Flash(1).Data() + 1024); };
    EXPECT_EQ(tail(), Bytes(192, 0xFF));
    bench.Send({0x62, 0x62});
    EXPECT_EQ(bench.chip->CurrentPhase(), Phase::AwaitPattern);
    EXPECT_TRUE(bench.chip->LoaderIntact());
    EXPECT_NE(tail(), Bytes(192, 0xFF));
    EXPECT_EQ(bench.Detect(), 0x42);
    EXPECT_EQ(bench.Send({0x60}), (Bytes{0x11, 'F'}));
  }
  LegacyBench bench;
  bench.chip->Flash(0).Data()[100] ^= 0x01;
  bench.Send({0x62, 0x62});
  EXPECT_EQ(bench.chip->CurrentPhase(), Phase::UserCode);
  bench.chip->Reset();
  EXPECT_EQ(bench.chip->CurrentPhase(), Phase::LegacyLoader);
}

TEST(SimLegacyLoader, OnlyKT400ChipsTakeLoader11E) {
  sim::SimOptions options;
  EXPECT_EQ(sim::ParseSimOptions({"--model", "KT410", "--loader", "1.1E"}, options), "");
  EXPECT_TRUE(options.config.legacyLoader);
  // The words brisko-cli and the window use too.
  EXPECT_EQ(sim::ParseSimOptions({"--model", "KT540", "--loader", "1.1E"}, options),
            "loader 1.1E exists only on the KT410 and KT420");
  EXPECT_NE(sim::ParseSimOptions({"--model", "KT410", "--loader", "2.0"}, options), "");
}

}  // namespace
}  // namespace brisko::test
