#pragma once
#include <cstdint>
#include <mutex>

#include "link/byte_queue.hpp"
#include "link/message_sink.hpp"

namespace brisko {

// Results of the guarded queue operations.
inline constexpr int kQueueOk = 1;
inline constexpr int kQueueBroken = 2;   // not full/empty, yet the transfer failed
inline constexpr int kQueueFullOrEmpty = 3;
inline constexpr int kQueueWaitFailed = 4;

// Put one byte under the queue's mutex; messages go to `owner`.
int QueuePut(ByteQueue& queue, std::mutex& mutex, std::uint8_t byte, MessageSink& owner);
// Take one byte under the queue's mutex; an empty queue is 3 without a message.
int QueueGet(ByteQueue& queue, std::mutex& mutex, std::uint8_t& byte, MessageSink& owner);

// The three queues between the window thread and the legacy link worker, each
// with its own mutex. Shared by both threads for as long as either uses them.
struct LegacyQueues {
  ByteQueue commandQueue;
  std::mutex commandMutex;
  ByteQueue parameterQueue;
  std::mutex parameterMutex;
  ByteQueue replyQueue;
  std::mutex replyMutex;
};

}  // namespace brisko
