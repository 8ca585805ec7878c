#pragma once
// Shared rig of the flash engine tests: a FlashEngine on a real SerialPort over
// the in-process simulated chip (or a scripted device), with a progress pane
// and a message sink that record every call.
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "link/command_primitives.hpp"
#include "link/result_codes.hpp"
#include "link/serial_port.hpp"
#include "sim/sim_device.hpp"
#include "sim/sim_target.hpp"
#include "support/fast_timing.hpp"
#include "support/recording_sink.hpp"
#include "target/flash_engine.hpp"
#include "target/handshake.hpp"
#include "target/progress_sink.hpp"
#include "target/session_state.hpp"

namespace brisko::test {

// Logs every call as "range N", "reset", "advance" or the label itself.
class RecordingProgress final : public ProgressSink {
 public:
  void ProgressSetRange(int max) override { log.push_back("range " + std::to_string(max)); }
  void ProgressReset() override { log.push_back("reset"); }
  void ProgressAdvance() override { log.push_back("advance"); }
  void ProgressSetText(const std::string& label) override {
    log.push_back(label);
    labels.push_back(label);
  }
  int Advances() const {
    int n = 0;
    for (const auto& e : log) n += e == "advance";
    return n;
  }
  std::string LastLabel() const { return labels.empty() ? "" : labels.back(); }
  void Clear() {
    log.clear();
    labels.clear();
  }
  std::vector<std::string> log;
  std::vector<std::string> labels;
};

// A DeviceOpener that remembers the device it handed out, so that a test can
// pull the cable.
inline DeviceOpener KeepingDevice(DeviceOpener inner, SerialDevice** kept) {
  return [inner = std::move(inner), kept](const std::string& name, std::string& whyNot) {
    auto device = inner(name, whyNot);
    *kept = device.get();
    return device;
  };
}

inline std::vector<std::uint8_t> Concat(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

// n bytes of a non-blank pattern that differs per seed.
inline std::vector<std::uint8_t> Pattern(std::size_t n, std::uint8_t seed = 1) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + seed) % 0xF0);
  return bytes;
}

inline std::vector<std::uint8_t> FrameBytes(std::uint8_t command, std::uint16_t address, std::uint8_t parameter) {
  Frame f = MakeFrame(command, address, parameter);
  return {f.bytes, f.bytes + 4};
}

class Stopwatch {
 public:
  std::chrono::milliseconds Elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// A limit no healthy bounded failure comes near with FastTiming, while a wait
// at the shipped limits (or an endless one) would exceed it.
inline constexpr std::chrono::milliseconds kGenerousBound{1500};

// The engine on a SerialPort over an in-process simulated chip.
struct SimRig {
  explicit SimRig(sim::SimConfig config, LinkTiming t = FastTiming())
      : timing(t),
        target(std::make_shared<sim::SimTarget>(std::move(config))),
        port(messages, KeepingDevice(sim::SimOpener(target), &device), timing),
        engine(port, state, progress, messages) {}

  static sim::SimConfig Model(int model) {
    sim::SimConfig config;
    config.model = model;
    return config;
  }

  // Opens the port, resets the chip with the rising RTS of the internal-mode
  // line sequence and takes the loader through its handshake. The wire log,
  // progress and messages start empty afterwards.
  bool Connect() {
    if (port.Open() != kResultOk) return false;
    port.SetLinesForInternalMode();
    if (SynchroniseBaud(port, timing.syncLimit) != SyncOutcome::Locked) return false;
    if (CheckReady(port) != ReadyOutcome::Ready) return false;
    const std::uint8_t modeSelect[2] = {0x05, 0x55};
    if (port.WriteBytes(modeSelect, 2) != kByteOk) return false;
    std::uint8_t status = 0;
    if (port.ReadByte(status) != kByteOk) return false;
    handshakeBytes = static_cast<long>(target->HostBytes().size());
    target->ClearHostBytes();
    progress.Clear();
    messages.messages.clear();
    return true;
  }

  std::vector<std::uint8_t> Wire() const { return target->HostBytes(); }

  LinkTiming timing;
  std::shared_ptr<sim::SimTarget> target;
  RecordingSink messages;
  SerialDevice* device = nullptr;
  SerialPort port;
  SessionState state;
  RecordingProgress progress;
  FlashEngine engine;
  // Host bytes since the chip's reset when Connect finished; fault plans
  // count from the reset.
  long handshakeBytes = 0;
};

// A serial device whose far end is a function of the bytes the host sent: each
// host byte goes to `respond`, which may append reply bytes. It records the
// host bytes and when the host first looked for input after each write.
class ScriptedDevice final : public SerialDevice {
 public:
  using Clock = std::chrono::steady_clock;
  using Responder = std::function<void(std::uint8_t, std::deque<std::uint8_t>&)>;

  explicit ScriptedDevice(Responder respond) : respond_(std::move(respond)) {}

  bool Configure(unsigned) override { return true; }
  std::size_t InputAvailable() override {
    NoteLook();
    return replies_.size();
  }
  bool WaitForInput(Millis limit) override {
    NoteLook();
    if (!replies_.empty()) return true;
    std::this_thread::sleep_for(limit);
    return false;
  }
  long ReadAvailable(std::uint8_t* out, std::size_t count) override {
    NoteLook();
    std::size_t n = 0;
    for (; n < count && !replies_.empty(); ++n) {
      out[n] = replies_.front();
      replies_.pop_front();
    }
    return static_cast<long>(n);
  }
  bool Write(const std::uint8_t* data, std::size_t count, Millis) override {
    for (std::size_t i = 0; i < count; ++i) {
      sent.push_back(data[i]);
      respond_(data[i], replies_);
    }
    lastWrite_ = Clock::now();
    looked_ = false;
    return true;
  }
  bool DrainOutput(Millis) override { return true; }
  void PurgeInput() override { replies_.clear(); }
  void PurgeOutput() override {}
  void SetDtr(bool) override {}
  void SetRts(bool) override {}

  std::vector<std::uint8_t> sent;
  // When the host first looked for input after a write: the number of host
  // bytes sent by then, and how long after the write it looked.
  std::vector<std::pair<std::size_t, Millis>> firstLookAfterWrite;

 private:
  void NoteLook() {
    if (looked_) return;
    looked_ = true;
    firstLookAfterWrite.emplace_back(sent.size(), std::chrono::duration_cast<Millis>(Clock::now() - lastWrite_));
  }

  Responder respond_;
  std::deque<std::uint8_t> replies_;
  Clock::time_point lastWrite_ = Clock::now();
  bool looked_ = true;
};

// The engine on a SerialPort over a ScriptedDevice.
struct ScriptedRig {
  explicit ScriptedRig(ScriptedDevice::Responder respond, LinkTiming t = FastTiming())
      : timing(t),
        port(messages,
             [this, respond](const std::string&, std::string&) {
               auto d = std::make_unique<ScriptedDevice>(respond);
               device = d.get();
               return std::unique_ptr<SerialDevice>(std::move(d));
             },
             timing),
        engine(port, state, progress, messages) {
    port.Open();
  }

  LinkTiming timing;
  RecordingSink messages;
  ScriptedDevice* device = nullptr;
  SerialPort port;
  SessionState state;
  RecordingProgress progress;
  FlashEngine engine;
};

}  // namespace brisko::test
