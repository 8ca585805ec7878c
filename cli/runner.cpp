#include "cli/runner.hpp"

#include <unistd.h>

#include <memory>

#include "cli/arguments.hpp"
#include "cli/chip_commands.hpp"
#include "cli/terminal_operator.hpp"
#include "link/port_names.hpp"
#include "link/posix_serial_device.hpp"
#include "link/wire_trace.hpp"
#include "shell/baud_calculator.hpp"
#include "shell/comm_setup_dialog.hpp"
#include "shell/detect_command.hpp"
#include "shell/main_window.hpp"
#include "shell/user_places.hpp"
#include "sim/sim_device.hpp"
#include "sim/sim_target.hpp"

namespace brisko::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The in-process simulated chip of --simulate, or none.
std::shared_ptr<sim::SimTarget> MakeSimulatedChip(const Arguments& args, std::string& error) {
  if (!args.simulateModel) return nullptr;
  sim::SimConfig config;
  config.model = *args.simulateModel;
  config.memoryMode = args.simMemoryMode.value_or(args.memoryMode.value_or(kInternalMemory));
  if (args.simSecurity) config.securityBits = static_cast<std::uint8_t>(*args.simSecurity & 0xE0);
  if (args.simRemap) config.remapBits = static_cast<std::uint8_t>(*args.simRemap);
  config.doubleClock = args.simDoubleClock;
  if (args.simLetter) config.versionLetter = *args.simLetter;
  for (const auto& fault : args.simFaults) {
    error = config.faults.Apply(fault);
    if (!error.empty()) return nullptr;
  }
  return std::make_shared<sim::SimTarget>(config);
}

void ApplyPortOption(const Arguments& args, SerialPort& port) {
  if (!args.port) return;
  const std::string& name = *args.port;
  if (auto number = ParseComName(name)) {
    port.SetPortNumber(*number);
  } else if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos) {
    port.SetPortNumber(std::stoi(name));
  } else {
    port.SetDevicePath(name);
  }
}

int RunBaud(const Arguments& args, MainWindow& window, std::FILE* out) {
  CommSetupDialog dialog(window);
  if (args.crystal) dialog.crystalMHz = *args.crystal;
  const std::string problem = dialog.CheckFields();
  if (!problem.empty()) {
    window.Op().Tell(problem);
    return kExitFailed;
  }
  dialog.Compute();
  if (args.next) dialog.NextBaud();
  std::fprintf(out, "Crystal: %.4f MHz\nBaud Rate: %u\nReload: %04Xh\n", dialog.crystalMHz, dialog.recommendedBaud,
               dialog.reloadValue);
  return kExitOk;
}

}  // namespace

int RunCli(const std::vector<std::string>& argv, std::FILE* in, std::FILE* out, std::FILE* err) {
  std::string error;
  const auto parsed = ParseArguments(argv, error);
  if (!parsed) {
    std::fprintf(err, "brisko-cli: %s\n(see brisko-cli --help)\n", error.c_str());
    return kExitUsage;
  }
  Arguments args = *parsed;
  if (args.help) {
    std::fputs(UsageText().c_str(), out);
    return kExitOk;
  }
  if (args.version) {
    std::fprintf(out, "brisko-cli 0.1.0\n");
    return kExitOk;
  }
  if (args.command.empty()) {
    std::fprintf(err, "brisko-cli: no command given\n(see brisko-cli --help)\n");
    return kExitUsage;
  }
  const bool needsFile = args.command == "download" || args.command == "download-run" || args.command == "save" ||
                         args.command == "compare";
  if (needsFile && args.operands.size() != 1) {
    std::fprintf(err, "brisko-cli: %s needs one FILE\n(see brisko-cli --help)\n", args.command.c_str());
    return kExitUsage;
  }
  if (args.baud && RateIndex(*args.baud) == 0 && *args.baud != 38400) {
    std::fprintf(err, "brisko-cli: %u bit/s is not one of 38400, 19200, 9600, 4800, 2400, 1200, 600\n", *args.baud);
    return kExitUsage;
  }
  auto chip = MakeSimulatedChip(args, error);
  if (!error.empty()) {
    std::fprintf(err, "brisko-cli: %s\n", error.c_str());
    return kExitUsage;
  }

  TerminalOperator op(args, in, err);
  SessionPlaces places = UserPlaces();
  // A simulated run leaves the user's saved port, rate and crystal alone.
  places.keepSettings = !chip;
  DeviceOpener opener = chip ? sim::SimOpener(chip) : PosixOpener(places.PortMapFile());
  MainWindow window(op, opener, LinkTiming{}, places);
  SerialPort& port = window.Record()->Port();
  ApplyPortOption(args, port);
  if (args.trace) {
    auto trace = std::make_shared<WireTrace>(*args.trace);
    if (!trace->IsOpen()) {
      std::fprintf(err, "brisko-cli: cannot write the trace file %s\n", args.trace->c_str());
      return kExitUsage;
    }
    port.SetTrace(trace);
  }
  if (args.command == "baud") return RunBaud(args, window, out);

  // Without --baud or --crystal the saved rate stays the choice.
  if (!args.baud && !args.crystal) args.baud = port.GetBaudRate();

  TerminalProgress progress(::isatty(::fileno(out)) ? out : nullptr);
  if (::isatty(::fileno(out))) window.SetObserver(&progress);
  const bool ok = RunChipCommand(args, window, op, out);
  progress.Finish();
  window.SetObserver(nullptr);
  std::fprintf(out, "IAP Status: %s\n", window.StatusText().c_str());
  return ok ? kExitOk : kExitFailed;
}

}  // namespace brisko::cli
