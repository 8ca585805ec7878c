// The queued flash operations, with a stand-in for the legacy link worker on a
// real second thread: it moves frames and data from the queues into a
// simulated chip and the chip's replies into the reply queue.
#include <atomic>
#include <thread>

#include "link/queue_ops.hpp"
#include "chip_flash_engine_fixture.hpp"

namespace brisko::test {
namespace {

using Kind = sim::ReplyFault::Kind;

// The engine's port is never opened: the worker owns the link.
class QueuedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(bench.Detect(), 0x00);
    target.ClearHostBytes();
  }
  // The worker's side of the queues: a frame is a command byte from
  // commandQueue and three parameter bytes; a program frame's count of data
  // bytes follows it in parameterQueue. After `giveUpAfter` host bytes the
  // worker loses the chip and says so through the latch.
  void StartWorker(long giveUpAfter = -1) {
    worker = std::jthread([this, giveUpAfter](std::stop_token stop) {
      SilentSink quiet;
      std::vector<sim::SimReply> replies;
      std::size_t parametersLeft = 0;
      std::uint8_t command = 0;
      for (long hostBytes = 0; !stop.stop_requested();) {
        std::uint8_t byte = 0;
        const QueueResult taken = parametersLeft == 0
                                      ? QueueGet(queues.commandQueue, queues.commandMutex, byte, quiet)
                                      : QueueGet(queues.parameterQueue, queues.parameterMutex, byte, quiet);
        if (taken != QueueResult::Ok) {
          std::this_thread::yield();
          continue;
        }
        if (parametersLeft == 0)
          command = byte, parametersLeft = 3;
        else if (--parametersLeft == 0 && command == 0x0E)
          parametersLeft = byte == 0 ? 256 : byte, command = 0;
        if (giveUpAfter >= 0 && ++hostBytes > giveUpAfter) {
          rig.state.operationFailed = true;
          return;
        }
        replies.clear();
        target.Receive(byte, sim::SimClock::now(), replies);
        for (const auto& reply : replies) (void)QueuePut(queues.replyQueue, queues.replyMutex, reply.byte, quiet);
      }
    });
  }
  // The worker is a real thread that a loaded machine may hold back for a
  // while: replies get a long wait unless a test is about the wait itself.
  static LinkTiming Timing(Millis replyWait = Millis{1000}) {
    LinkTiming t = FastTiming();
    t.queueReplyWait = replyWait;
    return t;
  }
  Result Program(const Bytes& data) {
    return rig.engine.ProgramRangeQueued(queues, 0x0000, 128, data.data(), data.size());
  }

  SimBench bench{kKT410, kInternalMemory};
  sim::SimTarget& target = *bench.chip;
  LegacyQueues queues;
  EngineRig rig{DeviceOpener{}, Timing()};
  std::jthread worker;
};

TEST_F(QueuedTest, EraseThenProgramThroughTheQueues) {
  std::fill_n(target.Flash(0).Data(), 384, 0x00);
  Bytes data = Pattern(300, 21);
  std::fill(data.begin() + 128, data.begin() + 256, 0xFF);
  StartWorker();
  EXPECT_EQ(rig.engine.EraseSectorsQueued(queues, 0x0000, 128, 3), Result::Ok);
  EXPECT_EQ(Program(data), Result::Ok);
  worker = std::jthread();  // stopped before the wire is read
  Bytes last(data.begin() + 256, data.end());
  last.resize(128, 0xFF);
  EXPECT_EQ(Bytes(target.Flash(0).Data(), target.Flash(0).Data() + 384),
            Cat({Bytes(data.begin(), data.begin() + 256), last}));
  EXPECT_EQ(target.HostBytes(),
            Cat({Frame(0x0B, 0x0000, 1), Frame(0x0B, 0x0080, 1), Frame(0x0B, 0x0100, 1), Frame(0x0E, 0x0000, 0x80),
                 Bytes(data.begin(), data.begin() + 128), Frame(0x0C, 0x0000, 0x80), Frame(0x0E, 0x0100, 0x80), last,
                 Frame(0x0C, 0x0100, 0x80)}));
  EXPECT_EQ(rig.progress.log, "3/[Erasing]+++/[Done]3/[Writing]+++/[Done]");
  EXPECT_TRUE(rig.messages.messages.empty());
}

TEST_F(QueuedTest, AMissingOrRefusedEraseReplyAndACorruptReadBackFail) {
  target.Faults().replyFaults = {{Kind::Drop, 0x0B, 2, 0, 0x01, Millis{0}},
                                 {Kind::Corrupt, 0x0C, 2, 0, 0x01, Millis{0}}};
  rig.port.SetTiming(Timing(Millis{50}));
  StartWorker();
  Stopwatch watch;
  EXPECT_EQ(rig.engine.EraseSectorsQueued(queues, 0x0000, 128, 3), Result::Failed);
  EXPECT_LT(watch.Elapsed(), kGenerousBound);
  EXPECT_EQ(rig.progress.log, "3/[Erasing]+/[Abort]");

  rig.port.SetTiming(Timing());
  rig.progress.log.clear();
  EXPECT_EQ(Program(Pattern(384, 22)), Result::Failed);
  EXPECT_EQ(rig.progress.log, "3/[Writing]+/[Abort]");

  // An answer other than C0h is a failed erase too.
  target.Faults().refuseEraseOccurrence = 3;
  EXPECT_EQ(rig.engine.EraseSectorsQueued(queues, 0x0000, 128, 1), Result::Failed);
}

TEST_F(QueuedTest, WorkerThatGivesUpStopsTheProgramAtOnce) {
  // Gives up in the middle of the third chunk's data.
  StartWorker(2 * 136 + 40);
  // A reply wait this long would show if the engine ignored the latch.
  rig.port.SetTiming(Timing(Millis{60000}));
  Stopwatch watch;
  EXPECT_EQ(Program(Pattern(10 * 128, 23)), Result::Failed);
  EXPECT_LT(watch.Elapsed(), kGenerousBound);
  EXPECT_EQ(rig.progress.log, "10/[Writing]++/[Abort]");

  // With the latch set nothing more is taken.
  rig.progress.log.clear();
  EXPECT_EQ(rig.engine.EraseSectorsQueued(queues, 0x0000, 128, 2), Result::Failed);
  EXPECT_EQ(rig.progress.log, "2/[Erasing]/[Abort]");
}

}  // namespace
}  // namespace brisko::test
