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

// A chip already past the handshake, so the device carries loader commands.
std::shared_ptr<sim::SimTarget> LoaderChip(sim::SimConfig config = SimBench::Config(kKT540, kInternalMemory)) {
  SimBench b(std::move(config));
  EXPECT_EQ(b.Detect(), 0x00);
  return b.chip;
}

bool WriteBytes(SerialDevice& d, const Bytes& bytes) { return d.Write(bytes.data(), bytes.size(), 1000ms); }

// Reads n bytes, each within a second; returns them and when the last came.
Bytes ReadBytes(SerialDevice& d, std::size_t n, Clock::time_point* lastAt = nullptr) {
  Bytes out;
  while (out.size() < n && d.WaitForInput(1000ms)) {
    std::uint8_t b = 0;
    if (d.ReadAvailable(&b, 1) == 1) out.push_back(b);
    if (lastAt) *lastAt = Clock::now();
  }
  return out;
}

TEST(SimDevice, WithoutLineTimeBytesMoveAtOnce) {
  auto chip = LoaderChip();
  SimDevice d(chip);
  ASSERT_TRUE(WriteBytes(d, {0x60}));
  EXPECT_EQ(d.InputAvailable(), 2u);
  EXPECT_TRUE(d.DrainOutput(0ms));
  std::uint8_t buf[4];
  ASSERT_EQ(d.ReadAvailable(buf, sizeof buf), 2);
  EXPECT_EQ(buf[0], 0x11);
  EXPECT_EQ(buf[1], 'F');
  EXPECT_EQ(d.ReadAvailable(buf, sizeof buf), 0);
}

TEST(SimDevice, DrainWaitsUntilTheLastByteHasLeft) {
  auto chip = LoaderChip();
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
}

TEST(SimDevice, RepliesTakeTheirLineTimeAndQueueBehindEachOther) {
  auto chip = LoaderChip();
  SimDevice d(chip, 10ms);
  const auto start = Clock::now();
  ASSERT_TRUE(WriteBytes(d, Frame(0x0C, 0x0000, 5)));
  EXPECT_EQ(d.InputAvailable(), 0u);
  Clock::time_point firstAt{}, lastAt{};
  ASSERT_EQ(ReadBytes(d, 1, &firstAt).size(), 1u);
  ASSERT_EQ(ReadBytes(d, 4, &lastAt).size(), 4u);
  // Four frame bytes out, then one and five reply bytes back.
  EXPECT_GE(firstAt - start, 50ms);
  EXPECT_GE(lastAt - start, 90ms);
}

TEST(SimDevice, RisingRtsResetsTheChipAndLosesWhatItHadNotSent) {
  auto config = SimBench::Config(kKT420, kInternalMemory);
  config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Delay, 0x60, 0, 0, 0x01, Millis{200}});
  auto chip = LoaderChip(config);
  SimDevice d(chip);
  d.SetRts(false);
  EXPECT_EQ(chip->CurrentPhase(), Phase::Loader) << "a falling edge resets nothing";
  ASSERT_TRUE(WriteBytes(d, {0x60}));
  d.SetRts(true);
  EXPECT_EQ(chip->CurrentPhase(), Phase::AwaitPattern);
  EXPECT_FALSE(d.WaitForInput(300ms));
  d.SetRts(true);
  ASSERT_TRUE(WriteBytes(d, Cat(kSyncGroup, Text("BSL"))));
  EXPECT_EQ(ReadBytes(d, 5), Text("OKRDY"));
}

TEST(SimDevice, PurgesDropReceivedAndUnsentBytes) {
  auto chip = LoaderChip();
  SimDevice d(chip, 10ms);
  ASSERT_TRUE(WriteBytes(d, {0x63}));
  ASSERT_TRUE(d.WaitForInput(1000ms));
  d.PurgeInput();
  EXPECT_EQ(d.InputAvailable(), 0u);

  ASSERT_TRUE(WriteBytes(d, Bytes(50, 0x6B)));
  d.PurgeOutput();
  EXPECT_TRUE(d.DrainOutput(100ms)) << "only the byte on the line is left";
  EXPECT_LT(chip->HostBytesSinceReset(), 21 + 1 + 50);
}

TEST(SimDevice, DisconnectFailsEveryTransferAndWakesAWaiter) {
  auto chip = LoaderChip();
  SimDevice d(chip);
  std::atomic<bool> woke{false};
  const auto start = Clock::now();
  std::thread waiter([&] { woke = !d.WaitForInput(5000ms); });
  std::this_thread::sleep_for(20ms);
  d.Disconnect();
  waiter.join();
  EXPECT_TRUE(woke);
  EXPECT_LT(Clock::now() - start, 2000ms);
  EXPECT_FALSE(WriteBytes(d, {0x60}));
  std::uint8_t b;
  EXPECT_EQ(d.ReadAvailable(&b, 1), -1);
  EXPECT_FALSE(d.DrainOutput(10ms));
  EXPECT_FALSE(d.Configure(9600));
  EXPECT_EQ(chip->HostBytesSinceReset(), 21);
}

TEST(SimDevice, OpenerConnectsAnyNameToTheChip) {
  auto chip = LoaderChip();
  auto open = sim::SimOpener(chip);
  std::string why;
  auto d = open("COM7", why);
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(d->Configure(38400));
  ASSERT_TRUE(WriteBytes(*d, {0x63}));
  EXPECT_EQ(ReadBytes(*d, 1), Bytes{0x63});
}

TEST(SimDevice, LineTimeIsTenBitsPerByte) {
  EXPECT_EQ(sim::LineTimeFor(9600), 1042us);
  EXPECT_EQ(sim::LineTimeFor(115200), 87us);
  EXPECT_EQ(sim::LineTimeFor(0), 0us);
}

// A worker drives the line while this thread watches the chip, as the
// legacy worker and a test do.
TEST(SimDevice, ChipCanBeWatchedWhileAnotherThreadTalks) {
  auto chip = LoaderChip();
  SimDevice d(chip, 50us);
  std::atomic<int> echoes{0};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (int i = 0; i < 200; ++i) {
      if (!WriteBytes(d, {0x63}) || ReadBytes(d, 1) != Bytes{0x63}) break;
      ++echoes;
    }
    done = true;
  });
  while (!done) {
    EXPECT_EQ(chip->CurrentPhase(), Phase::Loader);
    (void)chip->StatusByte();
    (void)chip->HostBytesSinceReset();
  }
  worker.join();
  EXPECT_EQ(echoes, 200);
}

}  // namespace
}  // namespace brisko::test
