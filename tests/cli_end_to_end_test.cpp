#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <random>
#include <string>
#include <vector>

#include "cli/interrupt_watch.hpp"
#include "cli/outcome_lines.hpp"
#include "shell/compare_command.hpp"
#include "shell/download_command.hpp"
#include "shell/erase_commands.hpp"
#include "shell/external_bank_commands.hpp"
#include "shell/print_command.hpp"
#include "shell/read_command.hpp"
#include "shell/save_command.hpp"
#include "support/process.hpp"
#include "support/sim_session.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

using namespace std::chrono_literals;
using Args = std::vector<std::string>;

test::ProcessResult Cli(Args args, std::chrono::milliseconds limit = 60s) {
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

// Refused while parsing: nothing is opened, nothing saved.
TEST_F(CliTest, UsageErrorsExitTwoAndSayWhy) {
  const struct { Args args; const char* why; } rows[] = {
      {{}, "A subcommand is required"}, {{"frobnicate"}, "frobnicate"}, {{"--model", "KT999", "detect"}, "KT999"},
      {{"--baud", "57600", "detect"}, "57600"}, {{"download"}, "FILE"}, {{"baud"}, "--crystal"},
      {{"--port", "0", "detect"}, "COM1 to COM256"}, {{"--port", "COM300", "detect"}, "COM1 to COM256"},
      {{"--port", "99999999999", "detect"}, "COM1 to COM256"}, {{"--simulate", "KT420", "run", "extra"}, "extra"},
      {{"--simulate", "KT420", "read", "--sector", "4294967295"}, "--sector"},
      {{"--simulate", "KT420", "--crystal", "50", "detect"}, "--crystal"},
  };
  for (const auto& row : rows) {
    auto r = Cli(row.args);
    EXPECT_EQ(r.exitCode, 2) << testing::PrintToString(row.args);
    EXPECT_TRUE(Has(r.err, row.why));
  }
  EXPECT_FALSE(std::filesystem::exists(files.Path("config/brisko/OrvexBslComDft.txt")));
  auto help = Cli({"--help"});
  for (const char* command : {"detect", "download-run", "chip-erase", "baud"}) EXPECT_TRUE(Has(help.out, command));
  EXPECT_TRUE(Has(Cli({"download", "--help"}).out, "--sector"));
}

// On the built-in simulated chip: exit status, what goes to stdout and stderr.
TEST_F(CliTest, SimulatedChipCommands) {
  const struct { Args args; int exit; const char* out; const char* err; } rows[] = {
      {{"--simulate", "KT540", "--model", "KT540", "detect"}, 0,
       "Chip Type: KT540\nFlash Size: 64+8 KB\n", "Click on OK then Reset MCU\nto Detect Baud & Chip\n(MCU:Fw v1.1F)"},
      {{"--simulate", "KT410", "detect"}, 0, "Chip Type: KT410\n", ""},  // the model defaults to the simulated one
      {{"--simulate", "KT420", "--sim-letter", "E", "detect"}, 1, "", "Wrong Firmware Version Detected in MCU chip!!!"},
      {{"--simulate", "KT420", "--model", "KT540", "--mode", "external", "detect"}, 1, "",
       "No Response from Target Board after sending 05h,55h!!!"},
      {{"--port", "/dev/brisko-missing-port", "detect"}, 1, "no such device",
       "Failed to setup Serial Comm with Target MCU!!!"},
      // Both blocks of a KT540 start at 0000h: the address alone names no one sector; block 1 is not blank.
      {{"--simulate", "KT540", "--model", "KT540", "read", "--address", "0000"}, 2, "", "--sector 0 or --sector 512"},
      {{"--simulate", "KT540", "--model", "KT540", "read", "--address", "0000", "--block", "1"}, 0, "Not Blank", ""},
  };
  for (const auto& row : rows) {
    auto r = Cli(row.args);
    EXPECT_EQ(r.exitCode, row.exit) << testing::PrintToString(row.args) << r.err;
    EXPECT_TRUE(Has(r.out, row.out));
    EXPECT_TRUE(Has(r.err, row.err));
    if (row.exit == 1) {  // a failed detection shows no empty panel, and says how it failed
      EXPECT_FALSE(Has(r.out, "Chip Type:"));
      EXPECT_TRUE(Has(r.err, "brisko-cli: detect failed"));
    }
  }
  auto trace = Cli({"--simulate", "KT540", "--trace", "/dev/full", "detect"});  // a lost trace is a failure
  EXPECT_EQ(trace.exitCode, 1);
  EXPECT_TRUE(Has(trace.err, "the wire trace is lost: /dev/full: cannot be written"));
  auto detect = Cli({"--simulate", "KT540", "--port", "COM7", "detect"});
  EXPECT_TRUE(Has(detect.out, "IAP Status: Detect target MCU is successful!\ndetect: "));  // the summary is last
  EXPECT_FALSE(Has(test::ReadFile(files.Path("config/brisko/OrvexBslComDft.txt")), "COM7"));  // not saved
  EXPECT_EQ(Cli({"--simulate", "KT540", "--port", "COM7", "--save-settings", "detect"}).exitCode, 0);
  EXPECT_TRUE(Has(test::ReadFile(files.Path("config/brisko/OrvexBslComDft.txt")), "COM7$BAUD38400$"));
  // A file cut short is said once, left as it is and not applied.
  test::WriteFile(files.Path("config/brisko/OrvexBslComDft.txt"), "COM2$BAUD9600$CRY");
  auto cut = Cli({"--simulate", "KT540", "--save-settings", "detect"});
  EXPECT_EQ(cut.exitCode, 0);
  EXPECT_TRUE(Has(cut.err, "OrvexBslComDft.txt is ignored: "));
  EXPECT_EQ(test::ReadFile(files.Path("config/brisko/OrvexBslComDft.txt")), "COM2$BAUD9600$CRY");

  auto baud = Cli({"baud", "--crystal", "12"});
  EXPECT_EQ(baud.exitCode, 0) << baud.err;
  EXPECT_TRUE(Has(baud.out, "Baud Rate: 38400\nReload: FFF6h\n"));
  EXPECT_TRUE(Has(Cli({"baud", "--crystal", "11.0592", "--next"}).out, "Baud Rate: 19200\nReload: FFEEh\n"));
}

// brisko-sim on a pseudo-terminal keeps its flash between commands, so a
// download can be read back, compared and saved by later processes.
class CliOnPtyTest : public CliTest {
 protected:
  void SetUp() override {
    sim = std::make_unique<test::BackgroundProcess>(Args{BRISKO_SIM_PATH, "--model", "KT540", "--link", link, "--quiet"});
    ASSERT_FALSE(sim->ReadLine(10s).empty());
  }
  test::ProcessResult OnPty(Args args, bool yes = true) {
    if (yes) args.insert(args.begin(), "--yes");
    args.insert(args.begin(), {"--port", link, "--model", "KT540"});
    return Cli(args);
  }
  std::string link = files.Path("tty");
  std::unique_ptr<test::BackgroundProcess> sim;
};

TEST_F(CliOnPtyTest, DownloadCompareReadSaveAndErase) {
  std::mt19937 random(7);
  std::string image(1000, '\0');
  for (char& c : image) c = static_cast<char>(random() & 0xFF);
  const std::string file = files.Write("app.bin", image);
  for (const char* command : {"download", "download-run"}) {  // without a terminal questions are answered No
    auto unanswered = OnPty({command, file}, false);
    EXPECT_EQ(unanswered.exitCode, 1);
    EXPECT_TRUE(Has(unanswered.err, "Data in corresponding sectors will be erased.\nProceed to download?"));
    EXPECT_TRUE(Has(unanswered.out, std::string(command) + ": declined"));
  }

  auto download = OnPty({"download", file, "--sector", "2"});
  ASSERT_EQ(download.exitCode, 0) << download.err;
  auto compare = OnPty({"compare", file, "--address", "0100", "--block", "0"});
  EXPECT_EQ(compare.exitCode, 0) << compare.err;
  EXPECT_TRUE(Has(compare.out, "IAP Status: File app.bin Compare OK!\n"));
  auto elsewhere = OnPty({"compare", file, "--sector", "0"});
  EXPECT_EQ(elsewhere.exitCode, 1);
  EXPECT_TRUE(Has(elsewhere.out, "Unmatched data at memory address 0000h"));

  auto read = OnPty({"read", "--sector", "2", "--range", "8"});
  EXPECT_EQ(read.exitCode, 0) << read.err;
  EXPECT_TRUE(Has(read.out, "SECTOR 002"));
  for (char c : read.out) EXPECT_LT(static_cast<unsigned char>(c), 0x80);  // the dump's text column is printable
  const std::string saved = files.Path("saved.bin");
  auto save = OnPty({"save", saved, "--binary", "--sector", "2", "--range", "8"});
  ASSERT_EQ(save.exitCode, 0) << save.err;
  EXPECT_EQ(test::ReadFile(saved), image + std::string(1024 - image.size(), '\xFF'));
  auto keep = OnPty({"save", saved, "--text", "--sector", "2", "--range", "8"}, false);  // asks before replacing
  EXPECT_EQ(keep.exitCode, 1);
  EXPECT_TRUE(Has(keep.err, "already exists"));
  EXPECT_EQ(test::ReadFile(saved).size(), 1024u);

  auto erase = OnPty({"erase", "--sector", "2", "--range", "8"});
  EXPECT_EQ(erase.exitCode, 0) << erase.err;
  EXPECT_EQ(OnPty({"compare", file, "--sector", "2"}).exitCode, 1);
}

// The first Ctrl-C asks the command to stop; the second ends the process at once.
TEST(CliInterruptTest, FirstCtrlCCancelsSecondEndsWith130) {
  const auto interruptTwice = [] {
    std::promise<void> cancelled;
    cli::InterruptWatch watch([&cancelled] { cancelled.set_value(); });
    ::raise(SIGINT);
    cancelled.get_future().wait();
    ::raise(SIGINT);
  };
  EXPECT_EXIT(interruptTwice(), ::testing::ExitedWithCode(130), "");
}

// A Ctrl-C during any command that moves flash through the engine, in every
// memory mode, ends it cancelled (exit 130), never as a failure of the step it
// stopped: no "Compare failed!", no "Sector erase failed!!!".
TEST(CliInterruptTest, CancelInEveryTransferCommandAndMemoryModeExits130) {
  using test::SimSession;
  struct Mode {
    const char* name;
    int model;
    int memoryMode;
    CommandOutcome (*enter)(MainWindow&);
    bool highHalf;
  } modes[] = {
      {"internal", kKT530, kInternalMemory, nullptr, false},
      {"external", kKT530, kExternalMemory, nullptr, false},
      {"low bank", kKT560, kInternalMemory, OnEnterLowBank, false},
      {"high bank", kKT560, kInternalMemory, OnEnterHighBank, true},
  };
  const auto download = [](int entry) {
    return [entry](SimSession& s) {
      s.PickFile(s.Write("app.bin", test::Pattern(6 * 128, 5)), entry < 0 ? s.Block1Entry(20) : entry);
      s.op.answers = {true, true};
    };
  };
  struct Row {
    const char* what;
    CommandOutcome (*command)(MainWindow&);
    std::function<void(SimSession&)> prepare;
    const char* cancelAt;  // the progress label whose first step is followed by Ctrl-C
    bool block1 = false;   // not in an external bank
  } rows[] = {
      {"download, during the erase", OnDownload, download(1), "Erasing"},
      {"download, during the writing", OnDownload, download(1), "Writing"},
      {"download into block 1", OnDownload, download(-1), "Writing", true},
      {"download-run", OnDownloadAndRun, download(1), "Writing"},
      {"read", OnRead, [](SimSession& s) { s.PickRange(0, 4); }, "Reading"},
      {"compare", OnCompare,
       [](SimSession& s) { s.PickFile(s.Write("cmp.bin", test::Bytes(6 * 128, 0xFF)), 1); }, "Comparing"},
      {"save", OnSave, [](SimSession& s) { s.PickSave(0, 4, s.Path("dump.bin"), false); }, "Reading"},
      {"print", OnPrint, [](SimSession& s) { s.PickRange(0, 4); }, "Reading"},
      {"sector erase", OnSectorErase,
       [](SimSession& s) {
         s.PickRange(1, 4);
         s.op.answers = {true, true};
       },
       "Erasing"},
  };
  for (const Mode& mode : modes) {
    for (const Row& row : rows) {
      if (row.block1 && mode.enter) continue;
      SCOPED_TRACE(std::string(mode.name) + ": " + row.what);
      SimSession s(mode.model, mode.memoryMode);
      s.target->SetA16(mode.highHalf);
      ASSERT_TRUE(s.Ready());
      if (mode.enter) {
        ASSERT_TRUE(s.Run(mode.enter).Ok());
      }
      s.op.messages.clear();
      row.prepare(s);
      s.onProgress = [&s, &row](const ProgressPane& pane) {
        if (pane.label == row.cancelAt && pane.position == 1) s.runner->Cancel();
      };
      const CommandOutcome outcome = s.Run(row.command);
      EXPECT_EQ(OutcomeKindName(outcome.kind), std::string("cancelled")) << outcome.step << " " << outcome.code;
      EXPECT_EQ(cli::ExitStatus(outcome), 130);
      EXPECT_TRUE(Has(cli::SummaryLine(row.what, outcome, 0), "cancelled"));
      for (const std::string& message : s.op.messages) {
        EXPECT_EQ(message.find("ailed"), std::string::npos) << message;
      }
      EXPECT_EQ(s.Window().StatusText().find("ailed"), std::string::npos) << s.Window().StatusText();
      EXPECT_FALSE(s.State().operationFailed.load());
      EXPECT_FALSE(s.State().userCodeStarted);
    }
  }
}

}  // namespace
}  // namespace brisko
