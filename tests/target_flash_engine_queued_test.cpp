// The queued flash operations, with a stand-in for the legacy link worker on a
// real second thread: it moves frames and data from the queues into a
// simulated chip and the chip's replies into the reply queue.
#include <atomic>
#include <thread>
#include <vector>

#include "target_flash_engine_fixture.hpp"

namespace brisko::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Log = std::vector<std::string>;
using Kind = sim::ReplyFault::Kind;

// Takes the loader from reset to its command loop, byte by byte.
bool DriveToLoader(sim::SimTarget& target) {
  std::vector<sim::SimReply> replies;
  auto send = [&](std::initializer_list<std::uint8_t> bytes) {
    for (std::uint8_t b : bytes) target.Receive(b, sim::SimClock::now(), replies);
  };
  target.Reset();
  for (int round = 0; round < 8 && replies.empty(); ++round) send({0x80, 0xE0, 0xF8, 0xFE, 0x80, 0xE0, 0xF8, 0xFE,
                                                                   0x80, 0xE0, 0xF8, 0xFE, 0x80, 0xE0, 0xF8, 0xFE});
  send({'B', 'S', 'L'});
  send({0x05, 0x55});
  return target.CurrentPhase() == sim::SimTarget::Phase::Loader;
}

// The worker's side of the queues. A frame is a command byte from
// commandQueue and three parameter bytes; a program frame's count of data
// bytes follows it in parameterQueue.
class StandInWorker {
 public:
  StandInWorker(sim::SimTarget& target, LegacyQueues& queues, std::atomic<bool>& operationFailed,
                long giveUpAfterHostBytes = -1)
      : target_(target), queues_(queues), operationFailed_(operationFailed), giveUpAfter_(giveUpAfterHostBytes) {
    thread_ = std::thread([this] { Run(); });
  }
  ~StandInWorker() { Stop(); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }

 private:
  void Run() {
    SilentSink quiet;
    std::vector<sim::SimReply> replies;
    long hostBytes = 0;
    std::size_t parametersLeft = 0;
    std::uint8_t command = 0;
    while (!stop_) {
      std::uint8_t byte = 0;
      const bool got = parametersLeft == 0
                           ? QueueGet(queues_.commandQueue, queues_.commandMutex, byte, quiet) == kQueueOk
                           : QueueGet(queues_.parameterQueue, queues_.parameterMutex, byte, quiet) == kQueueOk;
      if (!got) {
        std::this_thread::yield();
        continue;
      }
      if (parametersLeft == 0) {
        command = byte;
        parametersLeft = 3;
      } else if (--parametersLeft == 0 && command == 0x0E) {
        parametersLeft = byte == 0 ? 256 : byte;
        command = 0;
      }
      if (giveUpAfter_ >= 0 && ++hostBytes > giveUpAfter_) {
        operationFailed_ = true;  // the worker lost the chip and says so
        return;
      }
      replies.clear();
      target_.Receive(byte, sim::SimClock::now(), replies);
      for (const auto& reply : replies) QueuePut(queues_.replyQueue, queues_.replyMutex, reply.byte, quiet);
    }
  }

  sim::SimTarget& target_;
  LegacyQueues& queues_;
  std::atomic<bool>& operationFailed_;
  long giveUpAfter_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The engine's port is never touched by the queued operations: the worker
// owns the link.
class QueuedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(DriveToLoader(target));
    target.ClearHostBytes();
  }
  Bytes Flash(std::size_t offset, std::size_t n) const {
    return Bytes(target.Flash(0).Data() + offset, target.Flash(0).Data() + offset + n);
  }

  sim::SimTarget target{SimRig::Model(kKT410)};
  LegacyQueues queues;
  RecordingSink messages;
  // The worker is a real thread that a loaded machine may hold back for a
  // while: replies get a long wait unless a test is about the wait itself.
  static LinkTiming Timing() {
    LinkTiming t = FastTiming();
    t.queueReplyWait = Millis{1000};
    return t;
  }
  SerialPort port{messages, DeviceOpener{}, Timing()};
  SessionState state;
  RecordingProgress progress;
  FlashEngine engine{port, state, progress, messages};
};

TEST_F(QueuedTest, EraseThenProgramThroughTheQueues) {
  std::fill_n(target.Flash(0).Data(), 384, 0x00);
  Bytes data = Pattern(300, 21);
  std::fill(data.begin() + 128, data.begin() + 256, 0xFF);
  {
    StandInWorker worker(target, queues, state.operationFailed);
    EXPECT_EQ(engine.EraseSectorsQueued(queues, 0x0000, 128, 3), kResultOk);
    EXPECT_EQ(engine.ProgramRangeQueued(queues, 0x0000, 128, data.data(), data.size()), kResultOk);
  }
  Bytes expected = data;
  expected.resize(384, 0xFF);
  EXPECT_EQ(Flash(0, 384), expected);

  Bytes last(data.begin() + 256, data.end());
  last.resize(128, 0xFF);
  EXPECT_EQ(target.HostBytes(),
            Concat({FrameBytes(0x0B, 0x0000, 1), FrameBytes(0x0B, 0x0080, 1), FrameBytes(0x0B, 0x0100, 1),
                    FrameBytes(0x0E, 0x0000, 0x80), Bytes(data.begin(), data.begin() + 128),
                    FrameBytes(0x0C, 0x0000, 0x80), FrameBytes(0x0E, 0x0100, 0x80), last,
                    FrameBytes(0x0C, 0x0100, 0x80)}));
  EXPECT_EQ(progress.log, (Log{"range 3", "reset", "Erasing", "advance", "advance", "advance", "reset", "Done",
                               "range 3", "reset", "Writing", "advance", "advance", "advance", "reset", "Done"}));
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(QueuedTest, MissingEraseReplyEndsAfterTheReplyWaitWithTheBarReset) {
  target.Faults().replyFaults.push_back({Kind::Drop, 0x0B, 2, 0, 0x01, Millis{0}});
  LinkTiming quick = Timing();
  quick.queueReplyWait = Millis{50};
  port.SetTiming(quick);
  StandInWorker worker(target, queues, state.operationFailed);
  Stopwatch watch;
  EXPECT_EQ(engine.EraseSectorsQueued(queues, 0x0000, 128, 3), kResultFail);
  EXPECT_LT(watch.Elapsed(), kGenerousBound);
  EXPECT_EQ(progress.log, (Log{"range 3", "reset", "Erasing", "advance", "reset", "Abort"}));
}

TEST_F(QueuedTest, CorruptReadBackFailsTheProgram) {
  target.Faults().replyFaults.push_back({Kind::Corrupt, 0x0C, 2, 0, 0x01, Millis{0}});
  const Bytes data = Pattern(384, 22);
  StandInWorker worker(target, queues, state.operationFailed);
  EXPECT_EQ(engine.ProgramRangeQueued(queues, 0x0000, 128, data.data(), data.size()), kResultFail);
  EXPECT_EQ(progress.log, (Log{"range 3", "reset", "Writing", "advance", "reset", "Abort"}));
}

TEST_F(QueuedTest, WorkerThatGivesUpStopsTheProgramAtOnce) {
  const Bytes data = Pattern(10 * 128, 23);
  // Gives up in the middle of the third chunk's data.
  StandInWorker worker(target, queues, state.operationFailed, 2 * 136 + 40);
  // A reply wait this long would show if the engine ignored the latch.
  LinkTiming slow = Timing();
  slow.queueReplyWait = Millis{60000};
  port.SetTiming(slow);
  Stopwatch watch;
  EXPECT_EQ(engine.ProgramRangeQueued(queues, 0x0000, 128, data.data(), data.size()), kResultFail);
  EXPECT_LT(watch.Elapsed(), kGenerousBound);
  EXPECT_EQ(progress.Advances(), 2);
  EXPECT_EQ(progress.LastLabel(), "Abort");
}

TEST_F(QueuedTest, NothingIsTakenOnceTheLatchIsSet) {
  state.operationFailed = true;
  StandInWorker worker(target, queues, state.operationFailed);
  EXPECT_EQ(engine.EraseSectorsQueued(queues, 0x0000, 128, 2), kResultFail);
  EXPECT_EQ(progress.log, (Log{"range 2", "reset", "Erasing", "reset", "Abort"}));
}

}  // namespace
}  // namespace brisko::test
