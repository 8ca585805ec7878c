#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "link/byte_queue.hpp"
#include "link/queue_ops.hpp"
#include "support/recording_sink.hpp"

namespace brisko {
namespace {

using test::RecordingSink;

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

}  // namespace
}  // namespace brisko
