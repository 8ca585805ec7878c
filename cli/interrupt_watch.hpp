#pragma once
#include <signal.h>

#include <functional>
#include <thread>

namespace brisko::cli {

// Ctrl-C while a command runs. The first SIGINT calls `onFirst` on a watcher
// thread (the signal handler only writes a byte to a pipe, which is safe in a
// handler); a second SIGINT ends the process at once with status 130, leaving
// behind whatever files the command wrote (a block-0 recovery file among
// them). One watch at a time; the previous handler comes back when it goes.
class InterruptWatch {
 public:
  explicit InterruptWatch(std::function<void()> onFirst);
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

 private:
  void Watch();

  std::function<void()> onFirst_;
  int pipe_[2] = {-1, -1};
  struct sigaction previous_ {};
  std::thread watcher_;
};

}  // namespace brisko::cli
