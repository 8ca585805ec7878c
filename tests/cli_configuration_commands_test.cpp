// brisko-cli's commands that change the chip, and its questions, end to end.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "cli/arguments.hpp"
#include "cli/terminal_operator.hpp"
#include "support/cli_board.hpp"

namespace brisko {
namespace {

using test::Args;
using test::Has;
using CliOnBoard = test::CliBoard;

// Block 0 after commands that must leave it as it was, or as edited: a bank
// program goes in and block 0 comes back before the board restarts into it
// (the bank helper is not left there); a loader sector not in the list is
// refused before the programmer is parked; a byte edit across two sectors
// lands in both, as its display shows. The last command's exit status and
// text are checked.
TEST_F(CliOnBoard, Block0AfterEachCommandIsWhatItShouldBe) {
  const std::string erased(68 * 128, '\xFF');
  std::string edited = erased;
  for (int i = 0; i < 8; ++i) edited[0x3FC + i] = static_cast<char>(i + 1);
  struct Row { const char* model; std::vector<Args> commands; int exit; const char* says; const std::string& block0; };
  const Row rows[] = {
      {"KT420",
       {{"download-run", files.Write("bank.bin", std::string(200, '\x5A')), "--bank", "low", "--sector", "1"}},
       0, "Return to MCU Flash Successful!", erased},
      {"KT550", {{"update-loader", files.Write("bsl.bin", std::string(1152, '\x11')), "--sector", "600"}}, 2, "",
       erased},
      {"KT540", {{"edit", "03FC", "1 2 03 04 05 06 07 08"}, {"edit", "3fc"}}, 0,
       "03FC: 01 02 03 04 05 06 07 08 FF FF FF FF FF FF FF FF \n", edited},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.model);
    Start(row.model);
    test::ProcessResult run;
    for (const Args& command : row.commands) run = OnPty(command);
    EXPECT_EQ(run.exitCode, row.exit) << run.err;
    EXPECT_TRUE(Has(run.out + run.err, row.says));
    auto saved = OnPty({"save", files.Path("block0.bin"), "--binary", "--sector", "0", "--range", "68"});
    ASSERT_EQ(saved.exitCode, 0) << saved.err;
    EXPECT_TRUE(test::ReadFile(files.Path("block0.bin")) == row.block0) << "block 0 is not what it should be";
  }
}

// --yes answers the ordinary questions and the A16 switch text, but never a
// question only the person at the controls may answer Yes; at a terminal
// without --yes the switch text waits for Enter.
TEST(TerminalOperator, YesAnswersOnlyWhatItMayAndTheSwitchTextWaitsAtATerminal) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
  std::FILE* terminal = std::fopen(::ptsname(master), "r");
  std::FILE* nowhere = std::fopen("/dev/null", "r");
  char* said = nullptr;
  std::size_t size = 0;
  std::FILE* err = ::open_memstream(&said, &size);
  ASSERT_TRUE(terminal && nowhere && err);
  const auto typed = [master](const std::string& text) { return ::write(master, text.data(), text.size()) > 0; };
  cli::Arguments yes, asks;
  yes.yes = true;

  cli::TerminalOperator script(yes, nowhere, err);
  EXPECT_TRUE(script.Ask("Proceed?"));
  EXPECT_FALSE(script.AskInPerson("Put them back?")) << "--yes alone does not answer it";
  script.TellAndWait("Set A16 = 1");  // returns at once

  cli::TerminalOperator yesAtTerminal(yes, terminal, err);
  ASSERT_TRUE(typed("y\n"));
  EXPECT_TRUE(yesAtTerminal.AskInPerson("Put them back?")) << "a person at the terminal answers it";
  ASSERT_TRUE(typed("left\n"));
  yesAtTerminal.TellAndWait("Set A16 = 1");  // --yes: nothing read
  char line[16] = {0};
  EXPECT_STREQ(std::fgets(line, sizeof line, terminal), "left\n");

  cli::TerminalOperator atTerminal(asks, terminal, err);
  ASSERT_TRUE(typed("\n"));
  atTerminal.TellAndWait("Set A16 = 1");  // waits for that Enter
  ASSERT_TRUE(typed("n\n"));
  EXPECT_FALSE(atTerminal.Ask("Proceed?"));

  std::fclose(err);
  EXPECT_TRUE(Has(said, "Put them back? [answered No: only a person at a terminal may answer Yes here, --yes does not]"));
  EXPECT_TRUE(Has(said, "Set A16 = 1\n[press Enter when done] "));
  std::free(said);
  std::fclose(terminal);
  std::fclose(nowhere);
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
    const char* says = "";           // on stderr
  } rows[] = {
      {"run: 62h 62h start the program", "KT540", {}, {"run"}, {"phase=UserCode", "55606262"}},
      {"lock: SB1, then 6Bh 6Bh, then the re-detection", "KT540", {}, {"lock", "1"},
       {"security=80", "040FFF6B6B80E0F8FE"}, "Set Lock Completed!\nChip will be automatically redetected!"},
      {"SC0 of a KT540 in internal memory mode: nothing follows", "KT540", {}, {"remap", "sc0"},
       {"remap=1", "04095A"}},
      {"a read in the low bank ends with the return 01h 01h", "KT560", {}, {"read", "--bank", "low", "--range", "1"},
       {"bank=none", "0101"}},
      // Its rounds come back late: the last round may still be on its way.
      {"the cable test", nullptr, {"--loopback", "--read-lag-us", "12000"}, {"cable-test"}, {"80E0F8"},
       "Serial connection is correct!"},
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
    EXPECT_TRUE(Has(run.err, row.says));
    const std::string state = SettledState();
    for (const char* part : row.state) EXPECT_TRUE(Has(state, part));
    const std::string sent = SentBytes(trace);
    EXPECT_FALSE(sent.empty());
    EXPECT_TRUE(state.ends_with("received=" + sent)) << "sent " << sent << "\n" << state;
  }
}

}  // namespace
}  // namespace brisko
