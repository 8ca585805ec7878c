#include "link/precise_timers.hpp"

#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace brisko {

void UsePreciseTimersOnThisThread() {
#if defined(__linux__)
  thread_local bool done = false;
  if (done) return;
  done = true;
  constexpr unsigned long kSlackNanoseconds = 1000;
  ::prctl(PR_SET_TIMERSLACK, kSlackNanoseconds, 0, 0, 0);
#endif
}

}  // namespace brisko
