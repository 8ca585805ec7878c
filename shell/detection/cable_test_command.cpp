#include "shell/detection/cable_test_command.hpp"

#include <chrono>

#include "link/result_codes.hpp"
#include "shell/session/session.hpp"

namespace brisko {
namespace {

constexpr std::uint8_t kPattern[] = {0x80, 0xE0, 0xF8};

bool PatternCameBack(SerialPort& port) {
  for (std::uint8_t expected : kPattern) {
    std::uint8_t got = 0;
    if (!port.ReadByte(got) || got != expected) return false;
  }
  return true;
}

}  // namespace

CommandOutcome OnCableTest(Session& session) {
  SessionRecord* record = session.Record();
  if (!record) {
    session.ReportNoChip();
    return CommandOutcome::Refused(Refusal::NoChip);
  }
  SerialPort& port = record->Port();
  if (port.IsLinkUp()) {
    session.Op().Tell("Serial connection has be set up already!");
    return CommandOutcome::Refused(Refusal::NotSupported);
  }
  if (!session.Op().Ask("This will test if serial cable is connected correctly.\nDo you want to proceed?"))
    return CommandOutcome::Declined();
  if (port.Open() != Result::Ok) {
    session.Op().Tell("Failed to setup Serial Comm with Target MCU!!!");
    return CommandOutcome::Failed("open port", Result::PortNotOpened);
  }
  session.Op().Tell("Please remove MCU from the target board,\nthen connect TXD and RXD pin and power on!");

  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  // Every round is bounded by the port's own write and read limits.
  while (Clock::now() - start <= port.Timing().cableTestLimit) {
    for (std::uint8_t b : kPattern) port.WriteByte(b);
    if (port.PollInput() && PatternCameBack(port)) {
      session.Op().Tell("Serial connection is correct!");
      return CommandOutcome::Success("cable tested");
    }
  }
  session.Op().Tell("Serial connection is incorrect!!!");
  return CommandOutcome::Failed("loop-back", Result::Failed);
}

}  // namespace brisko
