#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/process.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

using namespace std::chrono_literals;

test::ProcessResult Cli(std::vector<std::string> args, std::chrono::milliseconds limit = 60s) {
  args.insert(args.begin(), BRISKO_CLI_PATH);
  return test::RunProcess(args, limit);
}

::testing::AssertionResult Has(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\"" << part << "\" not in:\n" << text;
}

class CliTest : public ::testing::Test {
 protected:
  test::TestFiles files;  // the settings file and temporary images stay in here
};

TEST_F(CliTest, DetectsTheBuiltInSimulatedChip) {
  auto r = Cli({"--simulate", "KT540", "--model", "KT540", "detect"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(Has(r.out, "Chip Type: KT540\nFlash Size: 64+8 KB\n"));
  EXPECT_TRUE(Has(r.out, "Security: SECURITY : CHIP IS UNLOCKED (FSTAT[7:5]:000)\n"));
  ASSERT_NE(r.out.rfind("IAP Status:"), std::string::npos);
  EXPECT_EQ(r.out.substr(r.out.rfind("IAP Status:")), "IAP Status: Detect target MCU is successful!\n");  // last
  EXPECT_TRUE(Has(r.err, "Click on OK then Reset MCU\nto Detect Baud & Chip\n(MCU:Fw v1.1F)"));

  auto kt410 = Cli({"--simulate", "KT410", "detect"});  // the model defaults to the simulated one
  EXPECT_EQ(kt410.exitCode, 0) << kt410.err;
  EXPECT_TRUE(Has(kt410.out, "Chip Type: KT410\n"));
}

TEST_F(CliTest, FailuresExitNonZero) {
  auto wrong = Cli({"--simulate", "KT420", "--sim-letter", "E", "detect"});
  EXPECT_EQ(wrong.exitCode, 1);
  EXPECT_TRUE(Has(wrong.err, "Wrong Firmware Version Detected in MCU chip!!!"));
  // The model chosen does not match the chip: its mode byte is not answered.
  auto mismatch = Cli({"--simulate", "KT420", "--model", "KT540", "--mode", "external", "detect"});
  EXPECT_EQ(mismatch.exitCode, 1);
  EXPECT_TRUE(Has(mismatch.err, "No Response from Target Board after sending 05h,55h!!!"));

  auto missing = Cli({"--port", "/dev/brisko-missing-port", "detect"}, 10s);
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_TRUE(Has(missing.err, "Failed to setup Serial Comm with Target MCU!!!"));
  EXPECT_TRUE(Has(missing.out, "no such device"));
  EXPECT_LT(missing.elapsed, 5s);
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
  EXPECT_TRUE(Has(r.err, "Failed to setup RS232 connection with Target MCU!!!"));
  EXPECT_GE(r.elapsed, 12s);
  EXPECT_LT(r.elapsed, 20s);
}

TEST_F(CliTest, UsageErrorsHelpAndTheBaudCalculator) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"frobnicate"}, {"--model", "KT999", "detect"}, {"--baud", "57600", "detect"}, {"download"}})
    EXPECT_EQ(Cli(args).exitCode, 2) << (args.empty() ? "" : args[0]);
  auto help = Cli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_TRUE(Has(help.out, "Usage: brisko-cli"));

  auto baud = Cli({"baud", "--crystal", "12"});
  EXPECT_EQ(baud.exitCode, 0) << baud.err;
  EXPECT_TRUE(Has(baud.out, "Baud Rate: 38400\nReload: FFF6h\n"));
  auto next = Cli({"baud", "--crystal", "11.0592", "--next"});
  EXPECT_TRUE(Has(next.out, "Baud Rate: 19200\nReload: FFEEh\n"));
}

// brisko-sim on a pseudo-terminal keeps its flash between commands, so a
// download can be read back, compared and saved by later processes.
class CliOnPtyTest : public CliTest {
 protected:
  void SetUp() override {
    sim = std::make_unique<test::BackgroundProcess>(
        std::vector<std::string>{BRISKO_SIM_PATH, "--model", "KT540", "--link", link, "--quiet"});
    ASSERT_FALSE(sim->FirstLine(10s).empty());
  }
  test::ProcessResult OnPty(std::vector<std::string> args, bool yes = true) {
    std::vector<std::string> all{"--port", link, "--model", "KT540"};
    if (yes) all.push_back("--yes");
    all.insert(all.end(), args.begin(), args.end());
    return Cli(all);
  }
  std::string link = files.Path("tty");
  std::unique_ptr<test::BackgroundProcess> sim;
};

TEST_F(CliOnPtyTest, DetectDownloadCompareReadSaveAndErase) {
  auto detect = OnPty({"detect"});
  EXPECT_EQ(detect.exitCode, 0) << detect.err;
  EXPECT_TRUE(Has(detect.out, "Chip Type: KT540\n"));
  EXPECT_TRUE(Has(detect.out, "IAP Status: Detect target MCU is successful!\n"));
  EXPECT_LT(detect.elapsed, 5s);

  std::mt19937 random(7);
  std::string image(1000, '\0');
  for (char& c : image) c = static_cast<char>(random() & 0xFF);
  const std::string file = files.Write("app.bin", image);
  auto unanswered = OnPty({"download", file}, false);  // without a terminal questions are answered No
  EXPECT_EQ(unanswered.exitCode, 1);
  EXPECT_TRUE(Has(unanswered.err, "Data in corresponding sectors will be erased.\nProceed to download?"));

  auto download = OnPty({"download", file, "--sector", "2"});
  ASSERT_EQ(download.exitCode, 0) << download.err;
  auto compare = OnPty({"compare", file, "--address", "0100"});
  EXPECT_EQ(compare.exitCode, 0) << compare.err;
  EXPECT_TRUE(Has(compare.out, "IAP Status: File app.bin Compare OK!\n"));
  auto elsewhere = OnPty({"compare", file, "--sector", "0"});
  EXPECT_EQ(elsewhere.exitCode, 1);
  EXPECT_TRUE(Has(elsewhere.out, "Unmatched data at memory address 0000h"));

  auto read = OnPty({"read", "--sector", "2", "--range", "8"});
  EXPECT_EQ(read.exitCode, 0) << read.err;
  EXPECT_TRUE(Has(read.out, "SECTOR 002"));
  auto save = OnPty({"save", files.Path("saved.bin"), "--binary", "--sector", "2", "--range", "8"});
  ASSERT_EQ(save.exitCode, 0) << save.err;
  EXPECT_EQ(test::ReadFile(files.Path("saved.bin")), image + std::string(1024 - image.size(), '\xFF'));

  auto erase = OnPty({"erase", "--sector", "2", "--range", "8"});
  EXPECT_EQ(erase.exitCode, 0) << erase.err;
  EXPECT_EQ(OnPty({"compare", file, "--sector", "2"}).exitCode, 1);
}

}  // namespace
}  // namespace brisko
