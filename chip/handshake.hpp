#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "link/serial_port.hpp"

namespace brisko {

// The loader handshake after a reset, step by step, so that each detection can
// word its own failures.

// The 16-byte baud-detect pattern.
extern const std::array<std::uint8_t, 16> kBaudDetectPattern;

enum class SyncOutcome { Locked, TimedOut, SendFailed, Cancelled };
// Sends the pattern in rounds and glances for "OK" after each, until "OK" is
// read, `limit` has passed, or `cancel` (when given) is set: a round lasts a
// few milliseconds, so a cancel ends the search at once.
SyncOutcome SynchroniseBaud(SerialPort& port, Millis limit, const std::atomic<bool>* cancel = nullptr);

enum class ReadyOutcome { Ready, SendFailed, NoByte0, NoByte1, BadOrNoByte2 };
// Sends "BSL" and expects "RDY".
ReadyOutcome CheckReady(SerialPort& port);

// The mode-select pair for a model and memory mode, and the message shown when
// it cannot be sent; none for external mode with a model outside the table.
struct ModeSelect {
  std::array<std::uint8_t, 2> bytes;
  const char* sendFailure;
};
std::optional<ModeSelect> ModeSelectFor(int model, int memoryMode);

// Reads the version byte and letter after 60h; none when the write fails or
// either byte does not come.
std::optional<std::array<std::uint8_t, 2>> QueryVersion(SerialPort& port);

}  // namespace brisko
