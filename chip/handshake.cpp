#include "chip/handshake.hpp"

#include <chrono>

#include "link/command_primitives.hpp"
#include "link/result_codes.hpp"
#include "chip/chip_catalogue.hpp"

namespace brisko {

const std::array<std::uint8_t, 16> kBaudDetectPattern = {
    0x80, 0xE0, 0xF8, 0xFE, 0x80, 0xE0, 0xF8, 0xFE, 0x80, 0xE0, 0xF8, 0xFE, 0x80, 0xE0, 0xF8, 0xFE};

namespace {

bool ReadExpected(SerialPort& port, std::uint8_t expected) {
  std::uint8_t byte = 0;
  return port.ReadByte(byte) && byte == expected;
}

}  // namespace

SyncOutcome SynchroniseBaud(SerialPort& port, Millis limit, const std::atomic<bool>* cancel) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  for (;;) {
    if (cancel != nullptr && cancel->load()) return SyncOutcome::Cancelled;
    if (Clock::now() - start > limit) return SyncOutcome::TimedOut;
    // The chip measures its bit rate on the pattern, so it must see it as a
    // nearly continuous stream: one write, then only a short glance for "OK".
    if (!port.WriteBytes(kBaudDetectPattern.data(), kBaudDetectPattern.size()))
      return SyncOutcome::SendFailed;
    if (!port.PollInput()) continue;
    // A garbled or partial answer only costs a round.
    if (!ReadExpected(port, 'O')) continue;
    if (!ReadExpected(port, 'K')) continue;
    return SyncOutcome::Locked;
  }
}

ReadyOutcome CheckReady(SerialPort& port) {
  static const std::uint8_t kRequest[3] = {'B', 'S', 'L'};
  if (!port.WriteBytes(kRequest, sizeof kRequest)) return ReadyOutcome::SendFailed;
  std::uint8_t answer[3] = {0, 0, 0};
  if (!port.ReadByte(answer[0])) return ReadyOutcome::NoByte0;
  if (!port.ReadByte(answer[1])) return ReadyOutcome::NoByte1;
  if (!port.ReadByte(answer[2]) || answer[0] != 'R' || answer[1] != 'D' || answer[2] != 'Y')
    return ReadyOutcome::BadOrNoByte2;
  return ReadyOutcome::Ready;
}

std::optional<ModeSelect> ModeSelectFor(int model, int memoryMode) {
  if (memoryMode == kInternalMemory) return ModeSelect{{cmd::kModeSelect, 0x55}, "Failed on sending 05h & 55h to Target MCU."};
  if (memoryMode != kExternalMemory) return std::nullopt;
  if (SharesBlockAddresses(model)) return ModeSelect{{cmd::kModeSelect, 0x02}, "Failed on sending 05h and 02h to Target MCU."};
  if (HasBlock1AtE000(model)) return ModeSelect{{cmd::kModeSelect, 0x03}, "Failed on sending 05h and 03h to Target MCU."};
  if (IsKT400(model)) return ModeSelect{{cmd::kModeSelect, 0x01}, "Failed on sending 05h and 01h to Target MCU."};
  return std::nullopt;
}

std::optional<std::array<std::uint8_t, 2>> QueryVersion(SerialPort& port) {
  std::array<std::uint8_t, 2> answer{};
  if (!port.WriteByte(cmd::kVersion)) return std::nullopt;
  if (!port.ReadByte(answer[0])) return std::nullopt;
  if (!port.ReadByte(answer[1])) return std::nullopt;
  return answer;
}

}  // namespace brisko
