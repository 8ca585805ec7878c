#pragma once
#include <chrono>

namespace brisko {

using Millis = std::chrono::milliseconds;

// Every time limit and pause of the loader dialogue in one place. The defaults
// are the limits the loader protocol is built on; tests scale them down so that
// a 12-second synchronisation takes milliseconds. Shipped programs never
// change them.
struct LinkTiming {
  // Serial port.
  Millis inputWait{1999};          // WaitForInput: 1999 looks 1 ms apart
  Millis pollWait{9};              // PollInput: 9 looks
  Millis readCompletion{1000};     // one byte read once input is there
  Millis writeCompletion{1000};    // one single-byte write
  Millis writeBytesCompletion{2000};
  Millis drainWait{199};           // output queue drain before each write
  // Output queue drain before a purge or a close: what a WriteBytes may
  // leave in the queue, at the slowest accepted rate.
  Millis finalDrainWait{2000};

  // Detection.
  Millis syncLimit{12000};         // baud-detect rounds until "OK"

  // Flash engine.
  Millis queueReplyWait{1000};     // a reply byte polled from the reply queue
  Millis externalErasePause{30};   // after each external-bank sector erase frame
  Millis chipErasePause{100};
  Millis externalChipErasePause{20};
  int readRetries{3};              // re-waits for a read byte that did not come

  // Configuration commands.
  Millis lockPause{100};           // after each security or remap program command
  Millis configPause{20};          // after SC0/SC1/double clock

  // Serial cable test: rounds of the loop-back pattern until it comes back.
  Millis cableTestLimit{3000};

  // Legacy loader.
  Millis legacyWait{30000};
  Millis legacyPromptWait{6000};
  Millis legacyLateByte{500};        // a prompt this long into a reply: the command was dropped
  Millis legacyInstallPause{300};    // after 62h 62h starts the installer
  Millis legacyRestoreWait{6000};    // from the installer's start to the restore of block 0
  Millis legacyResumeSync{12000};    // baud-detect rounds after the upgrade
  Millis legacyFallbackResumeSync{10000};
  Millis unknownVersionSync{8000};   // how long a 1.1F loader is looked for first

  // Scaled-down limits for tests: each limit is `factor` times the default,
  // but never below 1 ms.
  static LinkTiming Scaled(double factor);
};

inline LinkTiming LinkTiming::Scaled(double factor) {
  auto scale = [factor](Millis m) {
    auto v = static_cast<long long>(static_cast<double>(m.count()) * factor);
    return Millis{v < 1 ? 1 : v};
  };
  LinkTiming t;
  t.inputWait = scale(t.inputWait);
  t.pollWait = scale(t.pollWait);
  t.readCompletion = scale(t.readCompletion);
  t.writeCompletion = scale(t.writeCompletion);
  t.writeBytesCompletion = scale(t.writeBytesCompletion);
  t.drainWait = scale(t.drainWait);
  t.finalDrainWait = scale(t.finalDrainWait);
  t.syncLimit = scale(t.syncLimit);
  t.queueReplyWait = scale(t.queueReplyWait);
  t.externalErasePause = scale(t.externalErasePause);
  t.chipErasePause = scale(t.chipErasePause);
  t.externalChipErasePause = scale(t.externalChipErasePause);
  t.lockPause = scale(t.lockPause);
  t.configPause = scale(t.configPause);
  t.cableTestLimit = scale(t.cableTestLimit);
  t.legacyWait = scale(t.legacyWait);
  t.legacyPromptWait = scale(t.legacyPromptWait);
  t.legacyLateByte = scale(t.legacyLateByte);
  t.legacyInstallPause = scale(t.legacyInstallPause);
  t.legacyRestoreWait = scale(t.legacyRestoreWait);
  t.legacyResumeSync = scale(t.legacyResumeSync);
  t.legacyFallbackResumeSync = scale(t.legacyFallbackResumeSync);
  t.unknownVersionSync = scale(t.unknownVersionSync);
  return t;
}

}  // namespace brisko
