#include "link/quiet_line.hpp"

#include <chrono>

#include "link/result_codes.hpp"

namespace brisko {

bool WaitForQuietLine(SerialPort& port, Millis quiet, Millis limit) {
  using Clock = std::chrono::steady_clock;
  if (!port.IsOpen()) return true;
  const auto deadline = Clock::now() + limit;
  for (;;) {
    port.PurgeInput();
    const auto silentSince = Clock::now();
    bool heard = false;
    while (!heard && Clock::now() - silentSince < quiet) heard = port.PollInput();
    if (!heard) return true;
    if (Clock::now() >= deadline) {
      port.PurgeInput();
      return false;
    }
  }
}

bool WaitForQuietLine(SerialPort& port, bool dialogueGivenUp) {
  const LinkTiming& t = port.Timing();
  const Millis quiet = dialogueGivenUp ? t.inputWait : t.pollWait * 10;
  return WaitForQuietLine(port, quiet, quiet + 2 * (t.inputWait + t.readCompletion));
}

}  // namespace brisko
