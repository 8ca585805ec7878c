#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <random>
#include <string>
#include <vector>

#include "support/process.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

using namespace std::chrono_literals;
using test::RunProcess;

const std::string kCli = BRISKO_CLI_PATH;
const std::string kSim = BRISKO_SIM_PATH;

test::ProcessResult Cli(std::vector<std::string> args, std::chrono::milliseconds limit = 60s) {
  args.insert(args.begin(), kCli);
  return RunProcess(args, limit);
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(n, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

class CliTest : public ::testing::Test {
 protected:
  test::UserDirsInTemp dirs;  // the settings file and temporary images stay in here
};

TEST_F(CliTest, DetectsTheBuiltInSimulatedChip) {
  auto r = Cli({"--simulate", "KT540", "--model", "KT540", "detect"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "Chip Type: KT540\n"));
  EXPECT_TRUE(Has(r.out, "Flash Size: 64+8 KB\n"));
  EXPECT_TRUE(Has(r.out, "Fw Version: v1.1F\n"));
  EXPECT_TRUE(Has(r.out, "Mem Mode: Internal\n"));
  EXPECT_TRUE(Has(r.out, "Security: SECURITY : CHIP IS UNLOCKED (FSTAT[7:5]:000)\n"));
  // The status line comes last.
  EXPECT_TRUE(r.out.size() > 0 && Has(r.out, "IAP Status: Detect target MCU is successful!\n"));
  EXPECT_EQ(r.out.substr(r.out.rfind("IAP Status:")), "IAP Status: Detect target MCU is successful!\n");
  EXPECT_TRUE(Has(r.err, "Click on OK then Reset MCU\nto Detect Baud & Chip\n(MCU:Fw v1.1F)"));
}

TEST_F(CliTest, TheModelDefaultsToTheSimulatedOne) {
  auto r = Cli({"--simulate", "KT410", "detect"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "Chip Type: KT410\n"));
  EXPECT_TRUE(Has(r.out, "Flash Size: 16+4 KB\n"));
  EXPECT_TRUE(Has(r.out, "ReMap: 0 KByte\n"));
}

TEST_F(CliTest, FailuresExitNonZero) {
  // A wrong loader version.
  auto wrong = Cli({"--simulate", "KT420", "--sim-letter", "E", "detect"});
  EXPECT_EQ(wrong.exitCode, 1);
  EXPECT_TRUE(Has(wrong.err, "Wrong Firmware Version Detected in MCU chip!!!"));
  // The model chosen does not match the chip: its mode byte is not answered.
  auto mismatch = Cli({"--simulate", "KT420", "--model", "KT540", "--mode", "external", "detect"});
  EXPECT_EQ(mismatch.exitCode, 1);
  EXPECT_TRUE(Has(mismatch.err, "No Response from Target Board after sending 05h,55h!!!"));
}

TEST_F(CliTest, AMissingPortFailsAtOnceWithAReason) {
  auto r = Cli({"--port", "/dev/brisko-missing-port", "detect"}, 10s);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.err, "Failed to setup Serial Comm with Target MCU!!!"));
  EXPECT_TRUE(Has(r.out, "no such device")) << r.out;
  EXPECT_LT(r.elapsed, 5s);
}

// The shipped program keeps the real limits: with nothing answering, the
// synchronisation gives up after a little more than 12 s.
TEST_F(CliTest, NothingAnsweringFailsAfterTheSynchronisationLimit) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  const std::string slave = ::ptsname(master);
  std::atomic<bool> done{false};
  std::thread sink([&] {  // swallows the pattern rounds so the host's writes never block
    char buffer[256];
    while (!done) {
      pollfd fd{master, POLLIN, 0};
      if (::poll(&fd, 1, 50) > 0 && ::read(master, buffer, sizeof buffer) < 0) ::usleep(10000);
    }
  });
  auto r = Cli({"--port", slave, "detect"}, 40s);
  done = true;
  sink.join();
  ::close(master);
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.err, "Failed to setup RS232 connection with Target MCU!!!")) << r.err;
  EXPECT_GE(r.elapsed, 12s);
  EXPECT_LT(r.elapsed, 20s);
}

TEST_F(CliTest, UsageErrors) {
  EXPECT_EQ(Cli({}).exitCode, 2);
  EXPECT_EQ(Cli({"frobnicate"}).exitCode, 2);
  EXPECT_EQ(Cli({"--model", "KT999", "detect"}).exitCode, 2);
  EXPECT_EQ(Cli({"--baud", "57600", "detect"}).exitCode, 2);
  EXPECT_EQ(Cli({"download"}).exitCode, 2);
  auto help = Cli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(Has(help.out, "Usage: brisko-cli"));
}

TEST_F(CliTest, BaudCalculator) {
  auto r = Cli({"baud", "--crystal", "12"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "Baud Rate: 38400\n"));
  EXPECT_TRUE(Has(r.out, "Reload: FFF6h\n"));
  auto next = Cli({"baud", "--crystal", "11.0592", "--next"});
  EXPECT_TRUE(Has(next.out, "Baud Rate: 19200\n"));
  EXPECT_TRUE(Has(next.out, "Reload: FFEEh\n"));
}

// brisko-sim on a pseudo-terminal keeps its flash between commands, so a
// download can be read back, compared and saved by later processes.
class CliOnPtyTest : public CliTest {
 protected:
  void SetUp() override {
    link = dirs.Dir().File("tty");
    sim = std::make_unique<test::BackgroundProcess>(
        std::vector<std::string>{kSim, "--model", "KT540", "--link", link, "--quiet"});
    ASSERT_FALSE(sim->FirstLine(10s).empty());
  }
  test::ProcessResult OnPty(std::vector<std::string> args) {
    std::vector<std::string> all{"--port", link, "--model", "KT540", "--yes"};
    all.insert(all.end(), args.begin(), args.end());
    return Cli(all);
  }
  std::string link;
  std::unique_ptr<test::BackgroundProcess> sim;
};

TEST_F(CliOnPtyTest, DetectWithinAboutASecond) {
  auto r = OnPty({"detect"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "Chip Type: KT540\n"));
  EXPECT_TRUE(Has(r.out, "IAP Status: Detect target MCU is successful!\n"));
  EXPECT_LT(r.elapsed, 5s);
}

TEST_F(CliOnPtyTest, DownloadCompareReadAndSaveRoundTrip) {
  const std::string image = RandomBytes(1000, 7);
  const std::string file = dirs.Dir().File("app.bin");
  test::WriteFile(file, image);

  auto download = OnPty({"download", file, "--sector", "2"});
  ASSERT_EQ(download.exitCode, 0) << download.err;

  auto compare = OnPty({"compare", file, "--address", "0100"});
  EXPECT_EQ(compare.exitCode, 0) << compare.err;
  EXPECT_TRUE(Has(compare.out, "IAP Status: File app.bin Compare OK!\n")) << compare.out;

  auto elsewhere = OnPty({"compare", file, "--sector", "0"});
  EXPECT_EQ(elsewhere.exitCode, 1);
  EXPECT_TRUE(Has(elsewhere.out, "Unmatched data at memory address 0000h")) << elsewhere.out;

  auto read = OnPty({"read", "--sector", "2", "--range", "8"});
  EXPECT_EQ(read.exitCode, 0) << read.err;
  EXPECT_TRUE(Has(read.out, "SECTOR 002")) << read.out;

  const std::string saved = dirs.Dir().File("saved.bin");
  auto save = OnPty({"save", saved, "--binary", "--sector", "2", "--range", "8"});
  ASSERT_EQ(save.exitCode, 0) << save.err;
  const std::string bytes = test::ReadFile(saved);
  ASSERT_EQ(bytes.size(), 8u * 128u);
  EXPECT_EQ(bytes.substr(0, image.size()), image);
  EXPECT_EQ(bytes.substr(image.size()), std::string(1024 - image.size(), '\xFF'));

  auto erase = OnPty({"erase", "--sector", "2", "--range", "8"});
  EXPECT_EQ(erase.exitCode, 0) << erase.err;
  auto blank = OnPty({"compare", file, "--sector", "2"});
  EXPECT_EQ(blank.exitCode, 1);
}

TEST_F(CliOnPtyTest, QuestionsAreAnsweredNoWithoutATerminal) {
  const std::string file = dirs.Dir().File("app.bin");
  test::WriteFile(file, RandomBytes(128, 3));
  auto r = Cli({"--port", link, "--model", "KT540", "download", file});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_TRUE(Has(r.err, "Data in corresponding sectors will be erased.\nProceed to download?")) << r.err;
}

}  // namespace
}  // namespace brisko
