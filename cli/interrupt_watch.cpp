#include "cli/interrupt_watch.hpp"

#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace brisko::cli {
namespace {

constexpr char kInterrupted = 'i';
constexpr char kQuit = 'q';
constexpr int kStatusOnSecondInterrupt = 130;

std::atomic<int> gWriteEnd{-1};
std::atomic<int> gInterrupts{0};

void OnInterrupt(int) {
  if (gInterrupts.fetch_add(1) > 0) ::_exit(kStatusOnSecondInterrupt);
  const int fd = gWriteEnd.load();
  if (fd >= 0) {
    const int saved = errno;
    [[maybe_unused]] const ssize_t written = ::write(fd, &kInterrupted, 1);
    errno = saved;
  }
}

}  // namespace

InterruptWatch::InterruptWatch(std::function<void()> onFirst) : onFirst_(std::move(onFirst)) {
  if (::pipe(pipe_) != 0) return;  // no watch: Ctrl-C then ends the process as usual
  gInterrupts = 0;
  gWriteEnd = pipe_[1];
  watcher_ = std::thread([this] { Watch(); });
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, &previous_);
}

InterruptWatch::~InterruptWatch() {
  if (!watcher_.joinable()) return;
  ::sigaction(SIGINT, &previous_, nullptr);
  gWriteEnd = -1;
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
