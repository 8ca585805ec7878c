#pragma once
#include <memory>
#include <string>

#include "link/serial_device.hpp"

namespace brisko {

// Opens a termios device (real serial port or pseudo-terminal) by path, or by
// "COM<n>" through the user's port map. Exclusive, non-blocking. whyNot says
// "no such device", "permission denied (add the user to the dialout group)",
// "busy", ... when it fails.
std::unique_ptr<SerialDevice> OpenPosixSerialDevice(const std::string& name, std::string& whyNot);

}  // namespace brisko
