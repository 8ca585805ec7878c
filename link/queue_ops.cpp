#include "link/queue_ops.hpp"

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

}  // namespace brisko
