#pragma once
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "sim/sim_target.hpp"

namespace brisko::sim {

// How the terminal side behaves beyond the chip itself.
struct PtyBehaviour {
  // The chip keeps its state when the host closes the terminal, as a real
  // chip does; by default it resets, standing in for the operator's reset
  // button between two runs of a host program.
  bool keepOnClose = false;
  // Each host byte reaches the chip this long after it arrived, as over a
  // slow line. A host that clears its output queue meanwhile (a flush seen
  // through the terminal's packet mode) loses the bytes the chip has not
  // taken yet, as it would on a real port.
  std::chrono::microseconds readLag{0};
};

// Serves one SimTarget on a pseudo-terminal. A pty has no modem lines, so
// two stand-ins take the place of the operator's reset button: the chip
// resets when the host closes the port (between two runs of a host program,
// however the earlier one ended; unless keepOnClose), and when the
// baud-detect pattern arrives while it is idle between two commands (the
// server turns the target's restartOnPattern on). Pattern bytes inside a
// command still arriving from a live host stay data.
class PtyServer {
 public:
  explicit PtyServer(std::shared_ptr<SimTarget> target, PtyBehaviour behaviour = {});
  ~PtyServer();

  // Opens the pty; returns false with a reason. SlavePath() is then valid, and
  // a symlink at linkPath (if not empty) points to it.
  bool Start(const std::string& linkPath, std::string& whyNot);
  const std::string& SlavePath() const;
  // Serves until `stop` becomes true (checked at least every 50 ms).
  void Run(const std::atomic<bool>& stop);
  // Where to report the chip's phase changes ("AwaitPattern -> AwaitReady");
  // none by default.
  void SetLog(std::function<void(const std::string&)> log);

 private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace brisko::sim
