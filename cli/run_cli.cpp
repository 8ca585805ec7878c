#include "cli/run_cli.hpp"

#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>

#include "cli/cli_command.hpp"
#include "cli/command_line.hpp"
#include "cli/cli_settings.hpp"
#include "cli/configuration_commands.hpp"
#include "cli/file_checks.hpp"
#include "cli/interrupt_watch.hpp"
#include "cli/outcome_lines.hpp"
#include "cli/terminal_operator.hpp"
#include "cli/terminal_progress.hpp"
#include "link/posix_serial_device.hpp"
#include "link/wire_trace.hpp"
#include "shell/session/command_runner.hpp"
#include "shell/detection/detect_command.hpp"
#include "shell/session/session.hpp"
#include "shell/setup/settings_file.hpp"
#include "sim/sim_device.hpp"
#include "sim/sim_target.hpp"

namespace brisko::cli {
namespace {

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
  config.legacyLoader = args.simLegacyLoader;
  for (const auto& fault : args.simFaults) {
    error = config.faults.Apply(fault);
    if (!error.empty()) return nullptr;
  }
  return std::make_shared<sim::SimTarget>(config);
}

void ApplyPortOption(const Arguments& args, SerialPort& port) {
  if (args.portNumber) port.SetPortNumber(*args.portNumber);
  else if (args.port) port.SetDevicePath(*args.port);
}

// A trace that cannot be written (a full disk, /dev/full) is said once; it
// would otherwise be lost in silence.
bool TraceLost(const WireTrace& trace, std::FILE* err) {
  if (!trace.Failed() && trace.IsOpen()) return false;
  std::fprintf(err, "brisko-cli: the wire trace is lost: %s\n", trace.FailureReason().c_str());
  return true;
}

// The detection (when the command needs a chip), the bank's entry and return
// (with --bank) and the command, as one command of the runner: a cancel holds
// for all of them. `detected` hears of every successful detection.
CommandOutcome RunCommand(const CliCommand& command, CommandContext& context, const std::function<void()>& detected) {
  Session& session = context.session;
  if (command.detectFirst) {
    CommandOutcome detection = OnDetectMenu(session);
    if (!detection.Ok()) {
      if (detection.step.empty()) detection.step = "detect";
      return detection;
    }
    detected();
  }
  if (session.State().cancelRequested) return CommandOutcome::Cancelled(command.name, "nothing on the chip was changed");
  const auto run = [&](Session&) { return command.run(context); };
  if (context.args.bankHigh && !command.entersBankItself) return RunOnBank(session, *context.args.bankHigh, run);
  CommandOutcome outcome = run(session);
  // detect and upgrade-loader are detections of their own.
  if (!command.detectFirst && command.model != ChipModelUse::None && outcome.Ok()) detected();
  return outcome;
}

void SayStopping(std::FILE* err, const DisplacedNotice& notice) {
  if (notice.ForSignalHandler().empty())
    std::fputs("\nStopping after the current chunk (Ctrl-C again to stop at once).\n", err);
  else
    std::fputs("\nStopping once the chip's displaced bytes or loader are complete again "
               "(Ctrl-C again to stop at once and leave them displaced).\n",
               err);
  std::fflush(err);
}

}  // namespace

int RunCli(const std::vector<std::string>& argv, std::FILE* in, std::FILE* out, std::FILE* err,
           const LinkTiming& timing) {
  Arguments args;
  if (const auto exit = ParseCommandLine(argv, args, out, err)) return *exit;
  const CliCommand& command = *FindCommand(args.command);

  std::string error;
  auto chip = MakeSimulatedChip(args, error);
  if (!error.empty()) {
    std::fprintf(err, "brisko-cli: %s\n", error.c_str());
    return kExitUsage;
  }
  if (const std::string problem = CommandFilesProblem(args); !problem.empty()) {
    std::fprintf(err, "brisko-cli: %s\n", problem.c_str());
    return kExitUsage;
  }
  std::shared_ptr<WireTrace> trace;
  if (args.trace) {
    trace = std::make_shared<WireTrace>(*args.trace);
    if (TraceLost(*trace, err)) return kExitFailed;
  }

  TerminalOperator op(args, in, err);
  const CliSettings settings = PlanSettings(args, chip != nullptr, err);
  DeviceOpener opener = chip ? sim::SimOpener(chip) : PosixOpener(settings.places.PortMapFile());
  Session session(op, opener, timing, settings.places);
  ApplySavedSettings(session);
  SerialPort& port = session.Record()->Port();
  ApplyPortOption(args, port);
  if (trace) port.SetTrace(trace);
  // Without --baud or --crystal the saved rate stays the choice.
  if (!args.baud && !args.crystal) args.baud = port.GetBaudRate();

  // The bar is for a person watching; stdout stays the results alone.
  const bool onTerminal = ::isatty(::fileno(err));
  TerminalProgress progress(err);
  if (onTerminal) session.Window().SetObserver(&progress);
  const auto started = std::chrono::steady_clock::now();
  CommandOutcome outcome;
  bool settingsSaved = true;
  {
    CommandRunner runner(session);
    InterruptWatch interrupts(
        [&runner, &session, err] {
          SayStopping(err, session.Notice());
          runner.Cancel();
        },
        &session.Notice());
    CommandContext context{session, args, out};
    const auto detected = [&] { settingsSaved = SaveProvenSettings(settings, session, err); };
    outcome = runner.Run([&](Session&) { return RunCommand(command, context, detected); });
  }
  // The process ends next: a command whose last bytes never left the port
  // has not reached the chip.
  if (!port.DrainOutput() && outcome.Ok()) outcome = CommandOutcome::Failed("send the last bytes", Result::Failed);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
  if (onTerminal) progress.Finish();
  session.Window().SetObserver(nullptr);

  if (command.showsStatus)
    std::fprintf(out, "IAP Status: %s\n", session.Window().StatusText().c_str());
  if (!outcome.Ok()) std::fprintf(err, "%s\n", FailureLine(command.name, outcome, session.Window().StatusText()).c_str());
  std::fprintf(out, "%s\n", SummaryLine(command.name, outcome, took.count()).c_str());
  if (op.ArgumentsRejected()) return kExitUsage;
  if (trace && TraceLost(*trace, err) && outcome.Ok()) return kExitFailed;
  if (!settingsSaved && outcome.Ok()) return kExitFailed;
  return ExitStatus(outcome);
}

}  // namespace brisko::cli
