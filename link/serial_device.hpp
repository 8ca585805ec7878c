#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/link_timing.hpp"

namespace brisko {

// How a write ended: every byte handed over, refused at once by the device, or
// not finished within the limit.
enum class WriteResult { Done, Refused, TimedOut };

// One open serial device: a real port, a pseudo-terminal, or the in-process
// simulated target. All calls return promptly; every wait is bounded by the
// limit the caller passes.
class SerialDevice {
 public:
  virtual ~SerialDevice() = default;

  // 8 data bits, no parity, one stop bit, raw, no flow control, at baudRate.
  virtual bool Configure(unsigned baudRate) = 0;

  // Bytes in the input queue now.
  virtual std::size_t InputAvailable() = 0;
  // Waits at most `limit` for at least one input byte; true when one is there.
  virtual bool WaitForInput(Millis limit) = 0;
  // Takes up to `count` bytes that are already in the input queue, without
  // waiting. Returns how many were taken, or -1 on a device error.
  virtual long ReadAvailable(std::uint8_t* out, std::size_t count) = 0;

  // Hands all bytes to the driver within `limit`; false if it could not.
  virtual bool Write(const std::uint8_t* data, std::size_t count, Millis limit) = 0;
  // Write, telling a refusal from a time-out. A device that cannot tell them
  // apart itself is judged by how long the failed attempt took.
  virtual WriteResult WriteWithin(const std::uint8_t* data, std::size_t count, Millis limit) {
    auto start = std::chrono::steady_clock::now();
    if (Write(data, count, limit)) return WriteResult::Done;
    return std::chrono::steady_clock::now() - start < limit ? WriteResult::Refused
                                                            : WriteResult::TimedOut;
  }
  // Waits at most `limit` until the output queue has been sent; true when it
  // is empty.
  virtual bool DrainOutput(Millis limit) = 0;

  virtual void PurgeInput() = 0;
  virtual void PurgeOutput() = 0;

  // Modem lines. A device that has no such line ignores the call.
  virtual void SetDtr(bool on) = 0;
  virtual void SetRts(bool on) = 0;

  // Asks the driver to hand received bytes over at once rather than batch
  // them: on a USB adapter a reply otherwise waits for the adapter's latency
  // timer (16 ms on common ones). True when the driver took the request; a
  // device without such a setting refuses, which is no error.
  virtual bool RequestLowLatency() { return false; }
};

// Opens the device that a port name stands for ("COM3", or a device path).
// On failure returns null and says why in terms a user can act on.
using DeviceOpener =
    std::function<std::unique_ptr<SerialDevice>(const std::string& name, std::string& whyNot)>;

}  // namespace brisko
