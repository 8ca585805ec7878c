#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "link/byte_queue.hpp"
#include "link/command_primitives.hpp"
#include "link/queue_ops.hpp"
#include "support/recording_sink.hpp"

namespace brisko {
namespace {

using test::RecordingSink;

class CountingSink final : public MessageSink {
 public:
  void Tell(const std::string&) override { ++count; }
  long count = 0;
};

TEST(ByteQueueTest, HoldsOneByteLessThanItsCells) {
  ByteQueue q;
  std::mutex m;
  RecordingSink sink;
  for (int i = 0; i < 4095; ++i)
    ASSERT_EQ(QueuePut(q, m, static_cast<std::uint8_t>(i), sink), kQueueOk);
  EXPECT_TRUE(q.IsFull());
  EXPECT_TRUE(sink.messages.empty());

  EXPECT_EQ(QueuePut(q, m, 0xAA, sink), kQueueFullOrEmpty);
  EXPECT_EQ(sink.messages, std::vector<std::string>{"Error! Queue is Full."});
  EXPECT_EQ(q.WriteIndex(), 4095u);
  EXPECT_EQ(q.ReadIndex(), 0u);

  std::uint8_t byte = 0;
  ASSERT_EQ(QueueGet(q, m, byte, sink), kQueueOk);
  EXPECT_EQ(byte, 0);
  EXPECT_FALSE(q.IsFull());
}

TEST(ByteQueueTest, EmptyGetIsThreeWithoutAMessageAndAPutGetPairAdvancesBoth) {
  ByteQueue q;
  std::mutex m;
  RecordingSink sink;
  std::uint8_t byte = 0x5A;
  EXPECT_EQ(QueueGet(q, m, byte, sink), kQueueFullOrEmpty);
  EXPECT_EQ(byte, 0x5A);
  EXPECT_TRUE(sink.messages.empty());
  EXPECT_EQ(q.ReadIndex(), 0u);
  EXPECT_EQ(q.WriteIndex(), 0u);

  ASSERT_EQ(QueuePut(q, m, 0x42, sink), kQueueOk);
  ASSERT_EQ(QueueGet(q, m, byte, sink), kQueueOk);
  EXPECT_EQ(byte, 0x42);
  EXPECT_TRUE(q.IsEmpty());
  EXPECT_EQ(q.ReadIndex(), 1u);
  EXPECT_EQ(q.WriteIndex(), 1u);
}

TEST(ByteQueueTest, OrderSurvivesTheWrapFromTheLastCellToTheFirst) {
  ByteQueue q;
  std::uint8_t byte = 0;
  for (int i = 0; i < 4090; ++i) {
    ASSERT_TRUE(q.Put(0));
    ASSERT_TRUE(q.Get(byte));
  }
  for (int i = 0; i < 300; ++i) ASSERT_TRUE(q.Put(static_cast<std::uint8_t>(i * 7)));
  EXPECT_LT(q.WriteIndex(), q.ReadIndex());
  for (int i = 0; i < 300; ++i) {
    ASSERT_TRUE(q.Get(byte));
    ASSERT_EQ(byte, static_cast<std::uint8_t>(i * 7)) << i;
  }
  EXPECT_TRUE(q.IsEmpty());
  EXPECT_FALSE(q.Get(byte));
}

// One producer and one consumer on separate threads, as the window thread and
// the link worker use a queue; the consumer must see every byte once, in order.
TEST(ByteQueueTest, TwoThreadsPassAHundredThousandBytesInOrder) {
  constexpr int kCount = 100000;
  ByteQueue q;
  std::mutex m;
  CountingSink producerSink;
  RecordingSink consumerSink;

  std::thread producer([&] {
    for (int i = 0; i < kCount;) {
      int r = QueuePut(q, m, static_cast<std::uint8_t>(i * 31 + i / 256), producerSink);
      if (r == kQueueOk)
        ++i;
      else
        std::this_thread::yield();
    }
  });
  std::vector<std::uint8_t> got;
  got.reserve(kCount);
  while (static_cast<int>(got.size()) < kCount) {
    std::uint8_t byte = 0;
    int r = QueueGet(q, m, byte, consumerSink);
    if (r == kQueueOk)
      got.push_back(byte);
    else
      ASSERT_EQ(r, kQueueFullOrEmpty);
  }
  producer.join();

  for (int i = 0; i < kCount; ++i)
    ASSERT_EQ(got[i], static_cast<std::uint8_t>(i * 31 + i / 256)) << i;
  EXPECT_TRUE(consumerSink.messages.empty());
  std::lock_guard lock(m);
  EXPECT_TRUE(q.IsEmpty());
}

TEST(QueueFrameTest, CommandByteAndParametersGoToTheirOwnQueues) {
  LegacyQueues queues;
  RecordingSink sink;
  ASSERT_EQ(QueueFrame(queues, sink, 0x0C, 0x0480, 128), 1);
  std::uint8_t byte = 0;
  ASSERT_TRUE(queues.commandQueue.Get(byte));
  EXPECT_EQ(byte, 0x0C);
  EXPECT_TRUE(queues.commandQueue.IsEmpty());
  std::vector<std::uint8_t> parameters;
  while (queues.parameterQueue.Get(byte)) parameters.push_back(byte);
  EXPECT_EQ(parameters, (std::vector<std::uint8_t>{0x04, 0x80, 0x80}));
  EXPECT_TRUE(queues.replyQueue.IsEmpty());
}

TEST(QueueFrameTest, AFullQueueStopsTheFrame) {
  LegacyQueues queues;
  RecordingSink sink;
  for (int i = 0; i < 4094; ++i) ASSERT_TRUE(queues.parameterQueue.Put(0));
  EXPECT_EQ(QueueFrame(queues, sink, 0x0C, 0x0000, 128), 0);
  EXPECT_EQ(sink.messages, std::vector<std::string>{"Error! Queue is Full."});
  // The address high byte took the last cell; the low byte found it full and
  // the parameter was never tried.
  EXPECT_EQ(queues.parameterQueue.WriteIndex(), 4095u);

  RecordingSink other;
  LegacyQueues fresh;
  for (int i = 0; i < 4095; ++i) ASSERT_TRUE(fresh.commandQueue.Put(0));
  EXPECT_EQ(QueueFrame(fresh, other, 0x0C, 0x0000, 128), 0);
  EXPECT_TRUE(fresh.parameterQueue.IsEmpty());
}

}  // namespace
}  // namespace brisko
