#include "cli/board.hpp"

#include <chrono>
#include <functional>

#include "cli/cli_command.hpp"
#include "cli/command_line.hpp"
#include "cli/configuration_commands.hpp"
#include "cli/outcome_lines.hpp"
#include "link/port_list.hpp"
#include "link/port_names.hpp"
#include "link/posix_serial_device.hpp"
#include "link/wire_trace.hpp"
#include "shell/detection/detect_command.hpp"
#include "shell/session/command_runner.hpp"
#include "shell/session/session.hpp"
#include "shell/setup/settings_file.hpp"
#include "sim/sim_config_check.hpp"
#include "sim/sim_device.hpp"
#include "sim/sim_target.hpp"

namespace brisko::cli {
namespace {

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

// A port that does not open: the ones that might have been meant.
void SayCandidates(const std::string& portMapFile, std::FILE* err) {
  std::string names;
  for (const SerialPortEntry& p : ListSerialPorts(ReadPortMap(portMapFile))) {
    std::string also = p.byId;
    for (const std::string& com : p.comNames) also += (also.empty() ? "" : ", ") + com;
    names += "  " + p.device + (also.empty() ? "" : " (" + also + ")") + "\n";
  }
  if (names.empty()) std::fputs("brisko-cli: no serial ports found (brisko-cli ports)\n", err);
  else std::fprintf(err, "brisko-cli: the serial ports here (brisko-cli ports):\n%s", names.c_str());
}

}  // namespace

std::shared_ptr<sim::SimTarget> MakeSimulatedChip(const Arguments& args, std::string& error) {
  if (!args.simulateModel) return nullptr;
  sim::SimConfig config;
  config.model = *args.simulateModel;
  config.memoryMode = args.simMemoryMode.value_or(args.memoryMode.value_or(kInternalMemory));
  if (args.simSecurity) config.securityBits = static_cast<std::uint8_t>(*args.simSecurity);
  if (args.simRemap) config.remapBits = static_cast<std::uint8_t>(*args.simRemap);
  config.doubleClock = args.simDoubleClock;
  if (args.simLetter) config.versionLetter = *args.simLetter;
  config.legacyLoader = args.simLegacyLoader;
  for (const auto& fault : args.simFaults) {
    error = config.faults.Apply(fault);
    if (!error.empty()) return nullptr;
  }
  error = sim::SimConfigProblem(config);
  if (!error.empty()) return nullptr;
  return std::make_shared<sim::SimTarget>(config);
}

Board::Board(const CliCommand& command, const Arguments& args, const CliSettings& settings, BoardStreams streams,
             const LinkTiming& timing)
    : command_(command),
      args_(args),
      settings_(settings),
      streams_(streams),
      op_(args_, streams.in, streams.err),
      progress_(streams.err) {
  std::string ignored;  // checked before any board is made
  chip_ = MakeSimulatedChip(args_, ignored);
  if (args_.trace) trace_ = std::make_shared<WireTrace>(*args_.trace);
  DeviceOpener opener = chip_ ? sim::SimOpener(chip_) : PosixOpener(settings.places.PortMapFile());
  session_ = std::make_unique<Session>(op_, opener, timing, settings.places);
  ApplySavedSettings(*session_);
  SerialPort& port = session_->Record()->Port();
  ApplyPortOption(args_, port);
  if (trace_) port.SetTrace(trace_);
  // Without --baud or --crystal the saved rate stays the choice.
  if (!args_.baud && !args_.crystal) args_.baud = port.GetBaudRate();
  runner_ = std::make_unique<CommandRunner>(*session_);
}

Board::~Board() {
  runner_.reset();
  session_.reset();
}

const DisplacedNotice& Board::Notice() const { return session_->Notice(); }

void Board::Cancel() {
  cancelled_ = true;
  runner_->Cancel();
}

// The detection (when the command needs a chip), the bank's entry and return
// (with --bank) and the command, as one command of the runner: a cancel holds
// for all of them.
CommandOutcome Board::RunCommand(bool waitForBoard) {
  Session& session = *session_;
  CommandContext context{session, args_, streams_.out, &data_};
  const auto detected = [&] {
    detected_ = true;
    settingsSaved_ = SaveProvenSettings(settings_, session, streams_.err) && settingsSaved_;
  };
  const auto cancelled = [&] { return cancelled_ || session.State().cancelRequested; };
  if (cancelled()) return CommandOutcome::Cancelled("detect", "nothing on the chip was changed");
  if (waitForBoard) {
    // The next board is a new chip: the last one's link ends here, as it
    // would when a process ends.
    SerialPort& port = session.Record()->Port();
    port.Close();
    port.ClearLinkUp();
    std::fprintf(streams_.err, "Waiting for the next board%s%s (Ctrl-C ends)\n", args_.port ? " on " : "",
                 args_.port ? args_.port->c_str() : "");
    std::fflush(streams_.err);
  }
  if (command_.detectFirst) {
    CommandOutcome detection;
    do {
      detection = OnDetectMenu(session);
    } while (waitForBoard && !detection.Ok() && !cancelled());
    if (waitForBoard && !detection.Ok()) return CommandOutcome::Cancelled("wait for the next board");
    if (!detection.Ok()) {
      if (detection.step.empty()) detection.step = "detect";
      return detection;
    }
    detected();
  }
  if (cancelled()) return CommandOutcome::Cancelled(command_.name, "nothing on the chip was changed");
  const auto run = [&](Session&) { return command_.run(context); };
  if (args_.bankHigh && !command_.entersBankItself) return RunOnBank(session, *args_.bankHigh, run);
  CommandOutcome outcome = run(session);
  // A detection of its own (detect) waits for the next board the same way.
  while (waitForBoard && !command_.detectFirst && outcome.kind == OutcomeKind::Failed && !cancelled())
    outcome = run(session);
  if (waitForBoard && !command_.detectFirst && outcome.kind == OutcomeKind::Failed)
    return CommandOutcome::Cancelled("wait for the next board");
  // detect and upgrade-loader are detections of their own.
  if (!command_.detectFirst && command_.model != ChipModelUse::None && outcome.Ok()) detected();
  return outcome;
}

BoardRun Board::Run(bool waitForBoard) {
  BoardRun report;
  report.port = args_.port.value_or("");
  std::FILE* out = streams_.out;
  std::FILE* err = streams_.err;
  if (trace_ && TraceLost(*trace_, err)) {
    report.outcome = CommandOutcome::Failed("write the wire trace", Result::Failed);
    report.exit = kExitFailed;
    return report;
  }
  Session& session = *session_;
  SerialPort& port = session.Record()->Port();
  if (streams_.progress) session.Window().SetObserver(&progress_);
  const auto started = std::chrono::steady_clock::now();
  detected_ = false;
  data_ = nlohmann::json::object();
  CommandOutcome outcome = runner_->Run([&](Session&) { return RunCommand(waitForBoard); });
  // The process may end next: a command whose last bytes never left the
  // port has not reached the chip.
  if (!port.DrainOutput() && outcome.Ok()) outcome = CommandOutcome::Failed("send the last bytes", Result::Failed);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
  if (streams_.progress) progress_.Finish();
  session.Window().SetObserver(nullptr);

  const WindowState state = session.Window().Snapshot();
  if (command_.showsStatus) std::fprintf(out, "IAP Status: %s\n", state.statusText.c_str());
  if (!outcome.Ok()) std::fprintf(err, "%s\n", FailureLine(command_.name, outcome, state.statusText).c_str());
  if (outcome.step == "open the port" && !chip_) SayCandidates(settings_.places.PortMapFile(), err);
  std::fprintf(out, "%s\n", SummaryLine(command_.name, outcome, took.count()).c_str());

  report.outcome = outcome;
  report.seconds = took.count();
  if (detected_) {
    report.model = state.chipInfo.chipType;
    report.loader = state.chipInfo.fwVersion;
  }
  report.state = state;
  report.shown = op_.EditDisplayText();
  report.data = data_;
  report.exit = ExitStatus(outcome);
  if (op_.ArgumentsRejected()) report.exit = kExitUsage;
  else if (trace_ && TraceLost(*trace_, err) && outcome.Ok()) report.exit = kExitFailed;
  else if (!settingsSaved_ && outcome.Ok()) report.exit = kExitFailed;
  return report;
}

}  // namespace brisko::cli
