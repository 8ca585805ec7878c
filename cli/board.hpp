#pragma once
#include <atomic>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/arguments.hpp"
#include "cli/cli_settings.hpp"
#include "cli/terminal_operator.hpp"
#include "cli/terminal_progress.hpp"
#include "link/link_timing.hpp"
#include "shell/session/command_outcome.hpp"
#include "shell/session/window_state.hpp"

namespace brisko {
class CommandRunner;
class DisplacedNotice;
class Session;
class WireTrace;
namespace sim {
class SimTarget;
}
}  // namespace brisko

namespace brisko::cli {

struct CliCommand;

// How one run on one board ended, for the summary table, the log and --json.
struct BoardRun {
  std::string port;    // as the command line names it ("" for the saved settings' port)
  CommandOutcome outcome;
  double seconds = 0;
  std::string model;   // the detected chip's type and loader version; "" when not detected
  std::string loader;
  WindowState state;   // what the window shows after the run: status line, chip, views
  std::string shown;   // the byte-edit dialog's text, when it was shown
  nlohmann::json data = nlohmann::json::object();  // what the command found
  int exit = 0;        // this run's exit status
};

// Where a board's human lines go. `in` answers questions at a terminal (none:
// every question is answered by --yes or No); `progress` draws the bars on `err`.
struct BoardStreams {
  std::FILE* in = nullptr;
  std::FILE* out = nullptr;
  std::FILE* err = nullptr;
  bool progress = false;
};

// One board of brisko-cli: its port, session, command runner and trace. Runs
// the command again and again when asked; each run detects the chip first.
class Board {
 public:
  Board(const CliCommand& command, const Arguments& args, const CliSettings& settings, BoardStreams streams,
        const LinkTiming& timing);
  ~Board();
  Board(const Board&) = delete;
  Board& operator=(const Board&) = delete;

  // One run. With `waitForBoard` its detection is tried again and again
  // until a chip answers (the next board of a station) or Cancel.
  BoardRun Run(bool waitForBoard);
  // Any thread: the running command stops at its next safe point, and no
  // later run starts.
  void Cancel();
  bool Cancelled() const { return cancelled_; }
  const DisplacedNotice& Notice() const;

 private:
  CommandOutcome RunCommand(bool waitForBoard);

  const CliCommand& command_;
  Arguments args_;
  const CliSettings& settings_;
  BoardStreams streams_;
  std::shared_ptr<sim::SimTarget> chip_;
  std::shared_ptr<WireTrace> trace_;
  TerminalOperator op_;
  TerminalProgress progress_;
  std::unique_ptr<Session> session_;
  std::unique_ptr<CommandRunner> runner_;
  std::atomic<bool> cancelled_{false};
  bool settingsSaved_ = true;
  bool detected_ = false;  // this run detected the chip
  nlohmann::json data_;
};

// The in-process simulated chip of --simulate, or none; `error` says why a
// fault given cannot be injected.
std::shared_ptr<sim::SimTarget> MakeSimulatedChip(const Arguments& args, std::string& error);

}  // namespace brisko::cli
