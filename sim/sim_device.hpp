#pragma once
#include <chrono>
#include <memory>

#include "link/serial_device.hpp"
#include "sim/sim_target.hpp"

namespace brisko::sim {

// The in-process connection between a SerialPort and a SimTarget. It sees the
// modem lines: a rising RTS edge resets the chip, as the board's reset circuit
// does. With a line time per byte it models a UART (a byte takes that long on
// the wire in each direction, and a drain ends when the last byte has left);
// with zero line time bytes move at once.
class SimDevice final : public SerialDevice {
 public:
  SimDevice(std::shared_ptr<SimTarget> target, std::chrono::microseconds lineTimePerByte = {});
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

  // Cuts the cable: every later transfer fails.
  void Disconnect();

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// A DeviceOpener that connects every Open to `target` (any port name).
DeviceOpener SimOpener(std::shared_ptr<SimTarget> target,
                       std::chrono::microseconds lineTimePerByte = {});

// Line time of one 8-N-1 byte (10 bits) at a bit rate.
std::chrono::microseconds LineTimeFor(unsigned bitsPerSecond);

}  // namespace brisko::sim
