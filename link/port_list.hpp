#pragma once
#include <map>
#include <string>
#include <vector>

namespace brisko {

// A serial port of this machine, as the kernel describes it.
struct SerialPortEntry {
  std::string device;        // "/dev/ttyUSB0"
  std::string byId;          // its stable "/dev/serial/by-id/..." name; "" when it has none
  std::string driver;        // "ftdi_sio", "cdc_acm", "serial"...; "" when not known
  std::string usbId;         // USB adapters: "0403:6001"
  std::string usbSerial;     // USB adapters: the adapter's serial number
  std::string description;   // USB adapters: maker and product, as the adapter names them
  std::vector<std::string> comNames;  // the "COMn" names the port map gives it
};

// The serial ports present: every tty in <root>/sys/class/tty that has a
// device behind it, except the legacy ttyS ports the kernel keeps without a
// UART (their "type" is 0), plus every device the port map names (a pty
// included), each with the COMn names mapped to it. USB adapters first, then
// in name and number order. `root` is "/" on a running system; tests give a
// folder holding sys/ and dev/.
std::vector<SerialPortEntry> ListSerialPorts(const std::map<int, std::string>& portMap,
                                             const std::string& root = "/");

}  // namespace brisko
