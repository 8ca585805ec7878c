#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_command.hpp"
#include "cli/interrupt_watch.hpp"
#include "shell/session/displaced_notice.hpp"
#include "cli/outcome_lines.hpp"
#include "cli/run_cli.hpp"
#include "cli/run_log.hpp"
#include "cli/terminal_progress.hpp"
#include "shell/commands/command_table.hpp"
#include "shell/flash/compare_command.hpp"
#include "shell/flash/download_command.hpp"
#include "shell/flash/erase_commands.hpp"
#include "shell/flash/read_command.hpp"
#include "support/cli_board.hpp"
#include "support/sim_session.hpp"

namespace brisko {
namespace {

using namespace std::chrono_literals;
using test::Args;
using test::Cli;
using test::Has;
using CliTest = test::CliBoard;  // the settings file and temporary images stay in its folder

// Refused before the port is opened: nothing is detected, nothing saved.
TEST_F(CliTest, UsageErrorsExitTwoAndSayWhy) {
  const std::string folder = files.Path("");
  const std::string missing = files.Path("missing.hex");
  const std::string models = "(KT410, KT420, KT530, KT540, KT550, KT560, KT570, KT580)";
  const struct { Args args; std::string why; } rows[] = {
      {{}, "A subcommand is required"}, {{"frobnicate"}, "frobnicate"}, {{"--model", "KT999", "detect"}, "KT999"},
      {{"--baud", "57600", "detect"}, "57600"}, {{"download"}, "FILE"}, {{"baud"}, "--crystal"},
      {{"--port", "0", "detect"}, "COM1 to COM256"}, {{"--port", "COM300", "detect"}, "COM1 to COM256"},
      {{"--port", "99999999999", "detect"}, "COM1 to COM256"}, {{"--simulate", "KT420", "run", "extra"}, "extra"},
      {{"--simulate", "KT420", "read", "--sector", "4294967295"}, "--sector"},
      {{"--simulate", "KT420", "--crystal", "50", "detect"}, "--crystal"},
      // An empty value (an unset variable in a script) never means "the saved one".
      {{"--port", "", "--model", "KT540", "chip-erase"}, "--port has an empty value"},
      {{"--model", "KT540", "--port=", "detect"}, "--port has an empty value"},
      {{"--simulate", "KT540", "--crystal", " ", "detect"}, "--crystal has an empty value"},
      {{"--simulate", "KT540", "download", ""}, "an argument is empty"},
      // The 1.1F loader does not tell the model: on a real port it is named.
      {{"detect"}, "detect needs --model: the chip's loader does not tell its model " + models},
      {{"--port", "/dev/brisko-missing-port", "chip-erase"}, "chip-erase needs --model"},
      {{"--model", "KT540", "--port", "/dev/ttyUSB0", "--save-settings", "detect"}, "is a device path"},
      {{"--save-settings", "baud", "--crystal", "12"}, "baud detects no chip"},
      {{"--simulate", "KT540", "detect", "--bank", "high"}, "detect does not take --bank"},
      {{"--bank", "middle", "--simulate", "KT540", "read"}, "low or high"},
      // The simulated chip is refused as brisko-sim refuses it, never quietly bent.
      {{"--simulate", "KT540", "--sim-loader", "1.1E", "detect"}, "loader 1.1E exists only on the KT410 and KT420"},
      {{"--simulate", "KT540", "--sim-security", "FF", "detect"}, "bits 7..5 of the status byte"},
      {{"--simulate", "KT540", "--sim-fault", "refuse-erase:4294967297", "detect"}, "refuse-erase"},
      // Several ports, stations and logs.
      {{"--port", "COM1", "--port", "com1", "--port", "COM1", "--model", "KT540", "detect"}, "--port COM1 is given twice"},
      {{"--port", "COM1", "--port", "COM2", "--model", "KT540", "--save-settings", "detect"}, "saves one port"},
      {{"--repeat", "2", "baud", "--crystal", "12"}, "baud detects no chip"},
      {{"--simulate", "KT540", "--log", missing + "/run.log", "detect"}, "cannot write the log " + missing},
      // Byte edit: 1-4 digits of address, bytes of 1-2 digits, nothing guessed.
      {{"--simulate", "KT540", "edit", "12345", "11"}, "\"12345\" is not an address of 1 to 4 hexadecimal digits"},
      {{"--simulate", "KT540", "edit", "03E6x", "11"}, "\"03E6x\" is not an address"},
      {{"--simulate", "KT540", "edit", "0100", "724F"}, "\"724F\" is not a byte of 1 or 2 hexadecimal digits"},
      {{"--simulate", "KT540", "edit", "0100", "0 1 2 3 4 5 6 7 8 9 A B C D E F 10"}, "holds 17 bytes, not 1 to 16"},
      // Files are checked before the port opens.
      {{"--port", "/dev/brisko-missing-port", "--model", "KT540", "download", missing},
       "cannot read " + missing + ": No such file or directory"},
      {{"--simulate", "KT540", "compare", folder}, "cannot read " + folder + ": it is a folder"},
      {{"--simulate", "KT540", "save", missing + "/dump.bin"}, "cannot write " + missing + "/dump.bin: " + missing},
  };
  for (const auto& row : rows) {
    auto r = Cli(row.args);
    EXPECT_EQ(r.exitCode, 2) << testing::PrintToString(row.args);
    EXPECT_TRUE(Has(r.err, row.why));
    EXPECT_FALSE(Has(r.err, "Reset MCU")) << "nothing was detected";
  }
  EXPECT_FALSE(std::filesystem::exists(files.Path("config/brisko/OrvexBslComDft.txt")));
  // What brisko-cli adds to a command finds it by name (a misspelled name
  // would silently drop the options).
  for (auto group : {cli::SessionExtras, cli::FlashExtras, cli::ConfigurationExtras, cli::LoaderExtras})
    for (const cli::CliExtra& extra : group())
      EXPECT_TRUE(FindCommandEntry(extra.name) && !FindCommandEntry(extra.name)->help.empty()) << extra.name;
  EXPECT_TRUE(Has(Cli({"--help"}).out, "baud"));
  EXPECT_TRUE(Has(Cli({"download", "--help"}).out, "--sector"));
}

// On the built-in simulated chip: exit status, what goes to stdout and stderr.
TEST_F(CliTest, SimulatedChipCommands) {
  const std::string letters = files.Write("letters.bin", std::string("ABCDEFGH"));
  const std::string saved = files.Path("saved.bin");
  const std::string log = files.Path("station.log");
  std::filesystem::create_directories(files.Path("config/brisko"));
  test::WriteFile(files.Path("config/brisko/ports.conf"), "COM9=/dev/pts/9\n");
  const struct { Args args; int exit; const char* out; const char* err; std::size_t logLines = 0; } rows[] = {
      {{"--simulate", "KT540", "--model", "KT540", "detect"}, 0,
       "Chip Type: KT540 (selected by the user; the loader does not tell the model)\nFlash Size: 64+8 KB\n",
       "Click on OK then Reset MCU\nto Detect Baud & Chip\n(MCU:Fw v1.1F)"},
      {{"--simulate", "KT540", "--sim-security", "60", "detect"}, 0,  // the summary is last
       "Security: SECURITY : CHIP IS LEVEL3 HARDLOCKED (FSTAT[7:5]: 011)\n"
       "IAP Status: Detect target MCU is successful!\ndetect: ", ""},
      {{"--port", "/dev/brisko-missing-port", "--model", "KT540", "detect"}, 1, "no such device",
       "Failed to setup Serial Comm with Target MCU!!!\nbrisko-cli: detect failed at step \"open the port\" (code 14): "
       "/dev/brisko-missing-port: no such device\n"},
      // Both blocks of a KT540 start at 0000h: the address alone names no one sector; block 1 is not blank.
      {{"--simulate", "KT540", "--model", "KT540", "read", "--address", "0000"}, 2, "", "--sector 0 or --sector 512"},
      {{"--simulate", "KT540", "--model", "KT540", "read", "--address", "0000", "--block", "1"}, 0, "Not Blank", ""},
      // Without --yes (and a terminal) questions are answered No; a file is not replaced.
      {{"--simulate", "KT540", "download", letters}, 1, "download: declined",
       "Data in corresponding sectors will be erased.\nProceed to download?"},
      {{"--simulate", "KT540", "--yes", "save", saved, "--binary", "--sector", "2", "--range", "8"}, 0, "", ""},
      {{"--simulate", "KT540", "save", saved, "--text", "--sector", "2", "--range", "8"}, 1, "", "already exists"},
      {{"--simulate", "KT540", "read", "--sector", "2", "--range", "8"}, 0, "SECTOR 002", ""},
      // The high half's mismatch, not the return's success, is the status; its
      // address is the absolute one.
      {{"--simulate", "KT420", "--yes", "compare", letters, "--bank", "high", "--sector", "1"}, 1,
       "IAP Status: Unmatched data at memory address 11000h: FFh(MCU) vs. 41h in File letters.bin\n", ""},
      {{"baud", "--crystal", "11.0592", "--next"}, 0, "Baud Rate: 19200\nReload: FFEEh\n", ""},
      // Configuration: a menu without its option, a radio the chip does not offer.
      {{"--simulate", "KT410", "lock"}, 2, "", "  5  L3 Soft Lock Block 0, Hard Lock Block 1 (PROG-SB3)"},
      {{"--simulate", "KT550", "--yes", "remap", "sc1"}, 2, "",
       "\"PROG-SC1 (KT530, KT560/570/580, KT550)\" is not offered for this chip."},
      {{"--simulate", "KT420", "remap", "8k"}, 2, "", ""},
      // The loader commands exit 0 only when the loader was replaced.
      {{"--simulate", "KT580", "--model", "KT580", "--yes", "probex"}, 1, "", "KT580 doesn't have Probex support!"},
      {{"--simulate", "KT420", "--model", "KT420", "--yes", "update-external-loader", "--bank", "low"}, 0, "",
       "Upgrade External BSL Succeed!"},
      {{"--simulate", "KT540", "--model", "KT540", "detect", "--unknown-version"}, 0, "",
       "(We will detect MCU:FW 1.1F first.)"},
      // Stations, logs (their lines so far), traces and JSON.
      {{"--simulate", "KT540", "--repeat", "3", "--log", log, "detect"}, 0, "\nPORT ", "Waiting for the next board", 3},
      {{"--simulate", "KT540", "--port", "COM1", "--port", "COM2", "--trace", files.Path("t"), "detect"}, 0,
       "==> COM2 <==", "", 3},
      {{"--simulate", "KT540", "--log", "/dev/full", "detect"}, 1, "detect: found",
       "the log line is lost: /dev/full: No space left on device", 3},
      {{"--simulate", "KT540", "--trace", "/dev/full", "detect"}, 1, "",
       "the wire trace is lost: /dev/full: cannot be written", 3},
      {{"--simulate", "KT540", "--json", "--log", log, "detect"}, 0, "{\"address\":null,", "Chip Type: KT540", 4},
      {{"ports"}, 0, "/dev/pts/9 (COM9)", "", 4},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.args));
    auto r = Cli(row.args);
    EXPECT_EQ(r.exitCode, row.exit) << r.err;
    EXPECT_TRUE(Has(r.out, row.out));
    EXPECT_TRUE(Has(r.err, row.err));
    for (char c : r.out) EXPECT_LT(static_cast<unsigned char>(c), 0x80);  // a dump's text column is printable
    EXPECT_FALSE(Has(r.err, "100%")) << "a bar on a pipe";
    EXPECT_FALSE(Has(r.err, "detect failed") && Has(r.out, "Chip Type:")) << "a failed detection shows an empty panel";
    EXPECT_EQ(test::Lines(test::ReadFile(log)).size(), row.logLines);
  }
  EXPECT_EQ(test::ReadFile(saved), std::string(1024, '\xFF'));
  // A settings file cut short is said once, left as it is and not applied.
  test::WriteFile(files.Path("config/brisko/OrvexBslComDft.txt"), "COM2$BAUD9600$CRY");
  auto cut = Cli({"--simulate", "KT540", "--save-settings", "detect"});
  EXPECT_EQ(cut.exitCode, 0);
  EXPECT_TRUE(Has(cut.err, "OrvexBslComDft.txt is ignored: "));
  EXPECT_EQ(test::ReadFile(files.Path("config/brisko/OrvexBslComDft.txt")), "COM2$BAUD9600$CRY");

  // Without --model, the simulated chip's model.
  EXPECT_EQ(nlohmann::json::parse(Cli({"--simulate", "KT410", "--json", "detect"}).out)["data"]["chip"]["type"], "KT410");
  EXPECT_TRUE(std::filesystem::file_size(files.Path("t.COM1")) > 0 && std::filesystem::file_size(files.Path("t.COM2")) > 0);
}

// A log line the disk can take only in part is taken back: the log holds
// whole lines only.
TEST(CliRunLog, ALineWrittenInPartIsTakenBack) {
  test::TempDir dir;
  cli::RunLog log;
  std::string why;
  ASSERT_TRUE(log.Open(dir.File("run.log"), why) && log.Append("{\"run\":1}", why));
  {
    test::FileSizeLimit full(20);
    EXPECT_FALSE(log.Append("{\"run\":2,\"port\":\"/dev/ttyUSB0\"}", why));
  }
  EXPECT_EQ(test::ReadFile(dir.File("run.log")), "{\"run\":1}\n");
  EXPECT_TRUE(Has(why, "the log line is lost: " + dir.File("run.log") + ": File too large"));
}

// brisko-sim on a pseudo-terminal keeps its flash between commands, so what
// a run writes is there for the next.
class CliOnPtyTest : public test::CliBoard {
 protected:
  void SetUp() override { Start("KT540"); }
  std::string settings = files.Path("config/brisko/OrvexBslComDft.txt");
};

// The saved settings are the defaults of a real run; --save-settings, and
// only it, replaces them, once the chip is detected.
TEST_F(CliOnPtyTest, SavedSettingsAreDefaultsAndReplacedOnlyWhenAsked) {
  std::filesystem::create_directories(files.Path("config/brisko"));
  test::WriteFile(files.Path("config/brisko/ports.conf"), "COM5=" + link + "\n");
  test::WriteFile(settings, "COM5$BAUD19200$CRYSTAL11.059200$$");
  auto byDefault = Cli({"--model", "KT540", "--baud", "9600", "detect"});  // COM5, through the port map
  EXPECT_EQ(byDefault.exitCode, 0) << byDefault.err;
  EXPECT_EQ(test::ReadFile(settings), "COM5$BAUD19200$CRYSTAL11.059200$$");
  auto saved =
      Cli({"--model", "KT540", "--port", "COM5", "--baud", "9600", "--crystal", "12", "--save-settings", "detect"});
  EXPECT_EQ(saved.exitCode, 0) << saved.err;
  EXPECT_EQ(test::ReadFile(settings), "COM5$BAUD9600$CRYSTAL12.000000$$");
  EXPECT_TRUE(Has(test::ReadFile(files.Path("config/Orvex/Brisko.conf")), "COMMPORT=5\n"));
  EXPECT_EQ(Cli({"--model", "KT540", "--port", "COM6", "--save-settings", "detect"}).exitCode, 1);  // no board there
  EXPECT_EQ(test::ReadFile(settings), "COM5$BAUD9600$CRYSTAL12.000000$$");
}

// A production line: several boards at once (one of them silent), a line in
// the log per board, one JSON object per command, and a re-flash that
// writes the one sector that changed.
TEST_F(CliOnPtyTest, SeveralBoardsLogJsonAndSkipUnchanged) {
  const std::string second = files.Path("tty2");
  test::BackgroundProcess sim2(Args{BRISKO_SIM_PATH, "--model", "KT540", "--link", second, "--quiet"});
  ASSERT_FALSE(sim2.ReadLine(10s).empty());
  const int silent = ::posix_openpt(O_RDWR | O_NOCTTY);  // a board that never answers
  ASSERT_TRUE(silent >= 0 && ::grantpt(silent) == 0 && ::unlockpt(silent) == 0);
  const std::string mute = ::ptsname(silent);
  const test::Bytes pattern = test::Pattern(3 * 1024, 9);  // no sector is blank
  std::string image(pattern.begin(), pattern.end());
  const std::string file = files.Write("app.bin", image);
  const std::string log = files.Path("run.log");

  // The scaled program gives up on the silent board within seconds.
  auto gang = test::RunProcess({BRISKO_CLI_SCALED_PATH, "--port", link, "--port", mute, "--port", second, "--model",
                                "KT540", "--yes", "--log", log, "--json", "download", file},
                               60s);
  ::close(silent);
  EXPECT_EQ(gang.exitCode, 1) << gang.err;
  const auto list = nlohmann::json::parse(gang.out);  // stdout is the JSON alone
  ASSERT_EQ(list.size(), 3u) << gang.out;
  for (int i : {0, 1, 2}) EXPECT_EQ(list[i]["outcome"], i == 1 ? "failed" : "succeeded");
  EXPECT_EQ(list[1]["port"], mute);
  EXPECT_EQ(list[2]["bytes"], image.size());
  for (const std::string& port : {link, mute, second}) EXPECT_TRUE(Has(gang.err, "==> " + port + " <==\n"));
  const auto lines = test::Lines(test::ReadFile(log));
  ASSERT_EQ(lines.size(), 3u);
  for (const std::string& line : lines) {
    const auto entry = nlohmann::json::parse(line);
    EXPECT_EQ(entry["sha256"], list[0]["sha256"]);
    EXPECT_EQ(entry["model"], entry["port"] == mute ? nlohmann::json() : nlohmann::json("KT540"));
    EXPECT_EQ(entry["outcome"], entry["port"] == mute ? "failed" : "succeeded");
  }

  image[1500] = static_cast<char>(image[1500] ^ 0x33);  // the file's 12th sector changes
  test::WriteFile(file, image);
  auto again = OnPty({"download", file, "--skip-unchanged"});
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_TRUE(Has(again.out, "verified, 23 unchanged sectors skipped"));
  EXPECT_EQ(OnPty({"compare", file, "--sector", "0"}).exitCode, 0);
  EXPECT_FALSE(std::filesystem::exists(settings)) << "runs on a device path save nothing";
}

// Ctrl-C, SIGTERM (a `timeout`, a service manager) and SIGHUP (a closed
// terminal) all ask the command to stop first; a second one ends the process
// at once, saying what is displaced on the chip when something is.
TEST(CliInterruptTest, FirstSignalCancelsSecondEndsWith130) {
  // `displaced` is the window's notice, "" when nothing is displaced.
  const struct { int first; int second; const char* displaced; } rows[] = {
      {SIGINT, SIGINT, ""},
      {SIGTERM, SIGINT, "Stopped at once while block 0 held the block-1 programmer"},
      {SIGHUP, SIGHUP, "The displaced bytes are in the file tmp/recovery"},
  };
  for (const auto& row : rows) {
    const auto interruptTwice = [&row] {
      DisplacedNotice notice;
      notice.Set(row.displaced);
      std::promise<void> cancelled;
      cli::InterruptWatch watch([&cancelled] { cancelled.set_value(); }, &notice);
      ::raise(row.first);
      cancelled.get_future().wait();
      ::raise(row.second);
    };
    // The death test's stderr is matched as a regular expression: the notices
    // hold no characters special to one.
    const std::string said = *row.displaced ? std::string("\n") + row.displaced + "\n" : std::string();
    EXPECT_EXIT(interruptTwice(), ::testing::ExitedWithCode(130), said) << row.first;
  }
  // A reader of the output that went away does not end the process.
  const auto pipeGone = [] {
    cli::InterruptWatch watch([] {});
    ::raise(SIGPIPE);
    std::exit(7);
  };
  EXPECT_EXIT(pipeGone(), ::testing::ExitedWithCode(7), "");
}

// The lines a terminal log holds, each as the frames drawn over one another
// with carriage returns.
std::vector<std::vector<std::string>> Frames(const std::string& log) {
  std::vector<std::vector<std::string>> lines;
  for (const std::string& line : test::Lines(log)) {
    std::istringstream frames(line.substr(0, line.size() - 1));
    lines.emplace_back();
    for (std::string frame; std::getline(frames, frame, '\r');)
      if (frame.find_first_not_of(' ') != std::string::npos) lines.back().push_back(frame);
  }
  return lines;
}

int Percent(const std::string& frame) {
  const std::size_t sign = frame.find('%');
  return sign == std::string::npos ? 0 : std::stoi(frame.substr(frame.rfind(' ', sign - 1) + 1));
}

// Every command that moves flash through the engine, drawn on a terminal:
// each phase is one line whose bar only grows, to 100 % unless stopped, and
// "Done" is never drawn (the summary says how the command ended). A Ctrl-C
// at a phase's first step ends the command cancelled (exit 130), never as a
// failure of the step it stopped: no "Compare failed!", no "Sector erase
// failed!!!".
TEST(CliProgress, EachPhaseIsOneLineWhoseBarOnlyGrowsAndACancelIsNoFailure) {
  using test::SimSession;
  const auto download = [](std::size_t bytes, int entry) {
    return [bytes, entry](SimSession& s) {
      s.PickFile(s.Write("app.bin", test::Pattern(bytes, 5)), entry < 0 ? s.Block1Entry(-entry) : entry);
      s.op.answers = {true, true};
    };
  };
  struct Row {
    const char* what;
    CommandOutcome (*command)(Session&);
    std::function<void(SimSession&)> prepare;
    const char* cancelAt;             // the phase whose first step is followed by Ctrl-C; "": none
    int model = kKT530;
    std::vector<std::string> phases = {};  // none: not checked
  } rows[] = {
      {"download", OnDownload, download(6 * 128, 1), "", kKT540, {"Erasing", "Writing"}},
      {"download of a different length than its erase", OnDownload, download(3 * 128 + 1, 1), "", kKT540,
       {"Erasing", "Writing"}},
      // Parking, block 1, put-back: the phases may come and go, each on a line of its own.
      {"block-1 download, relabelled every chunk", OnDownload, download(4 * 64, -16), "", kKT410},
      {"read to its end", OnRead, [](SimSession& s) { s.PickRange(0, 5); }, "", kKT540, {"Reading"}},
      {"download, during the erase", OnDownload, download(6 * 128, 1), "Erasing"},
      {"download, during the writing", OnDownload, download(6 * 128, 1), "Writing"},
      {"download into block 1", OnDownload, download(6 * 128, -20), "Writing"},
      {"download-run", OnDownloadAndRun, download(6 * 128, 1), "Writing"},
      {"read", OnRead, [](SimSession& s) { s.PickRange(0, 4); }, "Reading"},
      {"compare", OnCompare,
       [](SimSession& s) { s.PickFile(s.Write("cmp.bin", test::Bytes(6 * 128, 0xFF)), 1); }, "Comparing"},
      {"sector erase", OnSectorErase,
       [](SimSession& s) {
         s.PickRange(1, 4);
         s.op.answers = {true, true};
       },
       "Erasing"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SimSession s(row.model);
    ASSERT_TRUE(s.Ready());
    row.prepare(s);
    const bool cancelled = *row.cancelAt;
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* log = ::open_memstream(&text, &size);
    cli::TerminalProgress progress(log);
    s.onProgress = [&s, &row, &progress](const ProgressPane& pane) {
      WindowState shown;
      shown.progress = pane;
      progress.WindowChanged(WindowAspect::Progress, shown);
      if (pane.label == row.cancelAt && pane.position == 1) s.runner->Cancel();
    };
    const CommandOutcome outcome = s.Run(row.command);
    progress.Finish();
    std::fclose(log);
    const std::string drawn(text, size);
    std::free(text);

    EXPECT_EQ(OutcomeKindName(outcome.kind), std::string(cancelled ? "cancelled" : "succeeded"))
        << outcome.step << " " << outcome.code;
    EXPECT_EQ(cli::ExitStatus(outcome), cancelled ? 130 : 0);
    EXPECT_EQ(Has(cli::SummaryLine(row.what, outcome, 0), "cancelled"), cancelled);
    for (const std::string& message : s.op.messages) EXPECT_EQ(message.find("ailed"), std::string::npos) << message;
    EXPECT_EQ(s.Window().StatusText().find("ailed"), std::string::npos) << s.Window().StatusText();
    EXPECT_FALSE(s.State().operationFailed.load());
    EXPECT_FALSE(cancelled && s.State().userCodeStarted);

    EXPECT_FALSE(Has(drawn, "Done"));
    const auto lines = Frames(drawn);
    std::vector<std::string> phases;
    for (const auto& frames : lines) {
      ASSERT_FALSE(frames.empty()) << drawn;
      phases.push_back(frames.front().substr(0, frames.front().find(' ')));
      for (std::size_t i = 1; i < frames.size(); ++i) EXPECT_LE(Percent(frames[i - 1]), Percent(frames[i])) << drawn;
    }
    EXPECT_TRUE(row.phases.empty() || phases == row.phases) << drawn;
    for (std::size_t i = 0; i + (cancelled ? 1 : 0) < lines.size(); ++i) {
      if (!Has(lines[i].back(), "%")) continue;  // a word without a range of its own
      EXPECT_EQ(Percent(lines[i].back()), 100) << drawn;
    }
    // A stop is drawn where it came (block 0 may be put back after it).
    const auto stopped = [](const auto& frames) { return Has(frames.back(), "Abort"); };
    EXPECT_EQ(std::any_of(lines.begin(), lines.end(), stopped), cancelled) << drawn;
  }
}

// The bar is drawn for a person watching stderr on a terminal (a pipe gets
// none: see the simulated-chip table); stdout carries the results alone.
TEST(CliProgress, DrawnOnStderrOnlyWhenItIsATerminal) {
  test::TestFiles files;
  const std::string image = files.Write("app.bin", test::Pattern(4 * 128, 3));
  // What is written to the terminal (a few hundred bytes) waits in its buffer.
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
  std::FILE* err = std::fopen(::ptsname(master), "w");
  std::FILE* out = std::fopen(files.Path("out.txt").c_str(), "w");
  ASSERT_TRUE(err && out);
  EXPECT_EQ(cli::RunCli({"--simulate", "KT540", "--yes", "download", image}, nullptr, out, err), 0);
  std::fflush(err);
  std::string drawn;
  char buffer[4096];
  for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) drawn.append(buffer, std::size_t(n));
  std::fclose(err);
  std::fclose(out);
  ::close(master);
  const std::string results = test::ReadFile(files.Path("out.txt"));
  EXPECT_TRUE(Has(results, "download: downloaded 512 bytes"));
  EXPECT_FALSE(Has(results, "["));
  EXPECT_TRUE(Has(drawn, "Writing      [########################################] 100%"));
}

}  // namespace
}  // namespace brisko
