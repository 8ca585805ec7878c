#include "cli/interrupt_watch.hpp"

#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "shell/session/displaced_notice.hpp"

namespace brisko::cli {
namespace {

constexpr char kInterrupted = 'i';
constexpr char kQuit = 'q';
constexpr int kStatusOnSecondInterrupt = 130;
constexpr std::array<int, 4> kSignals = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

std::atomic<int> gWriteEnd{-1};
std::atomic<int> gInterrupts{0};
std::array<std::atomic<const DisplacedNotice*>, InterruptWatch::kMostNotices> gNotices{};

void WriteAll(const char* text, std::size_t n) {
  while (n > 0) {
    const ssize_t written = ::write(STDERR_FILENO, text, n);
    if (written <= 0) return;
    text += written;
    n -= static_cast<std::size_t>(written);
  }
}

// Only async-signal-safe calls: write, _exit, and reads of atomics and of the
// notice, whose text was prepared before anything was displaced.
void OnInterrupt(int) {
  if (gInterrupts.fetch_add(1) > 0) {
    for (const auto& slot : gNotices) {
      const DisplacedNotice* notice = slot.load();
      if (!notice) continue;
      const auto text = notice->ForSignalHandler();
      if (!text.empty()) {
        WriteAll("\n", 1);
        WriteAll(text.data(), text.size());
        WriteAll("\n", 1);
      }
    }
    ::_exit(kStatusOnSecondInterrupt);
  }
  const int fd = gWriteEnd.load();
  if (fd >= 0) {
    const int saved = errno;
    [[maybe_unused]] const ssize_t written = ::write(fd, &kInterrupted, 1);
    errno = saved;
  }
}

}  // namespace

InterruptWatch::InterruptWatch(std::function<void()> onFirst, const DisplacedNotice* notice)
    : InterruptWatch(std::move(onFirst), std::vector<const DisplacedNotice*>{notice}) {}

InterruptWatch::InterruptWatch(std::function<void()> onFirst, const std::vector<const DisplacedNotice*>& notices)
    : onFirst_(std::move(onFirst)) {
  if (::pipe(pipe_) != 0) return;  // no watch: a signal then ends the process as usual
  gInterrupts = 0;
  gWriteEnd = pipe_[1];
  for (std::size_t i = 0; i < gNotices.size(); ++i) gNotices[i] = i < notices.size() ? notices[i] : nullptr;
  watcher_ = std::thread([this] { Watch(); });
  for (std::size_t i = 0; i < kSignals.size(); ++i) {
    struct sigaction action {};
    action.sa_handler = kSignals[i] == SIGPIPE ? SIG_IGN : OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(kSignals[i], &action, &previous_[i]);
  }
}

InterruptWatch::~InterruptWatch() {
  if (!watcher_.joinable()) return;
  for (std::size_t i = 0; i < kSignals.size(); ++i) ::sigaction(kSignals[i], &previous_[i], nullptr);
  gWriteEnd = -1;
  for (auto& slot : gNotices) slot = nullptr;
  [[maybe_unused]] const ssize_t written = ::write(pipe_[1], &kQuit, 1);
  watcher_.join();
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

void InterruptWatch::Watch() {
  for (;;) {
    char byte = 0;
    const ssize_t got = ::read(pipe_[0], &byte, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || byte == kQuit) return;
    if (onFirst_) onFirst_();
  }
}

}  // namespace brisko::cli
