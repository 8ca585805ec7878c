#include "sim/legacy_loader.hpp"

#include <algorithm>
#include <span>

#include "firmware/firmware.hpp"

namespace brisko::sim {
namespace {

using Out = std::vector<SimReply>;
using Phase = SimTarget::Phase;

constexpr std::uint8_t kPrompt = 0xF7;
constexpr std::uint8_t kAck = 0xC0;
constexpr std::uint32_t kInstallerSize = 1280;
constexpr std::uint32_t kLegacyShorterBy = 3;  // sectors of block 1

enum class Step { Wait, Done, NotUnderstood, Idle, Jumped };

std::optional<FlashSpot> Block0Spot(const SimChipState& c, std::uint16_t address) {
  if (address >= c.chip.block0Size) return std::nullopt;
  return FlashSpot{0, address};
}

void Erase(SimChipState& c, Out& out) {
  const auto& p = c.pending;
  const int occurrence = c.counters.Count(p[0]);
  const bool refused = c.counters.RefuseNextErase(c.config.faults);
  const auto spot = Block0Spot(c, FrameAddress(p));
  if (!spot || p[3] != 0x01 || !c.SectorsInside(*spot, 1)) return;
  if (!refused) c.EraseSectors(*spot, 1);
  c.Answer(p[0], occurrence, {refused ? std::uint8_t{0x00} : kAck}, out);
}

void Read(SimChipState& c, Out& out) {
  const auto& p = c.pending;
  const int occurrence = c.counters.Count(p[0]);
  const std::uint32_t n = FrameCount(p[3]);
  const auto spot = Block0Spot(c, FrameAddress(p));
  if (!spot || !c.RangeInside(*spot, n)) return;
  c.Answer(p[0], occurrence, c.Read(*spot, n), out);
}

void Program(SimChipState& c) {
  const auto& p = c.pending;
  c.counters.Count(p[0]);
  const std::uint32_t n = FrameCount(p[3]);
  const auto spot = Block0Spot(c, FrameAddress(p));
  if (!spot || !c.RangeInside(*spot, n)) return;
  c.Program(*spot, std::span<const std::uint8_t>(p).subspan(4, n));
}

bool InstallerInBlock0(const SimChipState& c) {
  const auto& image = firmware::LegacyInstallerImage;
  if (image.size() != kInstallerSize || c.chip.block0Size < kInstallerSize) return false;
  const auto held = c.Read({0, 0}, kInstallerSize);
  return std::equal(held.begin(), held.end(), image.begin());
}

// 62h 62h: the chip leaves the loader for the code at 0000h.
void RunCode(SimChipState& c) {
  c.counters.Count(0x62);
  if (InstallerInBlock0(c)) {
    c.InstallLoader11F();
    c.Reset();
  } else {
    c.phase = Phase::UserCode;
  }
}

Step CommandStep(SimChipState& c, Out& out) {
  const auto& p = c.pending;
  const std::uint8_t command = p[0];
  switch (command) {
    case 0x05:
      if (p.size() < 2) return Step::Wait;
      if (p[1] != 0x55) return Step::NotUnderstood;
      c.Answer(command, c.counters.Count(command), {c.StatusByte()}, out);
      return Step::Done;
    case 0x60: {
      const std::uint8_t chipCode = c.config.model == kKT410 ? 0xE4 : 0xE2;
      c.Answer(command, c.counters.Count(command), {chipCode, 0x11, 'E'}, out);
      return Step::Done;
    }
    case 0x61: return Step::Idle;
    case 0x62:
      if (p.size() < 2) return Step::Wait;
      if (p[1] != 0x62) return Step::NotUnderstood;
      RunCode(c);
      return Step::Jumped;
    case 0x0B:
      if (p.size() < 4) return Step::Wait;
      Erase(c, out);
      return Step::Done;
    case 0x0C:
      if (p.size() < 4) return Step::Wait;
      Read(c, out);
      return Step::Done;
    case 0x0E:
      if (p.size() < 4 || p.size() < 4 + FrameCount(p[3])) return Step::Wait;
      Program(c);
      return Step::Done;
    default: return Step::NotUnderstood;
  }
}

}  // namespace

void LegacyState::Boot(const SimChipState& chip, std::chrono::steady_clock::time_point now) {
  commandLost = false;
  nextPrompt.reset();
  if (chip.phase == Phase::LegacyLoader) nextPrompt = now + chip.config.legacyIdlePrompt;
}

void LegacyLoaderByte(SimChipState& c, std::uint8_t byte, SimClock::time_point now, Out& out) {
  if (c.pending.empty() && !c.legacy.commandLost && c.config.legacyLoseCommand != 0 &&
      byte == c.config.legacyLoseCommand) {
    c.legacy.commandLost = true;
    return;
  }
  c.pending.push_back(byte);
  const Step step = CommandStep(c, out);
  const Millis timeout = c.config.legacyCommandTimeout;
  switch (step) {
    case Step::Wait: c.legacy.nextPrompt = now + timeout; return;
    case Step::Done:
      out.push_back({kPrompt, Millis{0}});
      c.legacy.nextPrompt = now + timeout;
      break;
    case Step::NotUnderstood: c.legacy.nextPrompt = now + timeout; break;
    case Step::Idle: c.legacy.nextPrompt = now + c.config.legacyIdlePrompt; break;
    case Step::Jumped:
      if (c.phase != Phase::LegacyLoader) c.legacy.nextPrompt.reset();
      break;
  }
  c.pending.clear();
}

void LegacyLoaderTick(SimChipState& c, SimClock::time_point now, Out& out) {
  if (!c.legacy.nextPrompt || now < *c.legacy.nextPrompt) return;
  c.pending.clear();
  out.push_back({kPrompt, Millis{0}});
  c.legacy.nextPrompt = now + c.config.legacyCommandTimeout;
}

std::size_t LegacyLoaderBytes(const SimChip& chip) {
  return (chip.loaderSectors - kLegacyShorterBy) * chip.block1SectorSize;
}

bool DebugMonitorInstalled(const SimChipState& c) {
  std::span<const std::uint8_t> image;
  switch (c.config.model) {
    case kKT410: image = firmware::ProbexKT410Block1; break;
    case kKT420: image = firmware::ProbexKT420Block1; break;
    case kKT540:
    case kKT550: image = firmware::ProbexKT540; break;
    case kKT530:
    case kKT560: image = firmware::ProbexKT530; break;
    case kKT570: image = firmware::ProbexKT570; break;
    default: return false;
  }
  if (image.empty() || image.size() > c.chip.block1Size) return false;
  return std::equal(image.begin(), image.end(), c.flash[1].Data());
}

SimTarget::Phase StartPhase(const SimChipState& c) {
  if (c.legacyLoader) return Phase::LegacyLoader;
  // Neither a whole loader nor the debug monitor: the chip runs whatever a
  // half-written block 1 holds, and answers nothing.
  if (DebugMonitorInstalled(c) || !c.LoaderIntact()) return Phase::Halted;
  return Phase::AwaitPattern;
}

}  // namespace brisko::sim
