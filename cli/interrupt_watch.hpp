#pragma once
#include <signal.h>

#include <array>
#include <functional>
#include <thread>
#include <vector>

namespace brisko {
class DisplacedNotice;
}

namespace brisko::cli {

// Ctrl-C, SIGTERM and SIGHUP while a command runs (a closed terminal, a
// `timeout`, a service manager stopping the job all mean "stop"). The first
// one calls `onFirst` on a watcher thread (the signal handler only writes a
// byte to a pipe, which is safe in a handler); a second one ends the process
// at once with status 130, after writing `notice` (what is displaced on the
// chip and where its recovery file is) to stderr when it says anything.
// SIGPIPE is ignored meanwhile, so a reader of the output that went away
// cannot end the process half way through a command. One watch at a time;
// the previous handlers come back when it goes.
class InterruptWatch {
 public:
  explicit InterruptWatch(std::function<void()> onFirst, const DisplacedNotice* notice = nullptr);
  // Several boards at once: the second signal writes every notice that says
  // something (at most kMostNotices of them).
  InterruptWatch(std::function<void()> onFirst, const std::vector<const DisplacedNotice*>& notices);
  static constexpr std::size_t kMostNotices = 32;
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

 private:
  void Watch();

  std::function<void()> onFirst_;
  int pipe_[2] = {-1, -1};
  std::array<struct sigaction, 4> previous_{};
  std::thread watcher_;
};

}  // namespace brisko::cli
