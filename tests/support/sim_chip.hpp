#pragma once
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "sim/sim_target.hpp"
#include "support/fast_timing.hpp"
#include "support/temp_dir.hpp"

namespace brisko::test {

using Bytes = std::vector<std::uint8_t>;

// `a` followed by `b`.
inline Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Bytes that differ from sector to sector and never make a blank chunk.
inline Bytes Pattern(std::size_t n, unsigned seed) {
  Bytes bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + seed * 31 + i / 256) % 251);
  return bytes;
}

inline sim::SimConfig ChipConfig(int model, int memoryMode = kInternalMemory) {
  sim::SimConfig config;
  config.model = model;
  config.memoryMode = memoryMode;
  config.chipEraseBusy = sim::SimConfig::ChipEraseBusyFor(FastTiming());
  return config;
}

// A simulated chip for a test, its flash and the host bytes it received, with
// the test's files in a temporary folder.
class SimChip : public TestFiles {
 public:
  explicit SimChip(const sim::SimConfig& config) : target(std::make_shared<sim::SimTarget>(config)) {}

  // Flash of block `block` from a block offset.
  Bytes Flash(int block, std::size_t offset, std::size_t n) const {
    const FlashImage& f = target->Flash(block);
    return Bytes(f.Data() + offset, f.Data() + offset + n);
  }
  void SetFlash(int block, std::size_t offset, const Bytes& bytes) {
    std::copy(bytes.begin(), bytes.end(), target->Flash(block).Data() + offset);
  }

  const Bytes& Wire() const { return target->HostBytes(); }
  bool WireHas(const Bytes& run) const {
    return std::search(Wire().begin(), Wire().end(), run.begin(), run.end()) != Wire().end();
  }
  void ClearWire() { target->ClearHostBytes(); }

  std::shared_ptr<sim::SimTarget> target;
};

}  // namespace brisko::test
