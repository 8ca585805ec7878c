#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "link/byte_queue.hpp"
#include "link/read_routines.hpp"
#include "link/result_codes.hpp"
#include "support/result_print.hpp"
#include "support/fast_timing.hpp"
#include "link/queue_ops.hpp"
#include "support/recording_sink.hpp"

namespace brisko {
namespace {

using test::RecordingSink;
using Bytes = std::vector<std::uint8_t>;
using Log = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

TEST(ByteQueueTest, EmptyGetIsQuietAndAFullQueueHoldsOneByteLessThanItsCells) {
  ByteQueue q;
  std::mutex m;
  RecordingSink sink;
  std::uint8_t byte = 0x5A;
  EXPECT_EQ(QueueGet(q, m, byte, sink), QueueResult::FullOrEmpty);
  EXPECT_EQ(byte, 0x5A);
  for (int i = 0; i < 4095; ++i) ASSERT_EQ(QueuePut(q, m, static_cast<std::uint8_t>(i), sink), QueueResult::Ok);
  EXPECT_TRUE(q.IsFull());
  EXPECT_TRUE(sink.messages.empty());

  EXPECT_EQ(QueuePut(q, m, 0xAA, sink), QueueResult::FullOrEmpty);
  EXPECT_EQ(sink.messages, std::vector<std::string>{"Error! Queue is Full."});
  EXPECT_EQ(q.WriteIndex(), 4095u);
  ASSERT_EQ(QueueGet(q, m, byte, sink), QueueResult::Ok);
  EXPECT_EQ(byte, 0);
  EXPECT_FALSE(q.IsFull());
}

// One producer and one consumer on separate threads, as the window thread and
// the link worker use a queue; the consumer must see every byte once, in order,
// across many wraps from the last cell to the first.
TEST(ByteQueueTest, TwoThreadsPassAHundredThousandBytesInOrder) {
  constexpr int kCount = 100000;
  ByteQueue q;
  std::mutex m;
  SilentSink producerSink;
  RecordingSink consumerSink;

  std::thread producer([&] {
    for (int i = 0; i < kCount;) {
      if (QueuePut(q, m, static_cast<std::uint8_t>(i * 31 + i / 256), producerSink) == QueueResult::Ok)
        ++i;
      else
        std::this_thread::yield();
    }
  });
  std::vector<std::uint8_t> got;
  got.reserve(kCount);
  while (static_cast<int>(got.size()) < kCount) {
    std::uint8_t byte = 0;
    const QueueResult r = QueueGet(q, m, byte, consumerSink);
    if (r == QueueResult::Ok)
      got.push_back(byte);
    else
      ASSERT_EQ(r, QueueResult::FullOrEmpty);
  }
  producer.join();

  for (int i = 0; i < kCount; ++i) ASSERT_EQ(got[i], static_cast<std::uint8_t>(i * 31 + i / 256)) << i;
  EXPECT_TRUE(consumerSink.messages.empty());
  std::lock_guard lock(m);
  EXPECT_TRUE(q.IsEmpty());
}

// The legacy loader's user code is read through the worker's queues; the
// worker's side is played by filling the reply queue beforehand.
class SaveUserCodeTest : public ::testing::Test {
 protected:
  Result Save(const LinkTiming& timing = test::FastTiming()) {
    return SaveUserCode(queues, sink, timing, failed, saved);
  }
  void Reply(const Bytes& bytes) {
    for (std::uint8_t b : bytes) ASSERT_TRUE(queues.replyQueue.Put(b));
  }
  LegacyQueues queues;
  RecordingSink sink;
  SavedAreas saved;
  std::atomic<bool> failed{false};
};

TEST_F(SaveUserCodeTest, AsksForTenSectorsThroughTheQueuesAndGivesUpOnAByteThatNeverComes) {
  Bytes memory(1280);
  for (std::size_t i = 0; i < memory.size(); ++i) memory[i] = static_cast<std::uint8_t>(i * 13 + i / 256);
  Reply(memory);
  ASSERT_EQ(Save(), Result::Ok);
  EXPECT_TRUE(std::equal(saved.savedUserCode.begin(), saved.savedUserCode.end(), memory.begin()));
  Bytes commands, parameters, expected;
  std::uint8_t byte = 0;
  while (queues.commandQueue.Get(byte)) commands.push_back(byte);
  while (queues.parameterQueue.Get(byte)) parameters.push_back(byte);
  for (std::uint8_t k = 0; k < 10; ++k)
    expected.insert(expected.end(), {std::uint8_t(k / 2), std::uint8_t(k % 2 * 0x80), 0x80});
  EXPECT_EQ(commands, Bytes(10, 0x0C));
  EXPECT_EQ(parameters, expected);
  EXPECT_TRUE(sink.messages.empty());

  Reply(Bytes(300, 0x42));
  auto start = Clock::now();
  EXPECT_EQ(Save(), Result::Failed);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(sink.messages, Log{"Failed to Read data byte from the chip!"});
}

TEST_F(SaveUserCodeTest, AFailedOperationEndsTheWaitEarlyAndAFullQueueFails) {
  LinkTiming slow;
  slow.queueReplyWait = Millis{60000};
  std::thread failer([&] {
    std::this_thread::sleep_for(Millis{30});
    failed = true;
  });
  auto start = Clock::now();
  EXPECT_EQ(Save(slow), Result::Failed);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  failer.join();
  EXPECT_EQ(sink.messages, Log{"Failed to Read data byte from the chip!"});

  sink.messages.clear();
  failed = false;
  while (queues.commandQueue.Put(0)) {
  }
  EXPECT_EQ(Save(), Result::Failed);
  EXPECT_EQ(sink.messages, (Log{"Error! Queue is Full.", "Failed to Send Read Command!"}));
}

}  // namespace
}  // namespace brisko
