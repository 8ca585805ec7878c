#pragma once
#include <memory>
#include <string>

#include "link/serial_device.hpp"

namespace brisko {

// Opens a termios device (real serial port or pseudo-terminal) by path, or by
// "COM<n>" through the user's port map. Exclusive, non-blocking. whyNot names
// the device and says "no such device", "permission denied: add the user to
// the dialout group", "busy: another program has it open" or "not a serial
// device" when it fails, e.g. "/dev/ttyS0: no such device".
std::unique_ptr<SerialDevice> OpenPosixSerialDevice(const std::string& name, std::string& whyNot);

}  // namespace brisko
