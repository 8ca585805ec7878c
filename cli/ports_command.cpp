#include <nlohmann/json.hpp>

#include "cli/cli_command.hpp"
#include "cli/run_record.hpp"
#include "link/port_list.hpp"
#include "link/port_names.hpp"
#include "shell/session/session.hpp"

namespace brisko::cli {
namespace {

// One port a paragraph: the device and its COMn names, then what the kernel
// knows of the adapter.
void PrintPort(const SerialPortEntry& p, std::FILE* out) {
  std::string names;
  for (const std::string& com : p.comNames) names += (names.empty() ? " (" : ", ") + com;
  std::fprintf(out, "%s%s\n", p.device.c_str(), names.empty() ? "" : (names + ")").c_str());
  if (!p.byId.empty()) std::fprintf(out, "    %s\n", p.byId.c_str());
  std::string about = p.driver.empty() ? "" : "driver " + p.driver;
  if (!p.usbId.empty()) about += (about.empty() ? "" : ", ") + std::string("USB ") + p.usbId;
  if (!p.usbSerial.empty()) about += ", serial " + p.usbSerial;
  if (!p.description.empty()) about += ", " + p.description;
  if (!about.empty()) std::fprintf(out, "    %s\n", about.c_str());
}

CommandOutcome ListPorts(CommandContext& c) {
  const auto ports = ListSerialPorts(ReadPortMap(c.session.Places().PortMapFile()));
  for (const SerialPortEntry& port : ports) PrintPort(port, c.out);
  if (ports.empty()) std::fputs("No serial ports found.\n", c.out);
  if (c.data) (*c.data)["ports"] = PortsRecord(ports);
  return CommandOutcome::Success(ports.size() == 1 ? "listed 1 port" : "listed " + std::to_string(ports.size()) + " ports");
}

}  // namespace

CliCommand PortsCommand() {
  return {"ports", "list the serial ports: adapters present and the COMn names ports.conf gives", {}, false,
          ListPorts, false, ChipModelUse::None};
}

}  // namespace brisko::cli
