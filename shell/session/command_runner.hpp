#pragma once
#include <condition_variable>
#include <ctime>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

// The one way any front end runs a command (brisko-cli, the desktop window,
// tests, a gang of boards: one runner per board).
//
// Thread contract:
// - Every command runs on the runner's one command thread, one at a time, in
//   the order submitted. Nothing else touches the session record, the session
//   state or the serial port.
// - Every Operator call comes from that thread, because only commands make
//   them. A front end whose operator shows real dialogs carries the call to
//   its UI thread and blocks the command thread until it is answered.
// - The keep-alive of the one-second timer is a short command of its own: Tick
//   (any thread) writes the clock, port and baud panes at once and queues the
//   keep-alive only when no command is running or queued, so it never cuts
//   into a loader dialogue, not even while a command waits for an answer.
// - Front ends read the window's state through WindowModel::Snapshot or an
//   observer; both are safe from any thread (an observer is called on the
//   command thread and must copy what it needs).
// - Cancel (any thread) asks the running command to stop at its next safe
//   point; the command still puts back what it displaced.
class CommandRunner {
 public:
  using Command = std::function<CommandOutcome(Session&)>;
  using Done = std::function<void(const CommandOutcome&)>;

  explicit CommandRunner(Session& session);
  // Waits for the running command (cancelled) and ends the thread.
  ~CommandRunner();
  CommandRunner(const CommandRunner&) = delete;
  CommandRunner& operator=(const CommandRunner&) = delete;

  // Queues a command; `done` is called on the command thread with its outcome.
  // False (and nothing queued) while another command runs or waits.
  bool Start(Command command, Done done = {});
  // Runs a command and waits for its outcome (the calling thread must not be
  // the one that answers the operator's dialogs).
  CommandOutcome Run(Command command);

  // True from Start until the command has ended (its `done` is called after).
  bool Busy() const;
  // Blocks until no command runs or waits.
  void WaitIdle();

  // Asks the running command to stop at its next safe point.
  void Cancel();

  // The one-second timer: panes now, keep-alive queued when idle.
  void Tick(const std::tm& localTime);

 private:
  struct Job {
    Command command;
    Done done;
    bool isKeepAlive = false;
  };
  void Loop();

  Session& session_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> jobs_;
  bool running_ = false;  // a job is being run
  bool commandPending_ = false;  // a command (not a keep-alive) is queued or running
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace brisko
