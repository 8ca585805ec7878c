#pragma once
#include "link/link_timing.hpp"

namespace brisko::test {

// The protocol's limits scaled down 50 times: a 2 s input wait takes 40 ms, the
// 12 s synchronisation 240 ms.
inline LinkTiming FastTiming() { return LinkTiming::Scaled(0.02); }

}  // namespace brisko::test
