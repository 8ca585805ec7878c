// brisko-cli's lock, remap, edit, cable-test and --bank, end to end.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <sstream>
#include <thread>

#include "cli/arguments.hpp"
#include "cli/terminal_operator.hpp"
#include "support/process.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

using namespace std::chrono_literals;
using Args = std::vector<std::string>;

test::ProcessResult Cli(Args args) {
  args.insert(args.begin(), BRISKO_CLI_PATH);
  return test::RunProcess(args, 60s);
}

::testing::AssertionResult Has(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\"" << part << "\" not in:\n" << text;
}

TEST(CliConfiguration, LockWithoutAnOptionListsTheMenuAndRemapRefusesADisabledRadio) {
  auto menu = Cli({"--simulate", "KT410", "lock"});
  EXPECT_EQ(menu.exitCode, 2);
  EXPECT_TRUE(Has(menu.err, "  5  L3 Soft Lock Block 0, Hard Lock Block 1 (PROG-SB3)"));
  auto sc1 = Cli({"--simulate", "KT550", "--yes", "remap", "sc1"});
  EXPECT_EQ(sc1.exitCode, 2);
  EXPECT_TRUE(Has(sc1.err, "\"PROG-SC1 (KT530, KT560/570/580, KT550)\" is not offered for this chip."));
  EXPECT_EQ(Cli({"--simulate", "KT420", "remap", "8k"}).exitCode, 2);
  auto level4 = Cli({"--simulate", "KT420", "--sim-security", "20", "--yes", "lock", "4"});
  EXPECT_EQ(level4.exitCode, 1) << "refused: nothing was programmed";
  EXPECT_TRUE(Has(level4.err, "Can not set level4 lock!"));
}

class CliOnBoard : public ::testing::Test {
 protected:
  void Start(const std::string& model, Args extra = {}) {
    model_ = model;
    Args args{BRISKO_SIM_PATH, "--model", model, "--link", link, "--quiet"};
    args.insert(args.end(), extra.begin(), extra.end());
    sim = std::make_unique<test::BackgroundProcess>(args);
    ASSERT_FALSE(sim->ReadLine(10s).empty());
  }
  // The simulator's state line once the chip has taken every byte that is
  // still on its way (two looks 20 ms apart agree).
  std::string SettledState() {
    std::string before;
    for (int look = 0; look < 100; ++look) {
      if (!sim->WriteInput("state\n")) return "";
      std::string now = sim->ReadLine(5s);
      if (now == before) return now;
      before = std::move(now);
      std::this_thread::sleep_for(20ms);
    }
    return before;
  }
  test::ProcessResult OnPty(Args args) {
    args.insert(args.begin(), {"--port", link, "--model", model_, "--yes"});
    return Cli(args);
  }
  test::TestFiles files;
  std::string link = files.Path("tty");
  std::string model_;
  std::unique_ptr<test::BackgroundProcess> sim;
};

TEST_F(CliOnBoard, LockThenRedetect) {
  Start("KT530");
  auto lock = OnPty({"lock", "2"});
  EXPECT_EQ(lock.exitCode, 0) << lock.err;
  EXPECT_TRUE(Has(lock.err, "Set Lock Completed!\nChip will be automatically redetected!"));
  auto detect = OnPty({"detect"});
  EXPECT_TRUE(Has(detect.out, "(FSTAT[7:5]: 011)")) << "SB2 and SB3 read back by a new process";
}

TEST_F(CliOnBoard, DownloadIntoTheHighBankAndBack) {
  Start("KT420", {"--a16", "1"});
  std::string image(300, '\0');
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 7 + 1);
  const std::string file = files.Write("bank.bin", image);
  auto download = OnPty({"download", file, "--bank", "high", "--sector", "1"});
  EXPECT_EQ(download.exitCode, 0) << download.err;
  EXPECT_TRUE(Has(download.err, "c.    A16 = 1     or  #3 = OFF"));
  EXPECT_TRUE(Has(download.err, "Return to MCU Flash Successful!"));
  EXPECT_EQ(OnPty({"--bank", "high", "compare", file, "--sector", "1"}).exitCode, 0);  // before the command too
  // The host never picks the half: with the switch on A16 = 1, "low" is
  // the same half. Flipped (on the simulator's input), it is another.
  EXPECT_EQ(OnPty({"compare", file, "--bank", "low", "--sector", "1"}).exitCode, 0);
  ASSERT_TRUE(sim->WriteInput("a16 0\n"));
  int compared = 0;
  for (int attempt = 0; attempt < 20 && compared == 0; ++attempt)
    compared = OnPty({"compare", file, "--bank", "low", "--sector", "1"}).exitCode;
  EXPECT_EQ(compared, 1) << "the low half does not hold the file";
  EXPECT_EQ(OnPty({"detect"}).exitCode, 0) << "block 0 is back and the loader answers";
}

// The program goes into the bank, block 0 comes back, and only then does the
// board restart into the program: the bank helper is not left in block 0.
TEST_F(CliOnBoard, DownloadRunIntoABankReturnsBeforeItStarts) {
  Start("KT420");
  const std::string file = files.Write("bank.bin", std::string(200, '\x5A'));
  auto run = OnPty({"download-run", file, "--bank", "low", "--sector", "1"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(Has(run.err, "Return to MCU Flash Successful!"));
  auto saved = OnPty({"save", files.Path("block0.bin"), "--binary", "--sector", "0", "--range", "68"});
  ASSERT_EQ(saved.exitCode, 0) << saved.err;
  EXPECT_EQ(test::ReadFile(files.Path("block0.bin")), std::string(68 * 128, '\xFF')) << "block 0 is as it was";
}

// A sector that is not in the list is refused before the programmer is
// parked: block 0 stays as it was.
TEST_F(CliOnBoard, UpdateLoaderChecksItsSectorBeforeItTouchesTheChip) {
  Start("KT550");
  const std::string file = files.Write("bsl.bin", std::string(1152, '\x11'));
  auto update = OnPty({"update-loader", file, "--sector", "600"});
  EXPECT_EQ(update.exitCode, 2) << update.err;
  auto saved = OnPty({"save", files.Path("block0.bin"), "--binary", "--sector", "0", "--range", "68"});
  ASSERT_EQ(saved.exitCode, 0) << saved.err;
  EXPECT_EQ(test::ReadFile(files.Path("block0.bin")), std::string(68 * 128, '\xFF'));
}

TEST_F(CliOnBoard, TwoSectorByteEdit) {
  Start("KT540");
  auto edit = OnPty({"edit", "03FC", "1 2 03 04 05 06 07 08"});
  EXPECT_EQ(edit.exitCode, 0) << edit.err;
  auto show = OnPty({"edit", "3fc"});
  EXPECT_EQ(show.exitCode, 0);
  EXPECT_TRUE(Has(show.out, "03FC: 01 02 03 04 05 06 07 08 FF FF FF FF FF FF FF FF \n"));
}

// --yes answers the ordinary questions and the A16 switch text, but never a
// question only the person at the controls may answer Yes; at a terminal
// without --yes the switch text waits for Enter.
TEST(TerminalOperator, YesAnswersOnlyWhatItMayAndTheSwitchTextWaitsAtATerminal) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  std::FILE* terminal = std::fopen(::ptsname(master), "r");
  ASSERT_NE(terminal, nullptr);
  std::FILE* nowhere = std::fopen("/dev/null", "r");
  std::FILE* err = std::tmpfile();
  const auto typed = [&](const char* text) { ASSERT_EQ(::write(master, text, std::strlen(text)), static_cast<ssize_t>(std::strlen(text))); };
  cli::Arguments yes;
  yes.yes = true;
  cli::Arguments asks;

  cli::TerminalOperator script(yes, nowhere, err);
  EXPECT_TRUE(script.Ask("Proceed?"));
  EXPECT_FALSE(script.AskInPerson("Put them back?")) << "--yes alone does not answer it";
  script.TellAndWait("Set A16 = 1");  // returns at once

  cli::TerminalOperator yesAtTerminal(yes, terminal, err);
  typed("y\n");
  EXPECT_TRUE(yesAtTerminal.AskInPerson("Put them back?")) << "a person at the terminal answers it";
  typed("left\n");
  yesAtTerminal.TellAndWait("Set A16 = 1");  // --yes: nothing read
  char line[16] = {0};
  ASSERT_NE(std::fgets(line, sizeof line, terminal), nullptr);
  EXPECT_STREQ(line, "left\n");

  cli::TerminalOperator atTerminal(asks, terminal, err);
  typed("\n");
  atTerminal.TellAndWait("Set A16 = 1");  // waits for that Enter
  typed("n\n");
  EXPECT_FALSE(atTerminal.Ask("Proceed?"));

  std::rewind(err);
  std::string said(4096, '\0');
  said.resize(std::fread(said.data(), 1, said.size(), err));
  EXPECT_TRUE(Has(said, "Put them back? [answered No: only a person at a terminal may answer Yes here, --yes does not]"));
  EXPECT_TRUE(Has(said, "Set A16 = 1\n[press Enter when done] "));
  std::fclose(terminal);
  std::fclose(nowhere);
  std::fclose(err);
  ::close(master);
}

// Every byte brisko-cli sent, as its wire trace recorded it, in hex.
std::string SentBytes(const std::string& tracePath) {
  std::string sent;
  std::istringstream lines(test::ReadFile(tracePath));
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("TX ", 0) == 0) sent += line.substr(line.size() - 2);
  return sent;
}

// What a chip that keeps its state across the host closing the port holds
// and has heard once brisko-cli has ended. Its reader lags behind the line,
// and a host that clears its output queue loses what the chip has not taken
// yet: the chip must have heard every byte the host sent, to the last.
TEST_F(CliOnBoard, TheLastBytesOfEveryCommandReachAChipThatKeepsItsState) {
  struct Row {
    const char* what;
    const char* model;  // none: a loop-back cable
    Args simArgs;
    Args command;
    std::vector<const char*> state;  // parts of the chip's state line
  } rows[] = {
      {"run: 62h 62h start the program", "KT540", {}, {"run"}, {"phase=UserCode", "55606262"}},
      {"lock: SB1, then 6Bh 6Bh, then the re-detection", "KT540", {}, {"lock", "1"},
       {"security=80", "040FFF6B6B80E0F8FE"}},
      {"remap of a KT410 in external memory mode: 6Bh 6Bh twice, the reset's second", "KT410",
       {"--mode", "external"}, {"--mode", "external", "remap", "1k"}, {"remap=1", "02006B6B6B6B80E0F8FE"}},
      {"SC0 of a KT540 in internal memory mode: nothing follows", "KT540", {}, {"remap", "sc0"},
       {"remap=1", "04095A"}},
      {"double clock in external memory mode: the reset's 6Bh 6Bh", "KT560", {"--mode", "external"},
       {"--mode", "external", "double-clock"}, {"double-clock=1", "6A6A6B6B80E0F8FE"}},
      {"a read in the low bank ends with the return 01h 01h", "KT560", {}, {"read", "--bank", "low", "--range", "1"},
       {"bank=none", "0101"}},
      // Its rounds come back late: the last round may still be on its way.
      {"the cable test", nullptr, {"--loopback", "--read-lag-us", "12000"}, {"cable-test"}, {"80E0F8"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Args simArgs{"--keep-on-close", "--read-lag-us", "3000"};
    simArgs.insert(simArgs.end(), row.simArgs.begin(), row.simArgs.end());
    Start(row.model ? row.model : "KT420", simArgs);
    const std::string trace = files.Path("wire.txt");
    Args command{"--trace", trace};
    command.insert(command.end(), row.command.begin(), row.command.end());
    const auto run = OnPty(command);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string state = SettledState();
    for (const char* part : row.state) EXPECT_TRUE(Has(state, part));
    const std::string sent = SentBytes(trace);
    EXPECT_FALSE(sent.empty());
    EXPECT_TRUE(state.ends_with("received=" + sent)) << "sent " << sent << "\n" << state;
  }
}

TEST(CliCableTest, PassesOnALoopBackCable) {
  test::TestFiles files;
  const std::string link = files.Path("tty");
  test::BackgroundProcess cable({BRISKO_SIM_PATH, "--loopback", "--link", link, "--quiet"});
  ASSERT_FALSE(cable.ReadLine(10s).empty());
  auto test = Cli({"--port", link, "--yes", "cable-test"});
  EXPECT_EQ(test.exitCode, 0) << test.err;
  EXPECT_TRUE(Has(test.err, "Serial connection is correct!"));
}

}  // namespace
}  // namespace brisko
