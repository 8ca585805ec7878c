#include "sim/sim_target.hpp"

#include <mutex>

#include "sim/command_step.hpp"
#include "sim/legacy_loader.hpp"
#include "sim/sim_chip_state.hpp"

namespace brisko::sim {
namespace {

using Phase = SimTarget::Phase;
using Out = std::vector<SimReply>;

constexpr std::uint8_t kOkCommand = 0x80;
constexpr std::uint8_t kReadyCommand = 'B';
constexpr std::uint8_t kModeSelect = 0x05;
constexpr char kReadyRequest[] = "BSL";

// The loader answers "OK" at the first complete group once it has measured
// the bit rate, which a fault may make take longer.
void SyncGroupComplete(SimChipState& c, SimClock::time_point now, Out& out) {
  const FaultPlan& plan = c.config.faults;
  if (plan.noOk || !c.syncStart || now - *c.syncStart < plan.okDelay) return;
  c.Answer(kOkCommand, c.counters.Count(kOkCommand), {'O', 'K'}, out);
  c.phase = Phase::AwaitReady;
  c.readyMatched = 0;
}

void AwaitPatternByte(SimChipState& c, std::uint8_t byte, SimClock::time_point now, Out& out) {
  if (c.HiddenByConfiguration()) return;
  const bool complete = c.sync.Feed(byte, now);
  if (!c.syncStart && (complete || c.sync.InGroup())) c.syncStart = c.sync.GroupStart();
  if (complete) SyncGroupComplete(c, now, out);
}

// Pattern bytes still arriving after "OK" are ignored; only "BSL" counts.
void AwaitReadyByte(SimChipState& c, std::uint8_t byte, Out& out) {
  if (byte != static_cast<std::uint8_t>(kReadyRequest[c.readyMatched])) c.readyMatched = 0;
  if (byte != static_cast<std::uint8_t>(kReadyRequest[c.readyMatched])) return;
  if (++c.readyMatched < 3) return;
  c.Answer(kReadyCommand, c.counters.Count(kReadyCommand), {'R', 'D', 'Y'}, out);
  c.phase = Phase::AwaitMode;
  c.modeSelectSeen = false;
}

// The loader serves the memory mode and family that the mode byte names; a
// byte for another chip or mode leaves it waiting, silent.
std::optional<std::uint8_t> ExpectedModeByte(const SimChipState& c) {
  if (!c.chip.known) return std::nullopt;
  if (c.Internal()) return SimChip::kInternalModeByte;
  if (c.config.memoryMode == kExternalMemory) return c.chip.externalModeByte;
  return std::nullopt;
}

void AwaitModeByte(SimChipState& c, std::uint8_t byte, Out& out) {
  if (!c.modeSelectSeen) {
    c.modeSelectSeen = byte == kModeSelect;
    return;
  }
  c.modeSelectSeen = false;
  const int occurrence = c.counters.Count(kModeSelect);
  if (byte != ExpectedModeByte(c)) return;
  c.Answer(kModeSelect, occurrence, {c.StatusByte()}, out);
  c.phase = Phase::Loader;
  c.selectedBlock = 0;
  c.pending.clear();
}

// Collects the bytes of one command of the current set. A fixed sequence
// whose later byte does not fit is dropped, and that byte may start the next
// command.
void CommandByte(SimChipState& c, std::uint8_t byte, Out& out) {
  auto step = [&] { return c.phase == Phase::Loader ? LoaderStep(c, out) : ProgrammerStep(c, out); };
  c.pending.push_back(byte);
  CommandStep result = step();
  if (result == CommandStep::NotUnderstood && c.pending.size() > 1) {
    c.pending.assign(1, byte);
    result = step();
  }
  if (result != CommandStep::Wait) c.pending.clear();
}

bool RestartsOnPattern(Phase phase) {
  return phase != Phase::AwaitPattern && phase != Phase::AwaitReady && phase != Phase::LegacyLoader;
}

// Returns true when the byte was taken as part of a restarting group.
bool RestartByte(SimChipState& c, std::uint8_t byte, SimClock::time_point now, Out& out) {
  const bool atBoundary = c.pending.empty() || c.Silenced();
  if (!c.config.restartOnPattern || !RestartsOnPattern(c.phase) || !atBoundary) {
    c.restart.Clear();
    return false;
  }
  if (!c.restart.Feed(byte, now)) return c.restart.InGroup();
  const SimClock::time_point groupStart = c.restart.GroupStart();
  c.Reset();
  // A loader without baud detection (1.1E, or none at all) does not answer it.
  if (c.phase != Phase::AwaitPattern) return true;
  c.syncStart = groupStart;
  SyncGroupComplete(c, now, out);
  return true;
}

}  // namespace

struct SimTarget::State {
  explicit State(SimConfig config) : chip(std::move(config)) {}
  SimChipState chip;
  mutable std::mutex mutex;
};

SimTarget::SimTarget(SimConfig config) : s_(std::make_unique<State>(std::move(config))) {}
SimTarget::~SimTarget() = default;

void SimTarget::Receive(std::uint8_t byte, SimClock::time_point now, std::vector<SimReply>& replies) {
  std::lock_guard lock(s_->mutex);
  SimChipState& c = s_->chip;
  c.KeepHostByte(byte);
  // A chip busy erasing itself does not hear the line.
  if (c.busyUntil && now < *c.busyUntil) return;
  c.busyUntil.reset();
  c.now = now;
  ++c.hostBytesSinceReset;
  if (c.config.loopback) {
    replies.push_back({byte});
    return;
  }
  if (RestartByte(c, byte, now, replies)) return;
  if (c.Silenced()) return;
  switch (c.phase) {
    case Phase::AwaitPattern: AwaitPatternByte(c, byte, now, replies); break;
    case Phase::AwaitReady: AwaitReadyByte(c, byte, replies); break;
    case Phase::AwaitMode: AwaitModeByte(c, byte, replies); break;
    case Phase::Loader:
    case Phase::Programmer: CommandByte(c, byte, replies); break;
    case Phase::LegacyLoader: LegacyLoaderByte(c, byte, now, replies); break;
    case Phase::UserCode:
    case Phase::Halted: break;
  }
}

void SimTarget::SendUnasked(SimClock::time_point now, std::vector<SimReply>& replies) {
  std::lock_guard lock(s_->mutex);
  if (s_->chip.phase == Phase::LegacyLoader && !s_->chip.Silenced()) LegacyLoaderTick(s_->chip, now, replies);
}

std::optional<SimClock::time_point> SimTarget::NextUnasked() const {
  std::lock_guard lock(s_->mutex);
  if (s_->chip.phase != Phase::LegacyLoader || s_->chip.Silenced()) return std::nullopt;
  return s_->chip.legacy.nextPrompt;
}

void SimTarget::Reset() {
  std::lock_guard lock(s_->mutex);
  s_->chip.Reset();
}

SimTarget::Phase SimTarget::CurrentPhase() const {
  std::lock_guard lock(s_->mutex);
  return s_->chip.phase;
}

const SimConfig& SimTarget::Config() const { return s_->chip.config; }
FaultPlan& SimTarget::Faults() { return s_->chip.config.faults; }

void SimTarget::SetRestartOnPattern(bool on) {
  std::lock_guard lock(s_->mutex);
  s_->chip.config.restartOnPattern = on;
}

FlashImage& SimTarget::Flash(int block) { return s_->chip.flash[block == 0 ? 0 : 1]; }
const FlashImage& SimTarget::Flash(int block) const { return s_->chip.flash[block == 0 ? 0 : 1]; }

std::size_t SimTarget::LoaderSize() const { return s_->chip.chip.LoaderBytes(); }

bool SimTarget::LoaderIntact() const {
  std::lock_guard lock(s_->mutex);
  return s_->chip.LoaderIntact();
}

std::uint8_t SimTarget::StatusByte() const {
  std::lock_guard lock(s_->mutex);
  return s_->chip.StatusByte();
}

std::uint8_t SimTarget::SecurityBits() const {
  std::lock_guard lock(s_->mutex);
  return s_->chip.security;
}

std::uint8_t SimTarget::RemapBits() const {
  std::lock_guard lock(s_->mutex);
  return s_->chip.remap;
}

bool SimTarget::DoubleClock() const {
  std::lock_guard lock(s_->mutex);
  return s_->chip.doubleClock;
}

int SimTarget::SelectedBlock() const {
  std::lock_guard lock(s_->mutex);
  return s_->chip.selectedBlock;
}

void SimTarget::SetA16(bool high) {
  std::lock_guard lock(s_->mutex);
  s_->chip.kf010.SetA16(high);
}

bool SimTarget::A16() const {
  std::lock_guard lock(s_->mutex);
  return s_->chip.kf010.A16();
}

bool SimTarget::ExternalBankEntered() const {
  std::lock_guard lock(s_->mutex);
  return s_->chip.externalBankEntered;
}

std::vector<std::uint8_t> SimTarget::ExternalFlashBytes() const {
  std::lock_guard lock(s_->mutex);
  return s_->chip.kf010.Bytes();
}

void SimTarget::SetExternalFlashBytes(std::uint32_t offset, std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(s_->mutex);
  auto& flash = s_->chip.kf010.Bytes();
  for (std::size_t i = 0; i < bytes.size() && offset + i < flash.size(); ++i) flash[offset + i] = bytes[i];
}

const std::vector<std::uint8_t>& SimTarget::HostBytes() const { return s_->chip.hostBytes; }

std::vector<std::uint8_t> SimTarget::HostBytesCopy() const {
  std::lock_guard lock(s_->mutex);
  const auto& bytes = s_->chip.hostBytes;
  const std::size_t kept = std::min(bytes.size(), s_->chip.config.keptHostBytes);
  return std::vector<std::uint8_t>(bytes.end() - static_cast<long>(kept), bytes.end());
}

std::uint64_t SimTarget::HostBytesHeard() const {
  std::lock_guard lock(s_->mutex);
  return s_->chip.hostBytesHeard;
}

void SimTarget::ClearHostBytes() {
  std::lock_guard lock(s_->mutex);
  s_->chip.hostBytes.clear();
  s_->chip.hostBytesHeard = 0;
}

long SimTarget::HostBytesSinceReset() const {
  std::lock_guard lock(s_->mutex);
  return s_->chip.hostBytesSinceReset;
}

const char* PhaseName(SimTarget::Phase phase) {
  switch (phase) {
    case Phase::AwaitPattern: return "AwaitPattern";
    case Phase::AwaitReady: return "AwaitReady";
    case Phase::AwaitMode: return "AwaitMode";
    case Phase::Loader: return "Loader";
    case Phase::Programmer: return "Programmer";
    case Phase::UserCode: return "UserCode";
    case Phase::Halted: return "Halted";
    case Phase::LegacyLoader: return "LegacyLoader";
  }
  return "?";
}

}  // namespace brisko::sim
