#pragma once
#include <memory>
#include <string>

#include "link/serial_device.hpp"

namespace brisko {

// Opens a termios device (real serial port or pseudo-terminal) by path.
// Exclusive, non-blocking. whyNot names
// the device and says "no such device", "permission denied: add the user to
// the dialout group", "busy: another program has it open" or "not a serial
// device" when it fails, e.g. "/dev/ttyS0: no such device".
std::unique_ptr<SerialDevice> OpenPosixSerialDevice(const std::string& path, std::string& whyNot);

// The opener of real ports: "COM<n>" resolves through the port map file
// (none: /dev/ttyS<n-1>), any other name is a device path.
DeviceOpener PosixOpener(const std::string& portMapFile);

}  // namespace brisko
