#include "link/queue_ops.hpp"

#include <chrono>
#include <system_error>

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

QueueResult QueuePut(ByteQueue& queue, std::mutex& mutex, std::uint8_t byte, MessageSink& owner) {
  if (!Lock(mutex, owner)) return QueueResult::WaitFailed;
  std::unique_lock held(mutex, std::adopt_lock);
  if (queue.IsFull()) {
    held.unlock();
    owner.Tell(text::kQueueFull);
    return QueueResult::FullOrEmpty;
  }
  if (queue.Put(byte)) return QueueResult::Ok;
  held.unlock();
  owner.Tell(text::kQueueWriteFailed);
  return QueueResult::Broken;
}

QueueResult QueueGet(ByteQueue& queue, std::mutex& mutex, std::uint8_t& byte, MessageSink& owner) {
  if (!Lock(mutex, owner)) return QueueResult::WaitFailed;
  std::unique_lock held(mutex, std::adopt_lock);
  if (queue.IsEmpty()) return QueueResult::FullOrEmpty;
  if (queue.Get(byte)) return QueueResult::Ok;
  held.unlock();
  owner.Tell(text::kQueueReadFailed);
  return QueueResult::Broken;
}

namespace {

void Empty(ByteQueue& queue, std::mutex& mutex) {
  std::lock_guard held(mutex);
  std::uint8_t ignored = 0;
  while (queue.Get(ignored)) {
  }
}

}  // namespace

void LegacyQueues::Announce() {
  {
    std::lock_guard lock(newsMutex_);
    ++newsCount_;
  }
  news_.notify_all();
}

bool LegacyQueues::AwaitNews(std::chrono::steady_clock::time_point deadline, const std::function<bool()>& ready) {
  // Flags that change without an announcement are seen within this long.
  constexpr std::chrono::milliseconds kLookAgain{5};
  for (;;) {
    std::uint64_t seen = 0;
    {
      std::lock_guard lock(newsMutex_);
      seen = newsCount_;
    }
    // `ready` takes the queues' own mutexes: never while holding newsMutex_.
    if (ready()) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    std::unique_lock lock(newsMutex_);
    news_.wait_until(lock, std::min(deadline, now + kLookAgain), [&] { return newsCount_ != seen; });
  }
}

void SettleQueues(LegacyQueues& queues, Millis limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  queues.AwaitNews(deadline, [&] { return queues.workerIdle.load() || queues.workerGone.load(); });
  {
    std::lock_guard held(queues.commandMutex);
    std::uint8_t ignored = 0;
    while (queues.commandQueue.Get(ignored)) {
    }
  }
  Empty(queues.parameterQueue, queues.parameterMutex);
  Empty(queues.replyQueue, queues.replyMutex);
  queues.commandLost = false;
}

}  // namespace brisko
