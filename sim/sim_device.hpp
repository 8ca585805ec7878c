#pragma once
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>

#include "link/serial_device.hpp"
#include "sim/sim_target.hpp"

namespace brisko::sim {

// A USB serial adapter between the host and the UART line, as the common
// ones behave. The host's bytes reach the adapter in USB frames, so a write
// starts on the line at the next frame boundary, and the host learns that
// its output has drained only at a frame boundary too: a write drained one
// byte at a time costs a frame per byte. The chip's bytes go to the host in
// packets, sent when full or when the latency timer has run since the
// packet's first byte; the driver's low-latency request shortens that timer.
struct UsbAdapter {
  std::chrono::microseconds framePeriod{1000};
  std::chrono::microseconds latencyTimer{16000};
  std::chrono::microseconds lowLatencyTimer{1000};
  bool honoursLowLatency = true;  // false: a driver that refuses the request
  std::size_t packetPayload = 62;  // data bytes in one packet to the host
};

// What lies between the host and the chip.
struct SimLine {
  std::chrono::microseconds lineTimePerByte{};  // zero: bytes move at once
  std::optional<UsbAdapter> usb;                // none: a UART on the host
};

// The in-process connection between a SerialPort and a SimTarget. It sees the
// modem lines: a rising RTS edge resets the chip, as the board's reset circuit
// does. With a line time per byte it models a UART (a byte takes that long on
// the wire in each direction, and a drain ends when the last byte has left);
// with zero line time bytes move at once. With a USB adapter the UART sits
// behind it (see UsbAdapter).
class SimDevice final : public SerialDevice {
 public:
  SimDevice(std::shared_ptr<SimTarget> target, std::chrono::microseconds lineTimePerByte = {});
  SimDevice(std::shared_ptr<SimTarget> target, SimLine line);
  ~SimDevice() override;

  bool Configure(unsigned baudRate) override;
  std::size_t InputAvailable() override;
  bool WaitForInput(Millis limit) override;
  long ReadAvailable(std::uint8_t* out, std::size_t count) override;
  bool Write(const std::uint8_t* data, std::size_t count, Millis limit) override;
  bool DrainOutput(Millis limit) override;
  void PurgeInput() override;
  void PurgeOutput() override;
  void SetDtr(bool on) override;
  void SetRts(bool on) override;
  bool RequestLowLatency() override;

  // Cuts the cable: every later transfer fails.
  void Disconnect();

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// A DeviceOpener that connects every Open to `target` (any port name).
DeviceOpener SimOpener(std::shared_ptr<SimTarget> target,
                       std::chrono::microseconds lineTimePerByte = {});
DeviceOpener SimOpener(std::shared_ptr<SimTarget> target, SimLine line);

// Line time of one 8-N-1 byte (10 bits) at a bit rate.
std::chrono::microseconds LineTimeFor(unsigned bitsPerSecond);

}  // namespace brisko::sim
