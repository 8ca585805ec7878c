#include "link/port_names.hpp"
#include "link/posix_serial_device.hpp"

namespace brisko {

DeviceOpener PosixOpener(const std::string& portMapFile) {
  return [portMapFile](const std::string& name, std::string& whyNot) {
    const std::string path = ParseComName(name) ? ResolvePortName(name, ReadPortMap(portMapFile)) : name;
    return OpenPosixSerialDevice(path, whyNot);
  };
}

}  // namespace brisko
