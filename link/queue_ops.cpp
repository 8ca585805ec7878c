#include "link/queue_ops.hpp"

#include <chrono>
#include <system_error>
#include <thread>

#include "link/report_texts.hpp"

namespace brisko {
namespace {

// std::mutex reports a failed lock only by throwing; turn that into the
// result code the callers expect instead of letting it escape.
bool Lock(std::mutex& mutex, MessageSink& owner) {
  try {
    mutex.lock();
    return true;
  } catch (const std::system_error&) {
    owner.Tell(text::kQueueWaitFailed);
    return false;
  }
}

}  // namespace

int QueuePut(ByteQueue& queue, std::mutex& mutex, std::uint8_t byte, MessageSink& owner) {
  if (!Lock(mutex, owner)) return kQueueWaitFailed;
  std::unique_lock held(mutex, std::adopt_lock);
  if (queue.IsFull()) {
    held.unlock();
    owner.Tell(text::kQueueFull);
    return kQueueFullOrEmpty;
  }
  if (queue.Put(byte)) return kQueueOk;
  held.unlock();
  owner.Tell(text::kQueueWriteFailed);
  return kQueueBroken;
}

int QueueGet(ByteQueue& queue, std::mutex& mutex, std::uint8_t& byte, MessageSink& owner) {
  if (!Lock(mutex, owner)) return kQueueWaitFailed;
  std::unique_lock held(mutex, std::adopt_lock);
  if (queue.IsEmpty()) return kQueueFullOrEmpty;
  if (queue.Get(byte)) return kQueueOk;
  held.unlock();
  owner.Tell(text::kQueueReadFailed);
  return kQueueBroken;
}

namespace {

void Empty(ByteQueue& queue, std::mutex& mutex) {
  std::lock_guard held(mutex);
  std::uint8_t ignored = 0;
  while (queue.Get(ignored)) {
  }
}

}  // namespace

void SettleQueues(LegacyQueues& queues, Millis limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    {
      std::lock_guard held(queues.commandMutex);
      if (queues.workerIdle.load() || std::chrono::steady_clock::now() >= deadline) {
        std::uint8_t ignored = 0;
        while (queues.commandQueue.Get(ignored)) {
        }
        break;
      }
    }
    std::this_thread::yield();
  }
  Empty(queues.parameterQueue, queues.parameterMutex);
  Empty(queues.replyQueue, queues.replyMutex);
}

}  // namespace brisko
