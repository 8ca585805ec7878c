#include "shell/session/command_runner.hpp"

#include "shell/session/session.hpp"

namespace brisko {

CommandRunner::CommandRunner(Session& session) : session_(session), thread_([this] { Loop(); }) {}

CommandRunner::~CommandRunner() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  session_.State().cancelRequested = true;
  changed_.notify_all();
  thread_.join();
}

bool CommandRunner::Start(Command command, Done done) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_ || commandPending_) return false;
    commandPending_ = true;
    // A cancel belongs to the command it was asked for: it holds from here
    // to the command's end, however many steps the command takes.
    session_.State().cancelRequested = false;
    jobs_.push_back(Job{std::move(command), std::move(done), false});
  }
  changed_.notify_all();
  return true;
}

CommandOutcome CommandRunner::Run(Command command) {
  std::promise<CommandOutcome> result;
  auto future = result.get_future();
  if (!Start(std::move(command), [&result](const CommandOutcome& o) { result.set_value(o); }))
    return CommandOutcome::Refused(Refusal::None);
  return future.get();
}

bool CommandRunner::Busy() const {
  std::lock_guard lock(mutex_);
  return commandPending_;
}

void CommandRunner::WaitIdle() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return jobs_.empty() && !running_; });
}

void CommandRunner::Cancel() {
  std::lock_guard lock(mutex_);
  if (commandPending_) session_.State().cancelRequested = true;
}

void CommandRunner::Tick(const std::tm& localTime) {
  session_.Window().UpdateClockPane(localTime);
  session_.UpdatePortPane();
  session_.UpdateBaudPane();
  if (localTime.tm_sec % 10 != 0) return;
  {
    std::lock_guard lock(mutex_);
    if (stopping_ || commandPending_ || running_ || !jobs_.empty()) return;
    jobs_.push_back(Job{[](Session& session) {
                          session.KeepAlive();
                          return CommandOutcome::Success();
                        },
                        {}, true});
  }
  changed_.notify_all();
}

void CommandRunner::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (stopping_) break;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    running_ = true;
    lock.unlock();

    const CommandOutcome outcome = job.command(session_);

    lock.lock();
    running_ = false;
    if (!job.isKeepAlive) commandPending_ = false;
    changed_.notify_all();
    // The runner is free again when `done` learns the outcome, so `done` (or
    // whoever it wakes) may start the next command at once.
    lock.unlock();
    if (job.done) job.done(outcome);
    lock.lock();
  }
  running_ = false;
  commandPending_ = false;
  changed_.notify_all();
}

}  // namespace brisko
