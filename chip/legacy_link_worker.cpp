#include "chip/legacy_link_worker.hpp"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>

#include "link/report_texts.hpp"
#include "link/result_codes.hpp"

namespace brisko {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kPrompt = 0xF7;
constexpr std::uint8_t kNothingToDo = 0x61;
constexpr const char* kPurgeWarning = "Warning! Failed to purge in_buffer.";
constexpr std::chrono::microseconds kParameterLook{100};

// Messages of the worker's thread, kept for the command thread: every
// operator call comes from there.
class HeldMessages final : public MessageSink {
 public:
  void Tell(const std::string& text) override {
    std::lock_guard lock(mutex_);
    texts_.push_back(text);
  }
  std::vector<std::string> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(texts_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> texts_;
};

}  // namespace

struct LegacyLinkWorker::Shared {
  LegacyQueues queues;
  HeldMessages held;
  std::atomic<bool> run{true};
  std::atomic<bool> finished{false};
  std::atomic<int> result{0};
  std::mutex releaseMutex;
  std::condition_variable releaseChanged;
  bool released = false;
};

namespace {

// The worker's own state between two passes.
class WorkerLoop {
 public:
  WorkerLoop(LegacyQueues& q, MessageSink& held, std::atomic<bool>& run, SerialPort& port,
             std::atomic<bool>& failed)
      : q_(q), held_(held), run_(run), port_(port), failed_(failed) {}

  int Run() {
    failed_ = false;
    while (run_.load()) {
      const Pass pass = sending_ ? Send() : (readAfter_ || readOne_) ? Receive() : Prompt();
      if (pass == Pass::Stopped) return 0;
      if (pass == Pass::Failed) failed_ = true;
      if (failed_.load()) return -1;
    }
    return 0;
  }

 private:
  enum class Pass { Next, Stopped, Failed };

  Pass Send() {
    std::uint8_t byte = 0;
    {
      std::unique_lock held(q_.parameterMutex);
      if (q_.parameterQueue.IsEmpty()) {
        held.unlock();
        // The command thread queues a frame's bytes together, well ahead of
        // the line: this wait is rare and short, and must not spin.
        std::this_thread::sleep_for(kParameterLook);
        return Pass::Next;
      }
      if (!q_.parameterQueue.Get(byte)) {
        held.unlock();
        held_.Tell(text::kQueueReadFailed);
        return Pass::Next;
      }
    }
    if (!port_.WriteByte(byte)) return Pass::Failed;
    if (--count_ > 0) return Pass::Next;
    if (lengthFollows_) {
      count_ = byte == 0 ? 256 : byte;
      lengthFollows_ = false;
      if (readAfter_) sending_ = false;
    } else {
      sending_ = false;
    }
    return Pass::Next;
  }

  Pass Receive() {
    std::uint8_t byte = 0;
    if (!port_.ReadByte(byte)) return Pass::Failed;
    const auto now = Clock::now();
    // The loader prompts again when it has given up on a command; a prompt
    // that comes long after the command's previous byte is that, not data.
    // The command is lost, the loader is not: the prompt is answered.
    if (byte == kPrompt && lastByteTime_ && !failed_.load() &&
        now - *lastByteTime_ > port_.Timing().legacyLateByte)
      return CommandLost();
    lastByteTime_ = now;
    if (readOne_) {
      readOne_ = false;
    } else if (--count_ == 0) {
      readAfter_ = false;
    }
    if (failed_.load()) return Pass::Failed;
    {
      std::lock_guard held(q_.replyMutex);
      if (!q_.replyQueue.IsFull() && !q_.replyQueue.Put(byte)) held_.Tell(text::kQueueWriteFailed);
    }
    q_.Announce();
    return Pass::Next;
  }

  // The waiter for the lost command's reply learns at once that none comes.
  Pass CommandLost() {
    sending_ = readAfter_ = readOne_ = lengthFollows_ = false;
    q_.commandLost = true;
    q_.Announce();
    return AnswerPrompt();
  }

  // Waits for the loader's prompt, then answers it with the next command.
  Pass Prompt() {
    {
      std::lock_guard held(q_.commandMutex);
      q_.workerIdle = true;
    }
    q_.Announce();
    const auto deadline = Clock::now() + port_.Timing().legacyPromptWait;
    for (;;) {
      if (!run_.load()) return Pass::Stopped;
      if (failed_.load()) return Pass::Failed;
      if (Clock::now() > deadline) return Pass::Failed;
      // A short look keeps the worker quick to notice a stop.
      if (!port_.PollInput()) continue;
      std::uint8_t byte = 0;
      if (!port_.ReadByte(byte)) return Pass::Failed;
      if (byte == kPrompt) break;
    }
    return AnswerPrompt();
  }

  Pass AnswerPrompt() {
    TakeCommand();
    Arm();
    if (failed_.load()) return Pass::Failed;
    if (!port_.WriteByte(command_)) return Pass::Failed;
    // A dropped command is measured from the command itself, not from the
    // reply of an earlier one that may be long past.
    lastByteTime_ = Clock::now();
    return Pass::Next;
  }

  void TakeCommand() {
    std::lock_guard held(q_.commandMutex);
    if (q_.commandQueue.IsEmpty()) {
      command_ = kNothingToDo;
      return;
    }
    // Whatever the chip sent before this command belongs to no command.
    if (!port_.PurgeInput()) {
      held_.Tell(kPurgeWarning);
    } else if (!q_.commandQueue.Get(command_)) {
      command_ = kNothingToDo;
    }
    q_.workerIdle = command_ == kNothingToDo;
  }

  // The state for the command about to go out.
  void Arm() {
    sending_ = readAfter_ = readOne_ = lengthFollows_ = false;
    count_ = 3;
    switch (command_) {
      case 0x05:
        sending_ = readOne_ = true;
        count_ = 1;
        failed_ = false;
        break;
      case 0x06: sending_ = lengthFollows_ = readOne_ = true; break;
      case 0x0B: sending_ = readOne_ = true; break;
      case 0x0C: sending_ = lengthFollows_ = readAfter_ = true; break;
      case 0x0E: sending_ = lengthFollows_ = true; break;
      case 0x60: readAfter_ = true; break;
      case 0x62:
        sending_ = true;
        count_ = 1;
        failed_ = false;
        break;
      default: break;
    }
  }

  LegacyQueues& q_;
  MessageSink& held_;
  std::atomic<bool>& run_;
  SerialPort& port_;
  std::atomic<bool>& failed_;

  std::uint8_t command_ = kNothingToDo;
  bool sending_ = false;
  bool lengthFollows_ = false;
  bool readAfter_ = false;
  bool readOne_ = false;
  int count_ = 0;
  std::optional<Clock::time_point> lastByteTime_;
};

}  // namespace

LegacyLinkWorker::LegacyLinkWorker(SerialPort& port, std::atomic<bool>& operationFailed)
    : shared_(std::make_shared<Shared>()), port_(port), portOwner_(&port.Owner()) {
  thread_ = std::thread([shared = shared_, &port, &operationFailed] {
    {
      std::unique_lock lock(shared->releaseMutex);
      shared->releaseChanged.wait(lock, [&] { return shared->released || !shared->run.load(); });
    }
    int result = 0;
    if (shared->run.load()) {
      WorkerLoop loop(shared->queues, shared->held, shared->run, port, operationFailed);
      result = loop.Run();
    }
    shared->result = result;
    shared->finished = true;
    // Whoever waits on the worker learns at once that nothing more comes.
    shared->queues.workerGone = true;
    shared->queues.Announce();
  });
}

LegacyLinkWorker::~LegacyLinkWorker() { Stop(); }

LegacyQueues& LegacyLinkWorker::Queues() { return shared_->queues; }

void LegacyLinkWorker::Release() {
  port_.SetOwner(shared_->held);
  std::lock_guard lock(shared_->releaseMutex);
  shared_->released = true;
  shared_->releaseChanged.notify_all();
}

std::vector<std::string> LegacyLinkWorker::Stop() {
  {
    std::lock_guard lock(shared_->releaseMutex);
    shared_->run = false;
    shared_->releaseChanged.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  port_.SetOwner(*portOwner_);
  return shared_->held.Take();
}

bool LegacyLinkWorker::Finished() const { return shared_->finished.load(); }
int LegacyLinkWorker::ExitCode() const { return shared_->result.load(); }

namespace {

// One byte, waited for as long as a read waits, but given up within a poll's
// time once `cancel` is set.
bool ReadByteUnlessCancelled(SerialPort& port, std::uint8_t& byte, const std::atomic<bool>* cancel) {
  if (cancel == nullptr) return port.ReadByte(byte);
  const auto until = Clock::now() + port.Timing().inputWait;
  while (!cancel->load()) {
    if (port.PollInput()) return port.ReadByte(byte);
    if (Clock::now() >= until) return false;
  }
  return false;
}

}  // namespace

bool WaitForLegacyLoader(SerialPort& port, const std::atomic<bool>& operationFailed, std::uint8_t& status,
                        const std::atomic<bool>* cancel) {
  const auto deadline = Clock::now() + port.Timing().legacyWait;
  const auto stopped = [&] { return cancel != nullptr && cancel->load(); };
  for (;;) {
    if (operationFailed.load() || stopped()) return false;
    port.PurgeInput();
    port.PurgeOutput();
    port.SetLinesForInternalMode();
    std::uint8_t byte = 0;
    // The loader prompts while it waits for a command; the mode select
    // answers a prompt.
    while (Clock::now() < deadline && ReadByteUnlessCancelled(port, byte, cancel) && byte != kPrompt) {
    }
    if (stopped()) return false;
    if (!port.WriteByte(0x05) || !port.WriteByte(0x55)) return false;
    bool answered = false;
    while (!answered && !stopped() && Clock::now() < deadline)
      answered = ReadByteUnlessCancelled(port, byte, cancel);
    if (answered && byte != kPrompt) {
      port.SetLinkUp();
      status = byte;
      return true;
    }
    if (Clock::now() >= deadline) return false;
  }
}

}  // namespace brisko
