#pragma once

namespace brisko {

// The loader dialogue is a string of waits of a few hundred microseconds (one
// byte takes 260 us at 38400 bit/s). Linux lets a sleeping thread oversleep by
// its timer slack, 50 us by default, which would stretch every byte by a
// fifth. This lowers the calling thread's slack to 1 us, once per thread; a
// no-op elsewhere.
void UsePreciseTimersOnThisThread();

}  // namespace brisko
