#pragma once
// Shared rig of the flash engine tests: a FlashEngine on a real SerialPort,
// with a progress pane and a message sink that record every call.
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

using Log = std::vector<std::string>;

// Logs every call as "range N", "reset", "advance" or the label itself.
class RecordingProgress final : public ProgressSink {
 public:
  void ProgressSetRange(int max) override { log.push_back("range " + std::to_string(max)); }
  void ProgressReset() override { log.push_back("reset"); }
  void ProgressAdvance() override {
    log.push_back("advance");
    if (onAdvance) onAdvance();
  }
  void ProgressSetText(const std::string& label) override {
    log.push_back(label);
    labels.push_back(label);
  }
  std::string LastLabel() const { return labels.empty() ? "" : labels.back(); }
  void Clear() { log.clear(), labels.clear(); }
  Log log;
  Log labels;
  std::function<void()> onAdvance;
};

// Returns within this bound when a failure is bounded with FastTiming; a
// wait at the shipped limits (or an endless one) would exceed it.
inline constexpr std::chrono::milliseconds kGenerousBound{1500};

class Stopwatch {
 public:
  std::chrono::milliseconds Elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
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
    progress.Clear();
    messages.messages.clear();
    return true;
  }
  sim::FaultPlan& Faults() { return target->Faults(); }
};

}  // namespace brisko::test
