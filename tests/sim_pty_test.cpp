#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "sim/pty_server.hpp"
#include "sim_bench.hpp"
#include "support/temp_dir.hpp"

namespace brisko::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

int OpenRaw(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return -1;
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
  return fd;
}

bool WriteAll(int fd, const Bytes& bytes) {
  return write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

// Reads up to n bytes, giving up once `limit` has passed.
Bytes ReadFor(int fd, std::size_t n, std::chrono::milliseconds limit = 3000ms) {
  Bytes out;
  const auto deadline = Clock::now() + limit;
  while (out.size() < n) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left <= 0ms) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    std::uint8_t buf[64];
    const ssize_t got = read(fd, buf, std::min(sizeof buf, n - out.size()));
    if (got == 0) break;  // end of file
    if (got > 0) out.insert(out.end(), buf, buf + got);
  }
  return out;
}

const Bytes kRound = Cat(Cat(kSyncGroup, kSyncGroup), Cat(kSyncGroup, kSyncGroup));

// The brisko-sim program, started with a pipe on its standard output.
class SimProcess {
 public:
  explicit SimProcess(std::vector<std::string> args) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      const int devNull = open("/dev/null", O_WRONLY);
      dup2(devNull, STDERR_FILENO);
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv{const_cast<char*>(BRISKO_SIM_PATH)};
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(BRISKO_SIM_PATH, argv.data());
      _exit(127);
    }
    close(out[1]);
    stdout_ = out[0];
  }
  ~SimProcess() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (stdout_ >= 0) close(stdout_);
  }

  std::string FirstLine() {
    std::string line;
    const auto deadline = Clock::now() + 5000ms;
    while (Clock::now() < deadline) {
      const Bytes c = ReadFor(stdout_, 1, 5000ms);
      if (c.empty() || c[0] == '\n') break;
      line += static_cast<char>(c[0]);
    }
    return line;
  }
  // Stops the program the way an operator does; returns its exit status or
  // -1 if it did not end within a few seconds.
  int Terminate() {
    kill(pid_, SIGTERM);
    for (int i = 0; i < 500; ++i) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(10ms);
    }
    return -1;
  }

 private:
  pid_t pid_ = -1;
  int stdout_ = -1;
  bool exited_ = false;
};

bool IsLink(const std::string& path) {
  struct stat st{};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

TEST(SimPty, ProgramServesTheHandshakeAndRestartsOnThePattern) {
  TempDir dir;
  const std::string link = dir.File("tty");
  ASSERT_EQ(symlink("/nonexistent", link.c_str()), 0) << "a stale link is replaced";
  SimProcess sim({"--model", "KT530", "--security", "40", "--link", link, "--quiet"});
  const std::string path = sim.FirstLine();
  ASSERT_FALSE(path.empty());
  char target[256] = {};
  ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(path, target);

  int fd = OpenRaw(link);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(WriteAll(fd, kRound));
  EXPECT_EQ(ReadFor(fd, 2), Text("OK"));
  ASSERT_TRUE(WriteAll(fd, Text("BSL")));
  EXPECT_EQ(ReadFor(fd, 3), Text("RDY"));
  ASSERT_TRUE(WriteAll(fd, {0x05, 0x55}));
  EXPECT_EQ(ReadFor(fd, 1), Bytes{0x40});
  ASSERT_TRUE(WriteAll(fd, {0x60}));
  EXPECT_EQ(ReadFor(fd, 2), (Bytes{0x11, 'F'}));
  close(fd);

  // A new client: no reset button on a pty, the pattern restarts the chip.
  fd = OpenRaw(path);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(WriteAll(fd, kRound));
  EXPECT_EQ(ReadFor(fd, 2), Text("OK"));
  EXPECT_TRUE(ReadFor(fd, 1, 100ms).empty()) << "one answer per synchronisation";
  close(fd);

  EXPECT_EQ(sim.Terminate(), 0);
  EXPECT_FALSE(IsLink(link)) << "the link goes with the program";
}

TEST(SimPty, ProgramRefusesABadCommandLine) {
  SimProcess sim({"--model", "KT999"});
  EXPECT_EQ(sim.FirstLine(), "");
  EXPECT_EQ(sim.Terminate(), 2);
}

TEST(SimPty, ServerHoldsDelayedRepliesUntilTheyAreDue) {
  auto config = SimBench::Config(kKT410, kExternalMemory);
  config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Delay, 0x63, 1, 0, 0x01, Millis{150}});
  auto chip = std::make_shared<sim::SimTarget>(config);
  sim::PtyServer server(chip);
  std::string why;
  ASSERT_TRUE(server.Start("", why)) << why;
  std::atomic<bool> stop{false};
  std::thread serving([&] { server.Run(stop); });

  const int fd = OpenRaw(server.SlavePath());
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(WriteAll(fd, Cat(kRound, Text("BSL"))));
  EXPECT_EQ(ReadFor(fd, 5), Text("OKRDY"));
  ASSERT_TRUE(WriteAll(fd, {0x05, 0x01}));
  EXPECT_EQ(ReadFor(fd, 1), Bytes{0x00});
  const auto sent = Clock::now();
  ASSERT_TRUE(WriteAll(fd, {0x63, 0x60}));
  EXPECT_EQ(ReadFor(fd, 3), (Bytes{0x63, 0x11, 'F'})) << "later replies wait behind the delayed one";
  EXPECT_GE(Clock::now() - sent, 150ms);
  close(fd);

  stop = true;
  serving.join();
}

TEST(SimPty, ServerLeavesAnythingButALinkAlone) {
  TempDir dir;
  const std::string file = dir.File("precious");
  WriteFile(file, "keep");
  sim::PtyServer server(std::make_shared<sim::SimTarget>(sim::SimConfig{}));
  std::string why;
  EXPECT_FALSE(server.Start(file, why));
  EXPECT_NE(why, "");
  EXPECT_EQ(ReadFile(file), "keep");
}

}  // namespace
}  // namespace brisko::test
