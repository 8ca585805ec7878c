#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "sim/sim_device.hpp"
#include "sim_bench.hpp"

namespace brisko::test {
namespace {

using namespace std::chrono_literals;
using sim::SimDevice;
using Phase = sim::SimTarget::Phase;
using Clock = std::chrono::steady_clock;

// A chip already past the handshake (21 host bytes), so the device carries
// loader commands.
std::shared_ptr<sim::SimTarget> LoaderChip(sim::SimConfig config = ChipConfig(kKT540)) {
  auto chip = std::make_shared<sim::SimTarget>(std::move(config));
  EXPECT_EQ(SimBench(chip).Detect(), 0x00);
  return chip;
}

bool WriteBytes(SerialDevice& d, const Bytes& bytes) { return d.Write(bytes.data(), bytes.size(), 1000ms); }

// Reads n bytes, each within a second.
Bytes ReadBytes(SerialDevice& d, std::size_t n) {
  Bytes out;
  for (std::uint8_t b = 0; out.size() < n && d.WaitForInput(1000ms);)
    if (d.ReadAvailable(&b, 1) == 1) out.push_back(b);
  return out;
}

TEST(SimDevice, DrainWaitsUntilTheLastByteHasLeft) {
  EXPECT_EQ(sim::LineTimeFor(9600), 1042us) << "ten bits a byte";
  auto config = ChipConfig(kKT540);
  config.keptHostBytes = 50;
  auto chip = LoaderChip(config);
  SimDevice d(chip, 1ms);
  const auto start = Clock::now();
  ASSERT_TRUE(WriteBytes(d, Bytes(100, 0x6B)));
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

// Through a USB adapter a read-back arrives in packets (62, 62, 4 bytes),
// whole and in order; only an adapter whose driver honours it takes the
// low-latency request.
TEST(SimDevice, AUsbAdapterCarriesRepliesInPacketsAndHonoursLowLatencyWhereItCan) {
  sim::UsbAdapter refusing;
  refusing.honoursLowLatency = false;
  EXPECT_FALSE(SimDevice(LoaderChip(), sim::SimLine{50us, refusing}).RequestLowLatency());
  EXPECT_FALSE(SimDevice(LoaderChip(), 50us).RequestLowLatency()) << "a UART on the host has no timer";

  auto chip = LoaderChip();
  Bytes data(128);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 3);
  std::copy(data.begin(), data.end(), chip->Flash(0).Data());
  SimDevice d(chip, sim::SimLine{50us, sim::UsbAdapter{}});
  EXPECT_TRUE(d.RequestLowLatency());
  ASSERT_TRUE(WriteBytes(d, Frame(0x0C, 0x0000, 128)));
  EXPECT_EQ(ReadBytes(d, 128), data);
  ASSERT_TRUE(WriteBytes(d, {0x63}));
  EXPECT_EQ(ReadBytes(d, 1), Bytes{0x63}) << "a lone byte leaves when the timer runs out";
  EXPECT_TRUE(d.DrainOutput(1000ms));
}

}  // namespace
}  // namespace brisko::test
