#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <mutex>
#include <thread>
#include <vector>

#include "link/command_primitives.hpp"
#include "link/posix_serial_device.hpp"
#include "link/read_routines.hpp"
#include "link/result_codes.hpp"
#include "support/fast_timing.hpp"
#include "support/recording_sink.hpp"

namespace brisko {
namespace {

using Clock = std::chrono::steady_clock;
using test::FastTiming;
using test::RecordingSink;
using Bytes = std::vector<std::uint8_t>;

struct FrameSeen {
  std::uint8_t command;
  std::uint16_t address;
  std::uint8_t count;
  bool operator==(const FrameSeen&) const = default;
};

Bytes Pattern(std::size_t size, unsigned seed) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>((i * 13 + i / 256 + seed) & 0xFF);
  return b;
}

// A loader on the master side of a pseudo-terminal that answers read frames
// (0Ch block 0, 03h external memory) from its memories, and can fall silent
// after a number of reply bytes.
class PtyChip {
 public:
  PtyChip(Bytes block0, Bytes external, long replyBudget = LONG_MAX)
      : block0_(std::move(block0)), external_(std::move(external)), budget_(replyBudget) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    char name[128] = {};
    if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0 &&
        ::ptsname_r(master_, name, sizeof name) == 0)
      slave_ = name;
    thread_ = std::thread([this] { Serve(); });
  }
  ~PtyChip() {
    stop_ = true;
    thread_.join();
    ::close(master_);
  }

  const std::string& Slave() const { return slave_; }
  std::vector<FrameSeen> Frames() {
    std::lock_guard lock(mutex_);
    return frames_;
  }

 private:
  void Serve() {
    Bytes pending;
    while (!stop_) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 5) <= 0 || !(p.revents & POLLIN)) {
        if (p.revents & POLLHUP) std::this_thread::sleep_for(Millis{1});
        continue;
      }
      std::uint8_t buf[64];
      ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) continue;
      pending.insert(pending.end(), buf, buf + n);
      while (pending.size() >= 4) {
        FrameSeen f{pending[0], static_cast<std::uint16_t>(pending[1] << 8 | pending[2]), pending[3]};
        pending.erase(pending.begin(), pending.begin() + 4);
        {
          std::lock_guard lock(mutex_);
          frames_.push_back(f);
        }
        Answer(f);
      }
    }
  }

  void Answer(const FrameSeen& f) {
    const Bytes& memory = f.command == cmd::kRead ? block0_ : external_;
    Bytes reply;
    for (int i = 0; i < f.count && budget_ > 0; ++i, --budget_)
      reply.push_back(memory[(f.address + i) % memory.size()]);
    // Never blocks: a host that stopped reading must not hang the test.
    std::size_t done = 0;
    auto deadline = Clock::now() + Millis{500};
    while (done < reply.size() && !stop_ && Clock::now() < deadline) {
      ssize_t n = ::write(master_, reply.data() + done, reply.size() - done);
      if (n > 0)
        done += static_cast<std::size_t>(n);
      else
        std::this_thread::sleep_for(Millis{1});
    }
  }

  int master_ = -1;
  std::string slave_;
  Bytes block0_;
  Bytes external_;
  long budget_;
  std::mutex mutex_;
  std::vector<FrameSeen> frames_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class ReadRoutinesTest : public ::testing::Test {
 protected:
  void Connect(PtyChip& chip) {
    port.SetDevicePath(chip.Slave());
    ASSERT_EQ(port.Open(), kResultOk) << port.LastOpenError();
  }
  RecordingSink sink;
  SerialPort port{sink, OpenPosixSerialDevice, FastTiming()};
  SavedAreas saved;
};

TEST_F(ReadRoutinesTest, SectorZeroAndArea2000LandWhereTheyBelong) {
  Bytes block0 = Pattern(0x10000, 1);
  PtyChip chip(block0, Pattern(0x10000, 2));
  Connect(chip);

  ASSERT_EQ(SaveSector0(port, saved), kResultOk);
  ASSERT_EQ(SaveArea2000(port, saved), kResultOk);
  EXPECT_TRUE(std::equal(saved.savedSector0.begin(), saved.savedSector0.end(), block0.begin()));
  EXPECT_TRUE(
      std::equal(saved.savedArea2000.begin(), saved.savedArea2000.end(), block0.begin() + 0x2000));
  EXPECT_EQ(chip.Frames(), (std::vector<FrameSeen>{{0x0C, 0x0000, 128},
                                                   {0x0C, 0x2000, 128},
                                                   {0x0C, 0x2080, 128},
                                                   {0x0C, 0x2100, 128}}));
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(ReadRoutinesTest, AMissingByteFailsWithItsMessage) {
  PtyChip chip(Pattern(0x10000, 1), Pattern(0x10000, 2), 128 + 60);
  Connect(chip);
  auto start = Clock::now();
  EXPECT_EQ(SaveArea2000(port, saved), kResultFail);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(sink.messages, std::vector<std::string>{"Failed to Read data byte from the chip!"});
  EXPECT_EQ(chip.Frames().size(), 2u);
}

TEST_F(ReadRoutinesTest, AFrameThatCannotBeSentFailsWithItsMessage) {
  // The port is not open: the write itself complains, then the routine.
  EXPECT_EQ(SaveSector0(port, saved), kResultFail);
  EXPECT_EQ(sink.messages, (std::vector<std::string>{"2:Fail to write ORVEX_CMD_READ CMD byte!!!",
                                                     "Failed to Send Read Command!"}));
  sink.messages.clear();
  EXPECT_EQ(VerifyExternalLoaderImage(port, Pattern(1152, 3)), kResultCommFailure);
  EXPECT_EQ(sink.messages.back(), "Failed to Send Read Command!");
}

TEST_F(ReadRoutinesTest, ExternalLoaderDifferingOnlyInItsLastEightBytesVerifies) {
  Bytes image = Pattern(1152, 3);
  Bytes external = image;
  external.resize(0x10000, 0xFF);
  for (int i = 1144; i < 1152; ++i) external[i] ^= 0x5A;
  PtyChip chip(Pattern(0x10000, 1), external);
  Connect(chip);

  EXPECT_EQ(VerifyExternalLoaderImage(port, image), kResultOk);
  std::vector<FrameSeen> expected;
  for (int k = 0; k < 9; ++k) expected.push_back({0x03, static_cast<std::uint16_t>(k * 128), 128});
  EXPECT_EQ(chip.Frames(), expected);
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(ReadRoutinesTest, ExternalLoaderMismatchStopsAfterItsChunk) {
  Bytes image = Pattern(1152, 3);
  Bytes external = image;
  external.resize(0x10000, 0xFF);
  external[300] ^= 0x01;
  PtyChip chip(Pattern(0x10000, 1), external);
  Connect(chip);

  EXPECT_EQ(VerifyExternalLoaderImage(port, image), kResultFail);
  EXPECT_EQ(chip.Frames().size(), 3u);
  EXPECT_TRUE(sink.messages.empty());
  // The whole chunk was read, so the next dialogue starts clean.
  std::uint8_t b = 0;
  EXPECT_EQ(port.ReadByte(b), kByteFail);
}

TEST_F(ReadRoutinesTest, ExternalLoaderWithAMissingByteIsACommunicationFailure) {
  Bytes image = Pattern(1152, 3);
  Bytes external = image;
  external.resize(0x10000, 0xFF);
  PtyChip chip(Pattern(0x10000, 1), external, 128 * 4 + 5);
  Connect(chip);
  EXPECT_EQ(VerifyExternalLoaderImage(port, image), kResultCommFailure);
  EXPECT_EQ(sink.messages, std::vector<std::string>{"Failed to Read data byte from the chip!"});
}

// Stands in for the link worker: takes each queued frame and answers it
// through the reply queue, up to a budget of reply bytes.
class StandInWorker {
 public:
  StandInWorker(LegacyQueues& queues, const Bytes& memory, long budget)
      : queues_(queues), memory_(memory), budget_(budget), thread_([this] { Run(); }) {}
  ~StandInWorker() {
    stop_ = true;
    thread_.join();
  }

 private:
  bool Take(ByteQueue& q, std::mutex& m, std::uint8_t& byte) {
    while (!stop_) {
      if (QueueGet(q, m, byte, quiet_) == kQueueOk) return true;
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return false;
  }
  void Run() {
    std::uint8_t command = 0, high = 0, low = 0, count = 0;
    while (Take(queues_.commandQueue, queues_.commandMutex, command) &&
           Take(queues_.parameterQueue, queues_.parameterMutex, high) &&
           Take(queues_.parameterQueue, queues_.parameterMutex, low) &&
           Take(queues_.parameterQueue, queues_.parameterMutex, count)) {
      if (command != cmd::kRead) continue;
      std::size_t address = high << 8 | low;
      for (int i = 0; i < count && budget_ > 0 && !stop_; ++i, --budget_)
        while (QueuePut(queues_.replyQueue, queues_.replyMutex, memory_[address + i], quiet_) !=
                   kQueueOk &&
               !stop_)
          std::this_thread::yield();
    }
  }

  LegacyQueues& queues_;
  const Bytes& memory_;
  long budget_;
  SilentSink quiet_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST(SaveUserCodeTest, TakesTenSectorsThroughTheQueues) {
  LegacyQueues queues;
  Bytes memory = Pattern(0x10000, 7);
  StandInWorker worker(queues, memory, LONG_MAX);
  RecordingSink sink;
  SavedAreas saved;
  std::atomic<bool> failed{false};
  ASSERT_EQ(SaveUserCode(queues, sink, FastTiming(), failed, saved), kResultOk);
  EXPECT_TRUE(std::equal(saved.savedUserCode.begin(), saved.savedUserCode.end(), memory.begin()));
  EXPECT_TRUE(sink.messages.empty());
}

TEST(SaveUserCodeTest, AReplyThatNeverComesEndsTheWait) {
  LegacyQueues queues;
  Bytes memory = Pattern(0x10000, 7);
  StandInWorker worker(queues, memory, 300);
  RecordingSink sink;
  SavedAreas saved;
  std::atomic<bool> failed{false};
  auto start = Clock::now();
  EXPECT_EQ(SaveUserCode(queues, sink, FastTiming(), failed, saved), kResultFail);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(sink.messages, std::vector<std::string>{"Failed to Read data byte from the chip!"});
}

TEST(SaveUserCodeTest, AFailedOperationEndsTheWaitEarly) {
  LegacyQueues queues;
  Bytes memory = Pattern(0x10000, 7);
  StandInWorker worker(queues, memory, 0);
  RecordingSink sink;
  SavedAreas saved;
  std::atomic<bool> failed{false};
  LinkTiming slow;
  slow.queueReplyWait = Millis{60000};
  std::thread failer([&] {
    std::this_thread::sleep_for(Millis{30});
    failed = true;
  });
  auto start = Clock::now();
  EXPECT_EQ(SaveUserCode(queues, sink, slow, failed, saved), kResultFail);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  failer.join();
  EXPECT_EQ(sink.messages, std::vector<std::string>{"Failed to Read data byte from the chip!"});
}

TEST(SaveUserCodeTest, AFrameThatCannotBeQueuedFails) {
  LegacyQueues queues;
  for (int i = 0; i < 4095; ++i) queues.commandQueue.Put(0);
  RecordingSink sink;
  SavedAreas saved;
  std::atomic<bool> failed{false};
  EXPECT_EQ(SaveUserCode(queues, sink, FastTiming(), failed, saved), kResultFail);
  EXPECT_EQ(sink.messages,
            (std::vector<std::string>{"Error! Queue is Full.", "Failed to Send Read Command!"}));
}

}  // namespace
}  // namespace brisko
