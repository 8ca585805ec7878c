#include "link/port_list.hpp"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "link/port_names.hpp"

namespace brisko {
namespace {

namespace fs = std::filesystem;

std::string FirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

// Where a symbolic link points, made absolute against its folder.
fs::path LinkTarget(const fs::path& link) {
  std::error_code error;
  fs::path target = fs::read_symlink(link, error);
  if (error) return {};
  return target.is_absolute() ? target.lexically_normal() : (link.parent_path() / target).lexically_normal();
}

// The USB device a tty belongs to: the nearest folder above its device that
// holds idVendor (an interface sits between the two).
void ReadUsbAdapter(const fs::path& device, const fs::path& sys, SerialPortEntry& entry) {
  std::error_code error;
  fs::path at = fs::canonical(device, error);
  for (int up = 0; !error && up < 4 && at.has_relative_path() && at != sys; ++up, at = at.parent_path()) {
    if (!fs::exists(at / "idVendor", error)) continue;
    entry.usbId = FirstLine(at / "idVendor") + ":" + FirstLine(at / "idProduct");
    entry.usbSerial = FirstLine(at / "serial");
    const std::string maker = FirstLine(at / "manufacturer");
    const std::string product = FirstLine(at / "product");
    entry.description = maker.empty() || product.empty() ? maker + product : maker + " " + product;
    return;
  }
}

// The driver of a tty's device. Newer kernels put serial-core "port" and
// "ctrl" devices between a UART and its tty: the driver named is then the
// one of the hardware above them.
std::string DriverOf(const fs::path& device) {
  std::error_code error;
  fs::path at = fs::canonical(device, error);
  if (error) return "";
  for (int up = 0; up < 3; ++up, at = at.parent_path()) {
    const fs::path driver = LinkTarget(at / "driver");
    if (driver.empty()) return "";
    if (driver.parent_path().parent_path().filename() != "serial-base") return driver.filename().string();
  }
  return "";
}

// "ttyUSB10" as ("ttyUSB", 10), for a numeric order.
std::pair<std::string, long> NameKey(const std::string& device) {
  const std::string name = fs::path(device).filename().string();
  std::size_t digits = name.size();
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1]))) --digits;
  const std::string number = name.substr(digits);
  return {name.substr(0, digits), number.empty() || number.size() > 9 ? -1 : std::stol(number)};
}

}  // namespace

std::vector<SerialPortEntry> ListSerialPorts(const std::map<int, std::string>& portMap, const std::string& root) {
  const fs::path base(root);
  const fs::path sys = base / "sys";
  std::map<std::string, std::string> stableNames;  // tty name -> its by-id path
  std::error_code error;
  for (const auto& link : fs::directory_iterator(base / "dev/serial/by-id", error))
    stableNames.emplace(LinkTarget(link.path()).filename().string(),
                        "/dev/serial/by-id/" + link.path().filename().string());

  std::vector<SerialPortEntry> ports;
  for (const auto& tty : fs::directory_iterator(sys / "class/tty", error)) {
    const fs::path folder = tty.path();
    const std::string name = folder.filename().string();
    std::error_code missing;
    if (!fs::exists(folder / "device", missing)) continue;  // a virtual terminal, a pty
    if (fs::exists(folder / "type", missing) && FirstLine(folder / "type") == "0") continue;  // no UART
    SerialPortEntry entry;
    entry.device = "/dev/" + name;
    if (const auto stable = stableNames.find(name); stable != stableNames.end()) entry.byId = stable->second;
    entry.driver = DriverOf(folder / "device");
    ReadUsbAdapter(folder / "device", sys, entry);
    ports.push_back(entry);
  }
  std::sort(ports.begin(), ports.end(), [](const SerialPortEntry& a, const SerialPortEntry& b) {
    return std::make_tuple(a.usbId.empty(), NameKey(a.device)) < std::make_tuple(b.usbId.empty(), NameKey(b.device));
  });

  for (const auto& [number, device] : portMap) {
    auto it = std::find_if(ports.begin(), ports.end(),
                           [&](const SerialPortEntry& p) { return p.device == device || p.byId == device; });
    if (it == ports.end()) {
      SerialPortEntry mapped;
      mapped.device = device;
      ports.push_back(mapped);
      it = ports.end() - 1;
    }
    it->comNames.push_back(ComName(number));
  }
  return ports;
}

}  // namespace brisko
