// Every flow that displaces the user's bytes or the loader, interrupted at
// each of its points by Ctrl-C, SIGTERM and kill, run by brisko-cli against
// brisko-sim on a pseudo-terminal, whose chip keeps its flash between runs:
// the exit status, the chip's content after the next detection (which offers
// the chip's recovery files back, answered by --yes), and the recovery files
// left. A fault holds back one reply of the chip, so each interrupt lands at
// its point: the simulator logs the held byte, and the test signals then.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "support/process.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

using namespace std::chrono_literals;
using Args = std::vector<std::string>;

constexpr std::size_t kUserCodeSize = 0x2200;  // 68 sectors: every area the flows displace, and more
constexpr const char* kHeld = "held back";
constexpr const char* kHostGone = "host closed the port";

// No byte is F7h, the 1.1E loader's prompt: the worker takes one that comes
// late in a reply for a dropped command, and a loaded machine can make any
// byte late.
std::string UserCode() {
  std::string bytes(kUserCodeSize, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7 + 3) % 241);
  return bytes;
}

// One board: brisko-sim on a pseudo-terminal, its block 0 holding the user's
// code, and brisko-cli (with scaled-down limits) run against it with user
// folders of its own.
class Board {
 public:
  Board(const std::string& model, Args simArgs) : model_(model) {
    test::WriteFile(dir_.File("user-code.bin"), UserCode());
    Args args{BRISKO_SIM_PATH, "--model", model, "--link", Link(), "--block0", dir_.File("user-code.bin")};
    args.insert(args.end(), simArgs.begin(), simArgs.end());
    // The host runs in the memory mode the board is strapped for.
    const auto mode = std::find(simArgs.begin(), simArgs.end(), "--mode");
    if (mode != simArgs.end() && mode + 1 != simArgs.end()) mode_ = *(mode + 1);
    sim_ = std::make_unique<test::ChildProcess>(args, Env());
  }
  std::string File(const std::string& name) const { return dir_.File(name); }
  std::string Write(const std::string& name, const std::string& bytes) const {
    test::WriteFile(File(name), bytes);
    return File(name);
  }

  std::unique_ptr<test::ChildProcess> Start(const Args& command) const {
    Args args{BRISKO_CLI_SCALED_PATH, "--port", Link(), "--model", model_, "--mode", mode_, "--yes"};
    args.insert(args.end(), command.begin(), command.end());
    return std::make_unique<test::ChildProcess>(args, Env());
  }
  // Runs a command to its end, and lets the chip see the host go before the
  // next run opens the port (it stands for the operator's reset then).
  test::ProcessResult Run(const Args& command) const {
    const int closed = SimSaid(kHostGone);
    test::ProcessResult result = Start(command)->Wait(30s);
    WaitForHostGone(closed);
    return result;
  }

  int SimSaid(const std::string& text) const {
    const std::string log = sim_->Output();
    int n = 0;
    for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
    return n;
  }
  bool WaitForSim(const std::string& text, int count) const { return sim_->WaitForOutput(text, count, 20s); }
  // A run that never opened the port leaves no hang-up to wait for.
  void WaitForHostGone(int before) const { sim_->WaitForOutput(kHostGone, before + 1, 3s); }

  int RecoveryFiles() const {
    std::error_code ignored;
    const std::filesystem::directory_iterator folder(File("data/brisko"), ignored);
    const auto bin = [](const auto& file) { return file.path().extension() == ".bin"; };
    return static_cast<int>(std::count_if(begin(folder), end(folder), bin));
  }
  // Block 0's first bytes, read by a new run (whose detection offers the
  // recovery files); "" when the chip does not answer as a loader.
  std::string Block0() const {
    const auto saved = Run({"save", File("block0.bin"), "--binary", "--sector", "0", "--range", "68"});
    lastSaid_ = saved.err;
    return saved.exitCode == 0 ? test::ReadFile(File("block0.bin")) : "";
  }
  // What the last run that read block 0 told, for a failing row.
  const std::string& LastSaid() const { return lastSaid_; }

 private:
  std::string Link() const { return dir_.File("tty"); }
  std::vector<std::string> Env() const {
    return {"XDG_CONFIG_HOME=" + File("config"), "XDG_DATA_HOME=" + File("data"), "XDG_CACHE_HOME=" + File("cache")};
  }

  test::TempDir dir_;
  std::string model_;
  std::string mode_ = "internal";
  std::unique_ptr<test::ChildProcess> sim_;
  mutable std::string lastSaid_;
};

// What block 0 holds after the next detection.
enum class Content { Original, Edited, NoLoader, Answers };

struct Expect {
  Content content;
  int recoveryFiles;
  const char* cliSays = "";  // a text the interrupted run printed; "" for none
};

struct Point {
  const char* name;
  const char* fault;     // brisko-sim --fault; "" for none
  const char* marker;    // in the simulator's log
  int nth;               // the marker's occurrence in the interrupted run
  Expect stopped;        // after Ctrl-C or SIGTERM: exit status 130
  Expect killed;         // after SIGKILL
};

struct Flow {
  const char* name;
  const char* model;
  Args simArgs;
  std::function<Args(const Board&)> command;
  // The next runs: the detection that offers the files back, then block 0.
  std::function<std::string(const Board&)> next = [](const Board& b) { return b.Block0(); };
};

void RunRow(const Flow& flow, const Point& point, int signal) {
  SCOPED_TRACE(std::string(flow.name) + ", " + point.name + ", signal " + std::to_string(signal));
  Args simArgs = flow.simArgs;
  if (*point.fault) simArgs.insert(simArgs.end(), {"--fault", point.fault});
  Board board(flow.model, simArgs);
  ASSERT_TRUE(board.WaitForSim("/dev/", 1)) << "brisko-sim names its link";
  const Args command = flow.command(board);
  const int before = board.SimSaid(point.marker);
  const int closed = board.SimSaid(kHostGone);
  auto run = board.Start(command);
  ASSERT_TRUE(board.WaitForSim(point.marker, before + point.nth)) << run->Output();
  run->Signal(signal);
  int endedBy = 0;
  const test::ProcessResult ended = run->Wait(30s, &endedBy);
  board.WaitForHostGone(closed);
  const bool killed = signal == SIGKILL;
  const Expect& expect = killed ? point.killed : point.stopped;
  EXPECT_EQ(killed ? endedBy : ended.exitCode, killed ? SIGKILL : 130) << ended.err;
  EXPECT_NE(ended.err.find(expect.cliSays), std::string::npos) << ended.err;

  const std::string block0 = flow.next(board);
  std::string wanted = expect.content == Content::NoLoader ? "" : UserCode();  // "": no loader answers
  if (expect.content == Content::Edited) wanted.replace(0x10, 2, "\xAA\xBB");
  EXPECT_TRUE(expect.content == Content::Answers ? !block0.empty() : block0 == wanted)
      << "block 0 is not as it should be\n" << board.LastSaid();
  EXPECT_EQ(board.RecoveryFiles(), expect.recoveryFiles);
}

// Each row with Ctrl-C, SIGTERM and kill, a few rows at a time: the runs
// mostly wait for the line. The 1.1E loader's worker and the host polling
// its queues keep a CPU busy each, so those rows run two at a time.
void RunTable(const Flow& flow, const std::vector<Point>& points) {
  std::vector<std::function<void()>> rows;
  for (const Point& point : points)
    for (int signal : {SIGINT, SIGTERM, SIGKILL}) rows.push_back([&flow, &point, signal] { RunRow(flow, point, signal); });
  const bool legacy = std::find(flow.simArgs.begin(), flow.simArgs.end(), "1.1E") != flow.simArgs.end();
  const std::size_t atOnce = legacy ? 2 : 5;
  for (std::size_t first = 0; first < rows.size(); first += atOnce) {
    std::vector<std::future<void>> running;
    for (std::size_t i = first; i < std::min(rows.size(), first + atOnce); ++i)
      running.push_back(std::async(std::launch::async, rows[i]));
    for (auto& row : running) row.get();
  }
}

// A chip still on 1.1E gets its upgrade (taking an interrupted upgrade's
// file) before block 0 is read; one on 1.1F is told so, and the detection of
// the read offers the file. An upgrade that fails keeps the user's code and
// is simply run again, as its message says.
std::string UpgradeThenBlock0(const Board& b) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const auto upgrade = b.Run({"upgrade-loader"});
    if (upgrade.exitCode == 0 || upgrade.err.find("1.1F already") != std::string::npos) break;
  }
  return b.Block0();
}

const Expect kUntouched{Content::Original, 0};
const Expect kPutBack{Content::Original, 0};

// Commands that erase without displacing anything: a stop in their
// detection leaves the chip as it was (no chip erase after a stopped one).
TEST(InterruptTable, ErasesThatTouchNothingBeforeTheDetectionEnds) {
  const Point detection{"during the detection", "delay:60:1:0:150", kHeld, 1, kUntouched, kUntouched};
  RunTable({"download into block 0", "KT540", {}, [](const Board& b) {
              return Args{"download", b.Write("new.bin", std::string(300, '\x11')), "--sector", "0"};
            }},
           {detection});
  RunTable({"chip erase", "KT540", {"--mode", "external"}, [](const Board&) { return Args{"chip-erase"}; }}, {detection});
}

// Block 1 through the parked programmer, and a bank of a KT420 through the
// bank helper in block 0: block 0 is put back whatever the stop.
TEST(InterruptTable, Block1AndBankFlowsThroughBlock0) {
  RunTable({"block-1 download", "KT540", {}, [](const Board& b) {
              return Args{"download", b.Write("b1.bin", std::string(200, '\x22')), "--sector", "532"};
            }},
           {
               {"before the first erase", "delay:0C:1:0:150", kHeld, 1, kUntouched, kUntouched},
               {"mid-erase", "delay:0B:1:0:150", kHeld, 1, kPutBack, kPutBack},
               {"mid-write", "delay:0A:1:0:150", kHeld, 1, kPutBack, kPutBack},
               {"during the put-back", "delay:0B:8:0:150", kHeld, 1, kPutBack, kPutBack},
           });
  RunTable({"block-1 erase", "KT540", {},
            [](const Board&) { return Args{"erase", "--sector", "532", "--range", "2"}; }},
           {
               {"before the first erase", "delay:0C:1:0:150", kHeld, 1, kUntouched, kUntouched},
               {"mid-erase", "delay:0B:1:0:150", kHeld, 1, kPutBack, kPutBack},
               {"erasing block 1", "delay:0B:5:0:150", kHeld, 1, kPutBack, kPutBack},
               {"during the put-back", "delay:0B:7:0:150", kHeld, 1, kPutBack, kPutBack},
           });
  RunTable({"bank download", "KT420", {}, [](const Board& b) {
              return Args{"download", b.Write("bank.bin", std::string(200, '\x33')), "--bank", "low", "--sector", "1"};
            }},
           {
               {"before the first erase", "delay:0C:1:0:150", kHeld, 1, kUntouched, kUntouched},
               {"mid-erase", "delay:0B:1:0:150", kHeld, 1, kPutBack, kPutBack},
               {"mid-write", "delay:03:1:0:150", kHeld, 1, kPutBack, kPutBack},
               {"during the put-back", "delay:0B:5:0:150", kHeld, 1, kPutBack, kPutBack},
           });
}

// The installer's start resets the chip, and with it the simulator's count:
// the restore's first erase is the second "first erase" of the run.
TEST(InterruptTable, LoaderUpgradeFrom11E) {
  Flow flow{"1.1E upgrade", "KT420", {"--loader", "1.1E"}, [](const Board&) { return Args{"upgrade-loader"}; }};
  flow.next = UpgradeThenBlock0;
  RunTable(flow, {
                     {"before the first erase", "delay:0C:1:0:150", kHeld, 1, kUntouched, kUntouched},
                     {"mid-erase", "delay:0B:1:0:150", kHeld, 1, kPutBack, kPutBack},
                     {"mid-write", "delay:0C:29:0:150", kHeld, 1, kPutBack, kPutBack},
                     {"during the wait", "", "AwaitMode -> Loader", 1, kPutBack, kPutBack},
                     {"during the put-back", "delay:0B:1:0:150", kHeld, 2, kPutBack, kPutBack},
                 });
}

// The new loader is complete before a stop takes effect; the programmer then
// stays, and the next detection (by the new loader) puts block 0 back. A
// kill in the middle of the loader's write leaves no loader.
TEST(InterruptTable, LoaderUpdate) {
  const Flow flow{"loader update", "KT540", {}, [](const Board& b) {
                    b.Run({"save", b.File("loader.bin"), "--binary", "--sector", "512", "--range", "9"});
                    return Args{"update-loader", b.File("loader.bin"), "--sector", "512"};
                  }};
  RunTable(flow, {
                     {"before the first erase", "delay:0C:1:0:150", kHeld, 1, kUntouched, kUntouched},
                     {"mid-erase", "delay:0B:1:0:150", kHeld, 1, kPutBack, kPutBack},
                     {"mid-write", "delay:0A:1:0:150", kHeld, 1, kPutBack, {Content::NoLoader, 1}},
                 });
}

TEST(InterruptTable, ProbexReplacesTheLoaderWhole) {
  const Flow flow{"Probex", "KT560", {}, [](const Board&) { return Args{"probex"}; }};
  const Expect probex{Content::NoLoader, 0, "BSL is replaced by Probex!"};
  // Block 0 is given up (no recovery file); a kill before block 1 is
  // touched leaves the loader, one inside its write leaves neither.
  const Expect loaderLeft{Content::Answers, 0};
  const Expect broken{Content::NoLoader, 0};
  RunTable(flow, {
                     {"before the first erase", "delay:60:1:0:150", kHeld, 1, kUntouched, kUntouched},
                     {"mid-erase", "delay:0B:1:0:150", kHeld, 1, probex, loaderLeft},
                     {"mid-write", "delay:0A:1:0:150", kHeld, 1, probex, broken},
                 });
}

// A stop lets the edit finish; a kill leaves the sector's old bytes in their
// recovery file, and the next detection puts them back.
TEST(InterruptTable, ByteEdit) {
  const Flow flow{"byte edit", "KT420", {}, [](const Board&) { return Args{"edit", "0010", "AA BB"}; }};
  const Expect edited{Content::Edited, 0};
  RunTable(flow, {
                     {"before the first erase", "delay:0C:2:0:150", kHeld, 1, kUntouched, kUntouched},
                     {"mid-erase", "delay:0B:1:0:150", kHeld, 1, edited, kPutBack},
                     {"mid-write", "delay:0C:12:0:150", kHeld, 1, edited, kPutBack},
                 });
}

}  // namespace
}  // namespace brisko
