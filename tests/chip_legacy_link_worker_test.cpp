#include <algorithm>
#include <ctime>
#include <thread>

#include "chip/legacy_link_worker.hpp"
#include "chip_flash_engine_fixture.hpp"
#include "link/command_primitives.hpp"
#include "link/read_routines.hpp"
#include "support/legacy_timing.hpp"

namespace brisko {
namespace {

using test::Bytes;
using test::LegacyChipConfig;
using test::Pattern;
using Clock = std::chrono::steady_clock;

// Bounded: every wait of the worker is.
template <class Done>
bool Eventually(Done done) {
  for (const auto until = Clock::now() + std::chrono::seconds(5); Clock::now() < until;
       std::this_thread::sleep_for(std::chrono::milliseconds(1)))
    if (done()) return true;
  return false;
}

// A 1.1E chip on an open port, a worker released to it after the hand-shake.
struct WorkerRig : test::SimChip {
  explicit WorkerRig(sim::SimConfig config) : SimChip(config), port(sink, sim::SimOpener(target), test::LegacyTiming()) {
    EXPECT_EQ(port.Open(), Result::Ok);
  }

  bool Handshake(std::uint8_t& status) {
    if (!WaitForLegacyLoader(port, state.operationFailed, status)) return false;
    worker.Release();
    return true;
  }
  bool Take(Bytes& out) {
    return std::all_of(out.begin(), out.end(), [&](std::uint8_t& b) {
      return TakeQueuedReply(worker.Queues(), sink, port.Timing(), state.operationFailed, b);
    });
  }
  bool WireHasEventually(const Bytes& run) {
    return Eventually([&] {
      // The worker is writing: look at a copy taken under the chip's lock.
      const Bytes wire = target->HostBytesCopy();
      return std::search(wire.begin(), wire.end(), run.begin(), run.end()) != wire.end();
    });
  }
  FlashEngine Engine() { return FlashEngine(port, state, progress, sink); }

  test::RecordingSink sink;
  test::RecordingProgress progress;
  SessionState state;
  SerialPort port;
  LegacyLinkWorker worker{port, state.operationFailed};
};

// The worker after the hand-shake (reads, erases and programs through it are
// checked by the 1.1E upgrade, and after a reset below). The loader gives up
// on a command and prompts again: one it never got (lost on the wire), or one
// whose reply stopped halfway (a prompt byte late in the reply). Only that
// command's wait fails, at once rather than at the host's own limit, and the
// worker, alive, carries the next one. A prompt byte that comes promptly is
// data. The margins around the late-byte limit are wide, so that a loaded
// machine holding a thread back for a while does not turn one case into the
// other.
TEST(LegacyLinkWorker, ALostCommandFailsOnlyItsOwnWaitAndTheNextOneGoesOut) {
  struct Row {
    const char* what;
    std::uint8_t lose;     // a command byte lost on the wire
    Millis promptLateBy;   // the reply's sixth byte, F7h, this late
    Millis lateByte;       // a prompt later than this after the byte before it ends the command
  } rows[] = {
      {"60h lost on the wire: the loader prompts again after 200 ms", 0x60, Millis{0}, Millis{100}},
      {"a prompt late in a 0Ch reply", 0x00, Millis{1000}, Millis{100}},
      {"a prompt that comes promptly is data", 0x00, Millis{5}, Millis{1000}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const bool lost = row.lose || row.promptLateBy > row.lateByte;
    sim::SimConfig config = LegacyChipConfig(kKT420, 1);
    config.legacyLoseCommand = row.lose;
    if (row.promptLateBy > Millis{0})
      config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Delay, 0x0C, 1, 5, 0x01, row.promptLateBy});
    WorkerRig rig(config);
    Bytes data = Pattern(128, 4);
    data[5] = 0xF7;
    rig.SetFlash(0, 0x0000, data);
    LinkTiming patient = test::LegacyTiming();
    patient.queueReplyWait = Millis{60000};
    patient.inputWait = Millis{3000};
    patient.legacyLateByte = row.lateByte;
    rig.port.SetTiming(patient);
    std::uint8_t status = 0;
    ASSERT_TRUE(rig.Handshake(status));
    EXPECT_EQ(status, 0x01);
    EXPECT_TRUE(rig.port.IsLinkUp());
    EXPECT_TRUE(rig.WireHasEventually({0x61})) << "nothing queued: each prompt is answered with 61h";
    LegacyQueues& queues = rig.worker.Queues();

    if (row.lose)
      ASSERT_EQ(QueuePut(queues.commandQueue, queues.commandMutex, row.lose, rig.sink), QueueResult::Ok);
    else
      ASSERT_TRUE(QueueFrame(queues, rig.sink, 0x0C, 0x0000, 0x80));
    const auto start = Clock::now();
    Bytes reply(row.lose ? 3 : 128);
    EXPECT_EQ(rig.Take(reply), !lost);
    if (!lost) {
      EXPECT_EQ(reply, data);
    }
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10)) << "the loader's new prompt ends the wait";
    EXPECT_FALSE(rig.worker.Finished());
    EXPECT_FALSE(rig.state.operationFailed.load());

    SettleQueues(queues, patient.inputWait + patient.readCompletion);
    ASSERT_EQ(QueuePut(queues.commandQueue, queues.commandMutex, 0x60, rig.sink), QueueResult::Ok);
    Bytes version(3);
    EXPECT_TRUE(rig.Take(version));
    EXPECT_EQ(version, (Bytes{0xE2, 0x11, 'E'}));
    EXPECT_TRUE(rig.worker.Stop().empty());
    EXPECT_TRUE(rig.worker.Finished());
    EXPECT_EQ(rig.worker.ExitCode(), 0);
    EXPECT_EQ(&rig.port.Owner(), &rig.sink) << "the port's messages go to its owner again";
  }
}

// Once the worker has ended (stopped, or given up on a chip that went
// silent), nothing queued goes out and no reply comes: every wait of the
// command thread ends at once, not at its own limit.
TEST(LegacyLinkWorker, AWorkerThatHasEndedFailsEveryWaitAtOnce) {
  for (const bool silent : {false, true}) {
    SCOPED_TRACE(silent ? "the chip went silent" : "stopped");
    sim::SimConfig config = LegacyChipConfig(kKT410);
    // Silent once it has heard the hand-shake's 05h 55h.
    if (silent) config.faults.stopAfterHostBytes = 2;
    WorkerRig rig(config);
    LinkTiming patient = test::LegacyTiming();
    patient.queueReplyWait = Millis{60000};
    rig.port.SetTiming(patient);
    std::uint8_t status = 0;
    ASSERT_TRUE(rig.Handshake(status));
    if (silent) {
      ASSERT_TRUE(Eventually([&] { return rig.worker.Finished(); }));
      EXPECT_EQ(rig.worker.ExitCode(), -1);
      EXPECT_TRUE(rig.state.operationFailed.load());
      rig.state.operationFailed = false;  // as a new attempt finds it
    } else {
      rig.worker.Stop();
    }
    const auto start = Clock::now();
    EXPECT_EQ(rig.Engine().EraseSectorsQueued(rig.worker.Queues(), 0x0000, 128, 2), Result::Failed);
    Bytes reply(3);
    EXPECT_FALSE(rig.Take(reply));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
  }
}

// Waits for the worker sleep: a command thread that waits a second for a
// reply, or for the worker to finish its command, uses next to no CPU.
TEST(LegacyLinkWorker, WaitsForTheWorkerDoNotSpin) {
  LegacyQueues queues;  // no worker: nothing ever comes
  queues.workerIdle = false;
  test::RecordingSink sink;
  SessionState state;
  LinkTiming timing;
  timing.queueReplyWait = Millis{300};
  const std::clock_t before = std::clock();
  SettleQueues(queues, Millis{300});
  std::uint8_t byte = 0;
  EXPECT_FALSE(TakeQueuedReply(queues, sink, timing, state.operationFailed, byte));
  EXPECT_LT(std::clock() - before, CLOCKS_PER_SEC / 10) << "600 ms of waiting";
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
  ASSERT_TRUE(QueueFrame(rig.worker.Queues(), rig.sink, 0x0C, 0x0000, 0x80));
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
