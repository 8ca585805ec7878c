#pragma once
// Shared rig of the flash engine tests: a FlashEngine on a real SerialPort,
// with a progress pane that keeps what it was shown and a message sink.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/result_codes.hpp"
#include "support/result_print.hpp"
#include "link/serial_port.hpp"
#include "sim/sim_device.hpp"
#include "sim_bench.hpp"
#include "support/fast_timing.hpp"
#include "support/recording_sink.hpp"
#include "chip/flash_engine.hpp"
#include "chip/progress_sink.hpp"
#include "chip/session_state.hpp"

namespace brisko::test {

// The bar as one line: "N" sets the range, "/" resets, "+" advances and
// "[text]" is a label shown.
class RecordingProgress final : public ProgressSink {
 public:
  void ProgressSetRange(int max) override { log += std::to_string(max); }
  void ProgressReset() override { log += '/'; }
  void ProgressAdvance() override {
    log += '+';
    if (onAdvance) onAdvance();
  }
  void ProgressSetText(const std::string& label) override { log += '[' + label + ']'; }
  std::string log;
  std::function<void()> onAdvance;
};

// Returns within this bound when a failure is bounded with FastTiming; a
// wait at the shipped limits (or an endless one) would exceed it.
inline constexpr std::chrono::milliseconds kGenerousBound{1500};

struct Stopwatch {
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  auto Elapsed() const { return std::chrono::steady_clock::now() - start; }
};

// The engine on a SerialPort over whatever device `open` gives; `device` is
// the one it gave last.
struct EngineRig {
  explicit EngineRig(DeviceOpener open, LinkTiming t = FastTiming())
      : timing(t),
        port(
            messages,
            [this, open = std::move(open)](const std::string& name, std::string& whyNot) {
              auto d = open(name, whyNot);
              device = d.get();
              return d;
            },
            timing),
        engine(port, state, progress, messages) {}

  LinkTiming timing;
  RecordingSink messages;
  SerialDevice* device = nullptr;
  SerialPort port;
  SessionState state;
  RecordingProgress progress;
  FlashEngine engine;
};

// The engine over an in-process simulated chip.
struct SimRig : SimChip, EngineRig {
  explicit SimRig(int model) : SimChip(ChipConfig(model)), EngineRig(sim::SimOpener(target)) {}

  // Opens the port (whose rising RTS resets the chip) and takes the loader
  // through its handshake. The wire log, progress and messages start empty.
  bool Connect() {
    if (port.Open() != Result::Ok || SimBench(target).Detect() != 0x00) return false;
    ClearWire();
    progress.log.clear();
    messages.messages.clear();
    return true;
  }
  sim::FaultPlan& Faults() { return target->Faults(); }
};

}  // namespace brisko::test
