#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/queue_ops.hpp"
#include "link/serial_port.hpp"

namespace brisko {

// The carrier of every command to a 1.1E loader after the first hand-shake.
// That loader prompts with F7h before each command; the worker, a thread of
// its own, answers each prompt with the next byte of commandQueue (61h when
// there is none), moves the command's parameter bytes from parameterQueue to
// the chip and the chip's reply bytes into replyQueue. The command thread
// reaches the chip only through the queues while the worker serves the port.
//
// The queues and flags the two threads share are held by shared ownership;
// the port and the operationFailed latch belong to the session and outlive the
// worker because Stop() (also run by the destructor) joins the thread. Every
// wait of the worker is bounded, so the join is too.
class LegacyLinkWorker {
 public:
  LegacyLinkWorker(SerialPort& port, std::atomic<bool>& operationFailed);
  ~LegacyLinkWorker();
  LegacyLinkWorker(const LegacyLinkWorker&) = delete;
  LegacyLinkWorker& operator=(const LegacyLinkWorker&) = delete;

  LegacyQueues& Queues();

  // The thread starts at construction but does not touch the port until it
  // is released: the command thread's own hand-shake with the loader
  // (WaitForLegacyLoader) reads the port first, and the two must never read
  // it at the same time. From here until Stop() the port's messages are held
  // for the command thread.
  void Release();

  // Tells the worker to stop, waits for the thread, gives the port back to
  // its owner and returns the messages held meanwhile, in order, for the
  // command thread to tell. Safe to call more than once.
  std::vector<std::string> Stop();

  // The thread has ended: stopped, or given up with operationFailed set (a
  // port that failed, or a chip that stopped prompting). A command the chip
  // gives up on ends nothing: its waiter is told (commandLost) and the worker
  // answers the loader's next prompt.
  bool Finished() const;
  // 0 when stopped through Stop(), -1 after a failure; meaningful once
  // Finished().
  int ExitCode() const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  SerialPort& port_;
  MessageSink* portOwner_;
  std::thread thread_;
};

// Finds a 1.1E loader after a reset: waits for its prompt, sends 05h 55h and
// takes the status byte that answers it. True with the status byte and the
// link up, false when operationFailed is set, a write fails, timing.legacyWait passes
// without an answer, or `cancel` (when given) is set: the wait displaces
// nothing, so a cancel ends it within a poll's time.
[[nodiscard]] bool WaitForLegacyLoader(SerialPort& port, const std::atomic<bool>& operationFailed,
                                       std::uint8_t& status, const std::atomic<bool>* cancel = nullptr);

}  // namespace brisko
