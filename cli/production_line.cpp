#include "cli/production_line.hpp"

#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "cli/board.hpp"
#include "cli/cli_command.hpp"
#include "cli/cli_settings.hpp"
#include "cli/command_line.hpp"
#include "cli/interrupt_watch.hpp"
#include "cli/outcome_lines.hpp"
#include "cli/run_log.hpp"
#include "cli/run_record.hpp"
#include "image/sha256.hpp"
#include "shell/session/displaced_notice.hpp"

namespace brisko::cli {
namespace {

// A board's human lines, kept until its run has ended and then written as
// one group, so that boards running at once never mix their lines.
class GroupBuffer {
 public:
  GroupBuffer() : file_(::open_memstream(&text_, &size_)) {}
  ~GroupBuffer() {
    if (file_) std::fclose(file_);
    std::free(text_);
  }
  GroupBuffer(const GroupBuffer&) = delete;
  GroupBuffer& operator=(const GroupBuffer&) = delete;
  std::FILE* File() const { return file_; }
  // What was written since the last Take.
  std::string Take() {
    std::fflush(file_);
    std::string text(text_ ? text_ : "", size_);
    std::rewind(file_);
    std::fflush(file_);
    return text;
  }

 private:
  char* text_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

// "trace.log" for /dev/ttyUSB0 becomes "trace.log.ttyUSB0".
std::string TraceFor(const std::string& trace, const std::string& port) {
  return trace + "." + std::filesystem::path(port).filename().string();
}

std::string Cell(std::string text, std::size_t width) {
  if (text.size() < width) text.resize(width, ' ');
  return text + " ";
}

void PrintTable(const std::vector<BoardRun>& runs, std::FILE* out) {
  std::size_t portWidth = 4;
  for (const BoardRun& run : runs) portWidth = std::max(portWidth, run.port.size());
  std::fprintf(out, "\n%s%s%s%s%s\n", Cell("PORT", portWidth).c_str(), Cell("CHIP", 6).c_str(),
               Cell("OUTCOME", 10).c_str(), Cell("BYTES", 7).c_str(), "TIME");
  for (const BoardRun& run : runs) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s", run.seconds);
    std::fprintf(out, "%s%s%s%s%s\n", Cell(run.port, portWidth).c_str(), Cell(run.model.empty() ? "-" : run.model, 6).c_str(),
                 Cell(OutcomeKindName(run.outcome.kind), 10).c_str(), Cell(std::to_string(run.outcome.bytes), 7).c_str(),
                 seconds);
  }
}

int OverallStatus(const std::vector<BoardRun>& runs) {
  if (runs.empty()) return kExitCancelled;
  int status = kExitOk;
  for (const BoardRun& run : runs) {
    if (run.exit == kExitUsage) return kExitUsage;
    if (run.exit == kExitFailed) status = kExitFailed;
    else if (run.exit == kExitCancelled && status == kExitOk) status = kExitCancelled;
  }
  return status;
}

}  // namespace

int RunLine(const CliCommand& command, const Arguments& args, std::FILE* in, std::FILE* out, std::FILE* err,
            const LinkTiming& timing) {
  std::vector<std::string> ports = args.ports;
  if (ports.empty()) ports.push_back("");  // the saved settings' port
  const bool several = ports.size() > 1;
  const bool grouped = several;
  RunLog log;
  if (args.log) {
    std::string why;
    if (!log.Open(*args.log, why)) {
      std::fprintf(err, "brisko-cli: %s\n", why.c_str());
      return kExitUsage;
    }
  }
  RunFile file;
  if (args.file) file.path = *args.file;

  const CliSettings settings = PlanSettings(args, args.simulateModel.has_value(), err);
  // Each board's lines: straight to the streams with one board, else kept
  // per board. With --json stdout carries the JSON alone.
  std::vector<std::unique_ptr<GroupBuffer>> buffers;
  std::vector<std::unique_ptr<Board>> boards;
  for (const std::string& port : ports) {
    Arguments own = args;
    if (several) {
      own.port = port;
      std::string ignored;
      own.portNumber = PortNumberOf(port, ignored);
      if (args.trace) own.trace = TraceFor(*args.trace, port);
    }
    BoardStreams streams{several ? nullptr : in, out, err, !several && ::isatty(::fileno(err))};
    if (grouped) {
      buffers.push_back(std::make_unique<GroupBuffer>());
      streams.out = streams.err = buffers.back()->File();
    }
    if (args.json) streams.out = streams.err;
    boards.push_back(std::make_unique<Board>(command, own, settings, streams, timing));
  }

  std::mutex mutex;  // the shared streams, the log and the runs
  std::vector<std::pair<std::size_t, BoardRun>> runs;  // by board
  std::vector<nlohmann::json> records(boards.size());
  const auto finished = [&](std::size_t index, BoardRun run) {
    // The file as this run left it: a station may be given a new build between boards.
    RunFile used = file;
    if (!used.path.empty() && (!args.fileIsOutput || run.outcome.Ok()))
      used.sha256 = FileSha256(used.path).value_or("");
    std::lock_guard lock(mutex);
    if (args.log) {
      std::string why;
      if (!log.Append(LogRecord(command.name, run, used, UtcNow()).dump(), why)) {
        std::fprintf(grouped ? buffers[index]->File() : err, "brisko-cli: %s\n", why.c_str());
        if (run.exit == kExitOk) run.exit = kExitFailed;
      }
    }
    if (grouped) {
      const std::string lines = buffers[index]->Take();
      std::fprintf(args.json ? err : out, "==> %s <==\n%s", run.port.c_str(), lines.c_str());
      std::fflush(args.json ? err : out);
    }
    if (args.json) {
      nlohmann::json record = RunRecord(command.name, run, used);
      // A station prints each run as it ends (JSON Lines); one run of
      // several boards is one list at the end.
      if (args.repeat != 1 || !several) {
        std::fprintf(out, "%s\n", record.dump().c_str());
        std::fflush(out);
      } else {
        records[index] = record;
      }
    }
    runs.emplace_back(index, std::move(run));
  };

  std::vector<const DisplacedNotice*> notices;
  for (const auto& board : boards) notices.push_back(&board->Notice());
  {
    InterruptWatch interrupts(
        [&] {
          const bool displaced = std::any_of(notices.begin(), notices.end(),
                                             [](const DisplacedNotice* n) { return !n->ForSignalHandler().empty(); });
          if (!displaced)
            std::fputs("\nStopping after the current chunk (Ctrl-C again to stop at once).\n", err);
          else
            std::fputs("\nStopping once the chip's displaced bytes or loader are complete again "
                       "(Ctrl-C again to stop at once and leave them displaced).\n",
                       err);
          std::fflush(err);
          for (const auto& board : boards) board->Cancel();
        },
        notices);
    const auto station = [&](std::size_t index) {
      Board& board = *boards[index];
      for (unsigned n = 0; args.repeat == 0 || n < args.repeat; ++n) {
        if (board.Cancelled()) break;
        BoardRun run = board.Run(n > 0);
        // Ctrl-C while a station waits for its next board ends the station;
        // that wait is not a run.
        const bool waitEnded = n > 0 && board.Cancelled() && run.model.empty();
        if (waitEnded) {
          if (grouped) buffers[index]->Take();
          break;
        }
        finished(index, std::move(run));
      }
    };
    if (!several) {
      station(0);
    } else {
      std::vector<std::thread> threads;
      for (std::size_t i = 0; i < boards.size(); ++i) threads.emplace_back(station, i);
      for (std::thread& thread : threads) thread.join();
    }
  }
  boards.clear();

  std::stable_sort(runs.begin(), runs.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<BoardRun> ordered;
  for (auto& [index, run] : runs) ordered.push_back(std::move(run));
  if (args.json && several && args.repeat == 1) std::fprintf(out, "%s\n", nlohmann::json(records).dump().c_str());
  if (!args.json && (several || args.repeat != 1)) PrintTable(ordered, out);
  return OverallStatus(ordered);
}

}  // namespace brisko::cli
