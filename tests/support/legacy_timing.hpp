#pragma once
#include "link/link_timing.hpp"
#include "sim/sim_target.hpp"

namespace brisko::test {

using namespace std::chrono_literals;

// Scaled-down limits for the 1.1E loader's worker. A reply byte is waited for
// longer than the simulated loader takes to give up on a command (so that its
// new prompt, not a time-out, ends a dropped command), and the late-prompt
// threshold lies well between the two.
inline LinkTiming LegacyTiming() {
  LinkTiming t = LinkTiming::Scaled(0.05);
  t.inputWait = 400ms;
  t.queueReplyWait = 250ms;
  t.legacyLateByte = 100ms;
  t.legacyPromptWait = 600ms;
  return t;
}

// The same on a pseudo-terminal, which passes each byte through two
// threads' (or processes') schedulers: more room for a byte to come.
inline LinkTiming PtyLegacyTiming() {
  LinkTiming t = LegacyTiming();
  t.queueReplyWait = 600ms;
  t.inputWait = 800ms;
  return t;
}

inline sim::SimConfig LegacyChipConfig(int model, std::uint8_t remapBits = 0) {
  sim::SimConfig config;
  config.model = model;
  config.legacyLoader = true;
  config.remapBits = remapBits;
  config.legacyIdlePrompt = 2ms;
  config.legacyCommandTimeout = 200ms;
  return config;
}

}  // namespace brisko::test
