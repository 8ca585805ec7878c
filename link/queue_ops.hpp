#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "link/byte_queue.hpp"
#include "link/link_timing.hpp"
#include "link/message_sink.hpp"

namespace brisko {

// Results of the guarded queue operations (their numbers are the codes the
// queues have always had).
enum class [[nodiscard]] QueueResult : int {
  Ok = 1,
  Broken = 2,       // not full/empty, yet the transfer failed
  FullOrEmpty = 3,
  WaitFailed = 4,   // the mutex could not be taken
};

// Put one byte under the queue's mutex; messages go to `owner`.
QueueResult QueuePut(ByteQueue& queue, std::mutex& mutex, std::uint8_t byte, MessageSink& owner);
// Take one byte under the queue's mutex; an empty queue is FullOrEmpty
// without a message.
QueueResult QueueGet(ByteQueue& queue, std::mutex& mutex, std::uint8_t& byte, MessageSink& owner);

// The three queues between the window thread and the legacy link worker, each
// with its own mutex. Shared by both threads for as long as either uses them.
struct LegacyQueues {
  ByteQueue commandQueue;
  std::mutex commandMutex;
  ByteQueue parameterQueue;
  std::mutex parameterMutex;
  ByteQueue replyQueue;
  std::mutex replyMutex;
  // The worker waits for the chip's next prompt with no command under way.
  // Changed only under commandMutex, so a holder of that mutex who sees it
  // set knows no command starts until it has queued one.
  std::atomic<bool> workerIdle{true};
  // The chip gave up on a command whose reply the worker was reading (it
  // prompted again, late): that reply will never come. Cleared by
  // SettleQueues, at the start of the next operation.
  std::atomic<bool> commandLost{false};
  // The worker has ended: nothing queued goes out and no reply comes.
  std::atomic<bool> workerGone{false};

  // The worker's news for a waiting command thread: a reply byte, the worker
  // idle, a lost command, the worker gone.
  void Announce();
  // Waits until `ready()` holds or `deadline` passes: it looks again at each
  // announcement, and every few milliseconds for flags set without one
  // (operationFailed). Never spins. True when ready.
  bool AwaitNews(std::chrono::steady_clock::time_point deadline, const std::function<bool()>& ready);

 private:
  std::mutex newsMutex_;
  std::condition_variable news_;
  std::uint64_t newsCount_ = 0;
};

// Before a queued operation: bytes that an earlier, abandoned operation left
// in the three queues (commands not yet sent, replies that came after their
// wait) must not be taken for this one's. Waits for the worker to finish the
// command it is carrying (at most `limit`, the time the worker itself waits
// for one more byte; not at all once it is gone), then empties the queues
// and forgets a lost command.
void SettleQueues(LegacyQueues& queues, Millis limit);

}  // namespace brisko
