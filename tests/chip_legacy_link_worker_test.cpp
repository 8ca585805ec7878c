#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "chip/flash_engine.hpp"
#include "chip/legacy_link_worker.hpp"
#include "link/command_primitives.hpp"
#include "link/read_routines.hpp"
#include "link/result_codes.hpp"
#include "support/result_print.hpp"
#include "sim/sim_device.hpp"
#include "support/legacy_timing.hpp"
#include "support/recording_sink.hpp"
#include "support/sim_chip.hpp"

namespace brisko {
namespace {

using test::Bytes;
using test::LegacyChipConfig;
using test::Pattern;
using Clock = std::chrono::steady_clock;

class NoProgress final : public ProgressSink {
 public:
  void ProgressSetRange(int) override {}
  void ProgressReset() override {}
  void ProgressAdvance() override {}
  void ProgressSetText(const std::string&) override {}
};

// A 1.1E chip on an open port, a worker released to it after the hand-shake.
struct WorkerRig : test::SimChip {
  explicit WorkerRig(sim::SimConfig config) : SimChip(config), port(sink, sim::SimOpener(target), test::LegacyTiming()) {
    EXPECT_EQ(port.Open(), Result::Ok);
  }

  bool Handshake(std::uint8_t& status) {
    if (WaitForLegacyLoader(port, state.operationFailed, status) != kByteOk) return false;
    worker.Release();
    return true;
  }
  bool Take(Bytes& out) {
    return std::all_of(out.begin(), out.end(), [&](std::uint8_t& b) {
      return TakeQueuedReply(worker.Queues(), sink, port.Timing(), state.operationFailed, b);
    });
  }
  // Bounded: every wait of the worker is.
  bool WorkerEnds() {
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (!worker.Finished() && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return worker.Finished();
  }
  bool WireHasEventually(const Bytes& run) {
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < until) {
      // The worker is writing: look at a copy taken under the chip's lock.
      const Bytes wire = target->HostBytesCopy();
      if (std::search(wire.begin(), wire.end(), run.begin(), run.end()) != wire.end()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }
  FlashEngine Engine() { return FlashEngine(port, state, progress, sink); }

  test::RecordingSink sink;
  NoProgress progress;
  SessionState state;
  SerialPort port;
  LegacyLinkWorker worker{port, state.operationFailed};
};

TEST(LegacyLinkWorker, CarriesTheLoadersCommandsAfterTheHandshakeAndStopsCleanly) {
  WorkerRig rig(LegacyChipConfig(kKT420, 1));
  const Bytes user = Pattern(256, 3);
  rig.SetFlash(0, 0x0080, user);
  std::uint8_t status = 0;
  ASSERT_TRUE(rig.Handshake(status));
  EXPECT_EQ(status, 0x01);
  EXPECT_TRUE(rig.port.IsLinkUp());

  // 60h: chip code, version, letter.
  ASSERT_EQ(QueuePut(rig.worker.Queues().commandQueue, rig.worker.Queues().commandMutex, 0x60, rig.sink), kQueueOk);
  Bytes version(3);
  ASSERT_TRUE(rig.Take(version));
  EXPECT_EQ(version, (Bytes{0xE2, 0x11, 'E'}));

  // 0Ch: a length-carrying frame whose reply is read after it.
  ASSERT_EQ(QueueFrame(rig.worker.Queues(), rig.sink, 0x0C, 0x0080, 0x80), kByteOk);
  Bytes sector(128);
  ASSERT_TRUE(rig.Take(sector));
  EXPECT_EQ(sector, Bytes(user.begin(), user.begin() + 128));

  // 0Bh (one reply byte) and 0Eh (data, no reply) through the queued engine.
  FlashEngine engine = rig.Engine();
  const Bytes code = Pattern(256, 9);
  EXPECT_EQ(engine.EraseSectorsQueued(rig.worker.Queues(), 0x0400, 128, 2), Result::Ok);
  EXPECT_EQ(engine.ProgramRangeQueued(rig.worker.Queues(), 0x0400, 128, code.data(), code.size()), Result::Ok);
  EXPECT_EQ(rig.Flash(0, 0x0400, 256), code);

  // Nothing queued: each prompt is answered with 61h.
  EXPECT_TRUE(rig.WireHasEventually({0x61}));

  EXPECT_TRUE(rig.worker.Stop().empty());
  EXPECT_TRUE(rig.WireHas({0x05, 0x55}));
  EXPECT_TRUE(rig.WireHas({0x0C, 0x00, 0x80, 0x80}));
  EXPECT_TRUE(rig.WireHas({0x0B, 0x04, 0x80, 0x01}));
  EXPECT_TRUE(rig.worker.Finished());
  EXPECT_EQ(rig.worker.Result(), 0);
  EXPECT_EQ(&rig.port.Owner(), &rig.sink) << "the port's messages go to its owner again";
  EXPECT_FALSE(rig.state.operationFailed.load());
}

TEST(LegacyLinkWorker, ADroppedCommandEndsTheWorkerAndEveryWaitForItsReply) {
  sim::SimConfig config = LegacyChipConfig(kKT410);
  config.legacyLoseCommand = 0x60;
  WorkerRig rig(config);
  std::uint8_t status = 0;
  ASSERT_TRUE(rig.Handshake(status));
  ASSERT_EQ(QueuePut(rig.worker.Queues().commandQueue, rig.worker.Queues().commandMutex, 0x60, rig.sink), kQueueOk);
  ASSERT_TRUE(rig.WorkerEnds());
  EXPECT_EQ(rig.worker.Result(), -1);
  EXPECT_TRUE(rig.state.operationFailed.load());
  Bytes reply(3);
  EXPECT_FALSE(rig.Take(reply));
  EXPECT_EQ(WaitForLegacyLoader(rig.port, rig.state.operationFailed, status), 0);
}

// A prompt byte inside a reply is data when it comes promptly, and the sign
// of a command the loader gave up on when it comes late.
TEST(LegacyLinkWorker, APromptByteInAReplyIsDataUnlessItComesLate) {
  struct Row {
    std::chrono::milliseconds delay;
    bool read;
  };
  for (const Row row : {Row{std::chrono::milliseconds(5), true}, Row{std::chrono::milliseconds(250), false}}) {
    SCOPED_TRACE(row.delay.count());
    sim::SimConfig config = LegacyChipConfig(kKT420);
    config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Delay, 0x0C, 1, 5, 0x01, row.delay});
    WorkerRig rig(config);
    Bytes data = Pattern(128, 4);
    data[5] = 0xF7;
    rig.SetFlash(0, 0x0000, data);
    std::uint8_t status = 0;
    ASSERT_TRUE(rig.Handshake(status));
    ASSERT_EQ(QueueFrame(rig.worker.Queues(), rig.sink, 0x0C, 0x0000, 0x80), kByteOk);
    Bytes sector(128);
    if (row.read) {
      ASSERT_TRUE(rig.Take(sector));
      EXPECT_EQ(sector, data);
      EXPECT_FALSE(rig.worker.Finished());
    } else {
      EXPECT_TRUE(rig.WorkerEnds());
      EXPECT_EQ(rig.worker.Result(), -1);
      EXPECT_TRUE(rig.state.operationFailed.load());
    }
  }
}

// A chip reset while a reply is on its way: the next queued operation gets
// its own bytes, not what was left of the earlier reply.
TEST(LegacyLinkWorker, AfterAResetInTheMiddleTheNextOperationGetsOnlyItsOwnReply) {
  sim::SimConfig config = LegacyChipConfig(kKT420);
  config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Delay, 0x0C, 1, 64, 0x01, std::chrono::milliseconds(40)});
  WorkerRig rig(config);
  rig.SetFlash(0, 0x0000, Pattern(256, 6));
  std::uint8_t status = 0;
  ASSERT_TRUE(rig.Handshake(status));
  ASSERT_EQ(QueueFrame(rig.worker.Queues(), rig.sink, 0x0C, 0x0000, 0x80), kByteOk);
  Bytes firstHalf(64);
  ASSERT_TRUE(rig.Take(firstHalf));
  rig.target->Reset();
  // The rest of the first reply comes after the host stopped waiting for it;
  // the read-back of this program run must not take it for its own.
  const Bytes code = Pattern(128, 8);
  EXPECT_EQ(rig.Engine().ProgramRangeQueued(rig.worker.Queues(), 0x0100, 128, code.data(), code.size()), Result::Ok);
  EXPECT_EQ(rig.Flash(0, 0x0100, 128), code);
  rig.worker.Stop();
  EXPECT_TRUE(rig.worker.Finished());
}

}  // namespace
}  // namespace brisko
