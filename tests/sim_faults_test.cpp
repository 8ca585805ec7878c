#include <gtest/gtest.h>

#include "sim/sim_options.hpp"
#include "sim_bench.hpp"

namespace brisko::test {
namespace {

using sim::FaultPlan;
using sim::ReplyFault;

SimBench WithFaults(int model, const std::vector<std::string>& specs) {
  auto config = SimBench::Config(model, kInternalMemory);
  for (const auto& spec : specs) EXPECT_EQ(config.faults.Apply(spec), "") << spec;
  return SimBench(config);
}

Bytes Counting(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i);
  return b;
}

TEST(SimFaults, DropAndCorruptHitOneByteOfOneOccurrence) {
  SimBench b = WithFaults(kKT420, {"drop:0C:2:5", "corrupt:0C:3:0:F0"});
  ASSERT_EQ(b.Detect(), 0x00);
  b.Program(0x0000, Counting(8));
  EXPECT_EQ(b.Read(0x0000, 8), Counting(8));
  Bytes dropped = Counting(8);
  dropped.erase(dropped.begin() + 5);
  EXPECT_EQ(b.Read(0x0000, 8), dropped);
  Bytes corrupted = Counting(8);
  corrupted[0] ^= 0xF0;
  EXPECT_EQ(b.Read(0x0000, 8), corrupted);
  EXPECT_EQ(b.Read(0x0000, 8), Counting(8));

  // Occurrences count again from the reset.
  ASSERT_EQ(b.Detect(), 0x00);
  EXPECT_EQ(b.Read(0x0000, 8), Counting(8));
  EXPECT_EQ(b.Read(0x0000, 8), dropped);
}

TEST(SimFaults, OccurrenceZeroHitsEveryOne) {
  SimBench b = WithFaults(kKT540, {"corrupt:63:0:0"});
  ASSERT_EQ(b.Detect(), 0x00);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(b.Send({0x63}), Bytes{0x62});
}

TEST(SimFaults, DelayHoldsBackOneReplyByte) {
  SimBench b = WithFaults(kKT530, {"delay:60:1:1:300"});
  ASSERT_EQ(b.Detect(), 0x00);
  auto replies = b.SendTimed({0x60});
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0].delay, Millis{0});
  EXPECT_EQ(replies[1].byte, 'F');
  EXPECT_EQ(replies[1].delay, Millis{300});
}

TEST(SimFaults, HandshakeRepliesCanBeHitToo) {
  SimBench ok = WithFaults(kKT410, {"drop:80:1:1"});
  EXPECT_EQ(ok.Send(kSyncGroup), Text("O"));
  SimBench ready = WithFaults(kKT410, {"drop:42:1:2"});
  ready.Send(kSyncGroup);
  EXPECT_EQ(ready.Send(Text("BSL")), Text("RD"));
  SimBench status = WithFaults(kKT410, {"corrupt:05:1:0:E0"});
  EXPECT_EQ(status.Detect(), 0xE0);
}

TEST(SimFaults, RefusedEraseAnswers00AndKeepsTheSector) {
  SimBench b = WithFaults(kKT570, {"refuse-erase:2"});
  ASSERT_EQ(b.Detect(), 0x00);
  b.Program(0x0000, {0x00});
  b.Program(0x0080, {0x00});
  EXPECT_EQ(b.Send(Frame(0x0B, 0x0000, 0x01)), Bytes{0xC0});
  EXPECT_EQ(b.Send(Frame(0x0B, 0x0080, 0x01)), Bytes{0x00});
  EXPECT_EQ(b.Read(0x0080, 1), Bytes{0x00});
  EXPECT_EQ(b.Send(Frame(0x0B, 0x0080, 0x01)), Bytes{0xC0});
}

TEST(SimFaults, StopAfterSilencesTheChipUntilReset) {
  SimBench b = WithFaults(kKT560, {"stop-after:25"});
  ASSERT_EQ(b.Detect(), 0x00);  // 16 + 3 + 2 bytes
  EXPECT_EQ(b.Send({0x63, 0x63, 0x63, 0x63}), (Bytes{0x63, 0x63, 0x63, 0x63}));
  EXPECT_TRUE(b.Send({0x63}).empty());
  EXPECT_TRUE(b.Send({0x60}).empty());
  EXPECT_EQ(b.Detect(), 0x00);
}

TEST(SimFaults, FaultsCanBeChangedWhileRunning) {
  SimBench b(kKT420, kInternalMemory);
  ASSERT_EQ(b.Detect(), 0x00);
  b.chip->Faults().replyFaults.push_back({ReplyFault::Kind::Drop, 0x60, 0, 0});
  EXPECT_EQ(b.Send({0x60}), Bytes{'F'});
}

TEST(FaultPlanApply, TakesEveryForm) {
  FaultPlan p;
  EXPECT_EQ(p.Apply("drop:0C:3:5"), "");
  EXPECT_EQ(p.Apply("corrupt:0c:0:127"), "");
  EXPECT_EQ(p.Apply("corrupt:42:1:2:FF"), "");
  EXPECT_EQ(p.Apply("delay:60:1:0:300"), "");
  EXPECT_EQ(p.Apply("refuse-erase:2"), "");
  EXPECT_EQ(p.Apply("ok-delay:3000"), "");
  EXPECT_EQ(p.Apply("no-ok"), "");
  EXPECT_EQ(p.Apply("stop-after:500"), "");
  ASSERT_EQ(p.replyFaults.size(), 4u);
  EXPECT_EQ(p.replyFaults[0].kind, ReplyFault::Kind::Drop);
  EXPECT_EQ(p.replyFaults[0].command, 0x0C);
  EXPECT_EQ(p.replyFaults[0].occurrence, 3);
  EXPECT_EQ(p.replyFaults[0].byteIndex, 5);
  EXPECT_EQ(p.replyFaults[1].occurrence, 0);
  EXPECT_EQ(p.replyFaults[1].xorMask, 0x01) << "default mask";
  EXPECT_EQ(p.replyFaults[2].command, 'B');
  EXPECT_EQ(p.replyFaults[2].xorMask, 0xFF);
  EXPECT_EQ(p.replyFaults[3].kind, ReplyFault::Kind::Delay);
  EXPECT_EQ(p.replyFaults[3].delay, Millis{300});
  EXPECT_EQ(p.refuseEraseOccurrence, 2);
  EXPECT_EQ(p.okDelay, Millis{3000});
  EXPECT_TRUE(p.noOk);
  EXPECT_EQ(p.stopAfterHostBytes, 500);
}

TEST(FaultPlanApply, RefusesMalformedDescriptionsAndChangesNothing) {
  for (const char* bad : {"", "drop", "drop:0C:3", "drop:0C:3:5:1", "drop:100:1:0", "drop:xy:1:0",
                          "drop:0C:-1:0", "drop:0C:1:2x", "corrupt:0C:1:0:1FF", "delay:60:1:0",
                          "delay:60:1:0:soon", "refuse-erase:0", "refuse-erase", "ok-delay:-5",
                          "no-ok:1", "stop-after:", "explode:1"}) {
    FaultPlan p;
    EXPECT_NE(p.Apply(bad), "") << bad;
    EXPECT_TRUE(p.replyFaults.empty()) << bad;
    EXPECT_EQ(p.refuseEraseOccurrence, 0) << bad;
    EXPECT_EQ(p.okDelay, Millis{0}) << bad;
    EXPECT_FALSE(p.noOk) << bad;
    EXPECT_EQ(p.stopAfterHostBytes, -1) << bad;
  }
}

TEST(SimOptions, ParsesTheCommandLine) {
  sim::SimOptions o;
  ASSERT_EQ(sim::ParseSimOptions({"--model", "kt530", "--mode", "external", "--link", "/tmp/t", "--security",
                                  "a0", "--remap", "2", "--double-clock", "--letter", "E", "--fault",
                                  "no-ok", "--fault", "drop:0C:1:0", "--quiet"},
                                 o),
            "");
  EXPECT_EQ(o.config.model, kKT530);
  EXPECT_EQ(o.config.memoryMode, kExternalMemory);
  EXPECT_EQ(o.linkPath, "/tmp/t");
  EXPECT_EQ(o.config.securityBits, 0xA0);
  EXPECT_EQ(o.config.remapBits, 2);
  EXPECT_TRUE(o.config.doubleClock);
  EXPECT_EQ(o.config.versionLetter, 'E');
  EXPECT_TRUE(o.config.faults.noOk);
  EXPECT_EQ(o.config.faults.replyFaults.size(), 1u);
  EXPECT_FALSE(o.verbose);
  EXPECT_TRUE(o.config.restartOnPattern);

  sim::SimOptions help;
  EXPECT_EQ(sim::ParseSimOptions({"--help"}, help), "");
  EXPECT_TRUE(help.help);
}

TEST(SimOptions, RefusesWhatItCannotServe) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{},
                                             {"--model", "KT999"},
                                             {"--model"},
                                             {"--model", "KT540", "--mode", "both"},
                                             {"--model", "KT540", "--security", "81"},
                                             {"--model", "KT540", "--remap", "4"},
                                             {"--model", "KT540", "--letter", "EF"},
                                             {"--model", "KT540", "--fault", "drop"},
                                             {"--model", "KT540", "--verbose"}}) {
    sim::SimOptions o;
    EXPECT_NE(sim::ParseSimOptions(args, o), "") << testing::PrintToString(args);
  }
}

}  // namespace
}  // namespace brisko::test
