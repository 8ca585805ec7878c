#include <gtest/gtest.h>

#include "sim/sim_device.hpp"
#include "sim_bench.hpp"

namespace brisko::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(SimDevice, DrainWaitsUntilTheLastByteHasLeft) {
  EXPECT_EQ(sim::LineTimeFor(9600), 1042us) << "ten bits a byte";
  auto config = ChipConfig(kKT540);
  config.keptHostBytes = 50;
  auto chip = std::make_shared<sim::SimTarget>(config);
  ASSERT_EQ(SimBench(chip).Detect(), 0x00) << "21 host bytes";
  sim::SimDevice d(chip, 1ms);
  const auto start = Clock::now();
  const Bytes bytes(100, 0x6B);
  ASSERT_TRUE(d.Write(bytes.data(), bytes.size(), 1000ms));
  EXPECT_LT(Clock::now() - start, 50ms) << "the driver takes the bytes without waiting";
  EXPECT_FALSE(d.DrainOutput(10ms));
  EXPECT_TRUE(d.DrainOutput(2000ms));
  const auto drained = Clock::now() - start;
  EXPECT_GE(drained, 100ms);
  EXPECT_LT(drained, 1000ms);
  EXPECT_EQ(chip->HostBytesSinceReset(), 21 + 100);
  EXPECT_EQ(chip->HostBytesHeard(), 21u + 100u);
  EXPECT_EQ(chip->HostBytesCopy(), Bytes(50, 0x6B)) << "only the last bytes are kept";
  EXPECT_LE(chip->HostBytes().size(), 100u);
}

}  // namespace
}  // namespace brisko::test
