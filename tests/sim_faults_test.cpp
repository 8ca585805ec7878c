// Fault descriptions as the sim's command line takes them, and what each does
// to the chip's replies.
#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

#include "sim/sim_options.hpp"
#include "sim_bench.hpp"

namespace brisko::test {
namespace {

using sim::FaultPlan;
using sim::ReplyFault;

SimBench WithFaults(int model, const std::vector<std::string>& descriptions) {
  auto config = ChipConfig(model);
  for (const auto& d : descriptions) EXPECT_EQ(config.faults.Apply(d), "") << d;
  return SimBench(config);
}

// What a refused erase does to the flash is checked through the flash engine.
TEST(SimFaults, DropCorruptAndRefuseHitOneOccurrenceCountedFromTheReset) {
  SimBench b = WithFaults(kKT420, {"drop:0c:2:5", "corrupt:0C:3:0", "refuse-erase:2"});
  ASSERT_EQ(b.Detect(), 0x00);
  const Bytes data = Pattern(8, 1);
  b.Program(0x0000, data);
  EXPECT_EQ(b.Read(0x0000, 8), data);
  Bytes dropped = data;
  dropped.erase(dropped.begin() + 5);
  EXPECT_EQ(b.Read(0x0000, 8), dropped);
  Bytes corrupted = data;
  corrupted[0] ^= 0x01;  // the default mask
  EXPECT_EQ(b.Read(0x0000, 8), corrupted);
  EXPECT_EQ(b.Read(0x0000, 8), data);
  EXPECT_EQ(b.Send(Frame(0x0B, 0x0080, 0x01)), Bytes{0xC0});
  EXPECT_EQ(b.Send(Frame(0x0B, 0x0080, 0x01)), Bytes{0x00});

  // Occurrences count again from the reset.
  ASSERT_EQ(b.Detect(), 0x00);
  EXPECT_EQ(b.Read(0x0000, 8), data);
  EXPECT_EQ(b.Read(0x0000, 8), dropped);
}

TEST(FaultPlanApply, RefusesMalformedDescriptionsAndChangesNothing) {
  for (const char* bad : {"", "drop", "drop:0C:3", "drop:0C:3:5:1", "drop:100:1:0", "drop:xy:1:0", "drop:0C:-1:0",
                          "drop:0C:1:2x", "corrupt:0C:1:0:1FF", "delay:60:1:0", "delay:60:1:0:soon", "refuse-erase:0",
                          "refuse-erase", "ok-delay:-5", "no-ok:1", "stop-after:", "explode:1",
                          // numbers that would wrap when narrowed or overflow a deadline
                          "refuse-erase:4294967297", "ok-delay:9223372036854775807", "delay:60:1:0:3600001",
                          "stop-after:99999999999999999999", "drop:0C:1000001:0", "drop:0C:1:65536"}) {
    FaultPlan p;
    EXPECT_NE(p.Apply(bad), "") << bad;
    EXPECT_TRUE(p.replyFaults.empty()) << bad;
    EXPECT_EQ(p.refuseEraseOccurrence, 0) << bad;
    EXPECT_EQ(p.okDelay, Millis{0}) << bad;
    EXPECT_FALSE(p.noOk) << bad;
    EXPECT_EQ(p.stopAfterHostBytes, -1) << bad;
  }
}

// The model, security and link options are checked through the program in
// sim_pty_test.cpp.
TEST(SimOptions, ParsesTheCommandLineAndRefusesWhatItCannotServe) {
  auto parse = [](const std::string& line, sim::SimOptions& o) {
    std::istringstream words(line);
    return sim::ParseSimOptions({std::istream_iterator<std::string>(words), {}}, o);
  };
  sim::SimOptions o;
  ASSERT_EQ(parse("--model kt530 --mode external --remap 2 --double-clock --letter E --fault no-ok --fault stop-after:7 --quiet "
                  "--keep-on-close --read-lag-us 900 --read-lag-us 2500",
                  o),
            "");
  EXPECT_TRUE(o.pty.keepOnClose);
  EXPECT_EQ(o.pty.readLag, std::chrono::microseconds{2500});
  EXPECT_EQ(o.config.model, kKT530);
  EXPECT_EQ(o.config.memoryMode, kExternalMemory);
  EXPECT_EQ(o.config.remapBits, 2);
  EXPECT_TRUE(o.config.doubleClock);
  EXPECT_EQ(o.config.versionLetter, 'E');
  EXPECT_TRUE(o.config.faults.noOk);
  EXPECT_EQ(o.config.faults.stopAfterHostBytes, 7);
  EXPECT_FALSE(o.verbose);
  EXPECT_TRUE(o.config.restartOnPattern) << "a pty has no reset line";
  sim::SimOptions version;
  EXPECT_EQ(parse("--version", version), "");
  EXPECT_TRUE(version.version);

  for (const char* bad : {"", "--model KT999", "--model", "--model KT540 --mode both", "--model KT540 --security 81",
                          "--model KT540 --remap 4", "--model KT540 --letter EF", "--model KT540 --fault drop",
                          "--model KT540 --verbose", "--model KT540 --read-lag-us", "--model KT540 --read-lag-us -1",
                          "--model KT540 --read-lag-us 2ms", "--model KT540 --keep-on-close yes"}) {
    sim::SimOptions refused;
    EXPECT_NE(parse(bad, refused), "") << bad;
  }
}

}  // namespace
}  // namespace brisko::test
