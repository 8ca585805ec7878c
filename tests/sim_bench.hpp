#pragma once
// Drives a SimTarget directly, byte by byte, on a clock the test moves; shared
// by the sim and the flash engine tests.
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_target.hpp"
#include "support/sim_chip.hpp"

namespace brisko::test {

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}
// A command frame: command, address high byte first, parameter.
inline Bytes Frame(std::uint8_t command, std::uint16_t address, std::uint8_t parameter) {
  return {command, static_cast<std::uint8_t>(address >> 8), static_cast<std::uint8_t>(address), parameter};
}
inline const Bytes kSyncGroup{0x80, 0xE0, 0xF8, 0xFE};
inline const Bytes kSyncRound = Cat({kSyncGroup, kSyncGroup, kSyncGroup, kSyncGroup});

// The mode-select pair a board of this model and memory mode understands.
inline Bytes ModeSelect(int model, int mode) {
  if (mode == kInternalMemory) return {0x05, 0x55};
  if (model == kKT540 || model == kKT550) return {0x05, 0x02};
  return {0x05, std::uint8_t(FamilyOf(model) == ChipFamily::KT400 ? 0x01 : 0x03)};
}

class SimBench {
 public:
  explicit SimBench(std::shared_ptr<sim::SimTarget> c) : chip(std::move(c)) {}
  explicit SimBench(sim::SimConfig config) : SimBench(std::make_shared<sim::SimTarget>(std::move(config))) {}
  SimBench(int model, int mode) : SimBench(ChipConfig(model, mode)) {}

  Bytes Send(const Bytes& bytes) {
    std::vector<sim::SimReply> replies;
    for (std::uint8_t b : bytes) chip->Receive(b, now, replies);
    Bytes out;
    for (const auto& r : replies) out.push_back(r.byte);
    return out;
  }
  void Wait(Millis m) { now += m; }

  // Reset, synchronisation, ready check and mode select; returns the status
  // byte, or -1 when some step went unanswered.
  int Detect() {
    chip->Reset();
    if (Send(kSyncRound) != Text("OK") || Send(Text("BSL")) != Text("RDY")) return -1;
    const Bytes status = Send(ModeSelect(chip->Config().model, chip->Config().memoryMode));
    return status.size() == 1 ? status[0] : -1;
  }

  Bytes Read(std::uint16_t address, std::uint8_t count) { return Send(Frame(0x0C, address, count)); }
  void Program(std::uint16_t address, const Bytes& data) {
    Send(Cat({Frame(0x0E, address, static_cast<std::uint8_t>(data.size())), data}));
  }

  std::shared_ptr<sim::SimTarget> chip;
  sim::SimClock::time_point now = sim::SimClock::now();
};

}  // namespace brisko::test
