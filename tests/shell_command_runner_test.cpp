// The command contract: every command's outcome, one command thread with the
// keep-alive only between commands, cancellation that puts back what it
// displaced, and sessions that never share a file.
#include <gtest/gtest.h>

#include <future>

#include <algorithm>
#include <atomic>
#include <thread>

#include "link/command_primitives.hpp"
#include "shell/flash/compare_command.hpp"
#include "shell/flash/download_command.hpp"
#include "shell/flash/erase_commands.hpp"
#include "shell/flash/read_command.hpp"
#include "shell/flash/run_user_code.hpp"
#include "shell/flash/save_command.hpp"
#include "support/sim_session.hpp"

namespace brisko {
namespace {

using test::Bytes;
using test::Pattern;
using test::SimSession;
using Kind = sim::ReplyFault::Kind;
using Command = CommandOutcome (*)(Session&);

// Sets up a session (already detected) for one row of the table.
using Prepare = void (*)(SimSession&);

void NoSetup(SimSession&) {}
void DownloadBytes(SimSession& s, const Bytes& bytes) {
  s.PickFile(s.Write("app.bin", bytes), 2);
  s.op.answers = {true};
}
void DownloadFile(SimSession& s) { DownloadBytes(s, Pattern(300, 1)); }
void CompareDiffers(SimSession& s) {
  Bytes file = Pattern(200, 2);
  s.SetFlash(0, 0x100, file);
  file[77] ^= 0xFF;
  s.PickFile(s.Write("cmp.bin", file), 2);
}

TEST(CommandOutcomes, EachCommandSaysHowItEnded) {
  struct Row {
    const char* what;
    Command command;
    Prepare prepare;
    OutcomeKind kind;
    Refusal refusal = Refusal::None;
    const char* step = "";
  } rows[] = {
      {"download", OnDownload, DownloadFile, OutcomeKind::Succeeded},
      {"download answered No", OnDownload,
       [](SimSession& s) {
         DownloadFile(s);
         s.op.answers = {false};
       },
       OutcomeKind::Declined},
      {"download of a missing file", OnDownload, [](SimSession& s) { s.PickFile(s.Path("none.bin"), 0); },
       OutcomeKind::Refused, Refusal::BadInput},
      {"download with the program reply lost", OnDownload,
       [](SimSession& s) {
         DownloadFile(s);
         s.target->Faults().replyFaults.push_back({Kind::Drop, cmd::kRead, 1, 5});
       },
       OutcomeKind::Failed, Refusal::None, "program and verify"},
      {"download-run declined starts nothing", OnDownloadAndRun,
       [](SimSession& s) {
         DownloadFile(s);
         s.op.answers = {false};
       },
       OutcomeKind::Declined},
      {"read cancelled in its dialog", OnRead, NoSetup, OutcomeKind::Declined},
      {"read", OnRead, [](SimSession& s) { s.PickRange(0, 2); }, OutcomeKind::Succeeded},
      {"read without a detected chip", OnRead,
       [](SimSession& s) { s.Record().Port().ClearLinkUp(); },
       OutcomeKind::Refused, Refusal::NoTarget},
      {"compare with a difference", OnCompare, CompareDiffers, OutcomeKind::Failed, Refusal::None,
       "compare: the chip differs from the file"},
      {"sector erase", OnSectorErase, [](SimSession& s) { s.PickRange(0, 1); }, OutcomeKind::Succeeded},
      {"sector erase of the loader", OnSectorErase, [](SimSession& s) { s.PickRange(s.Block1Entry(0), 1); },
       OutcomeKind::Refused, Refusal::LoaderArea},
      {"chip erase answered No", OnChipErase, NoSetup, OutcomeKind::Declined},
      {"save with no file chosen", OnSave, NoSetup, OutcomeKind::Declined},
      {"save", OnSave, [](SimSession& s) { s.PickSave(0, 1, s.Path("dump.txt"), true); }, OutcomeKind::Succeeded},
      {"run", ExecuteUserCode, NoSetup, OutcomeKind::Succeeded},
  };
  for (const Row& row : rows) {
    SimSession s(kKT530);
    ASSERT_TRUE(s.Ready()) << row.what;
    row.prepare(s);
    const CommandOutcome outcome = s.Run(row.command);
    EXPECT_EQ(OutcomeKindName(outcome.kind), std::string(OutcomeKindName(row.kind))) << row.what;
    EXPECT_EQ(outcome.refusal, row.refusal) << row.what;
    EXPECT_EQ(outcome.step, row.step) << row.what;
    if (row.command == OnDownloadAndRun) {
      EXPECT_FALSE(s.State().userCodeStarted) << row.what;
    }
  }
}

// A command runs while another thread ticks the timer and takes snapshots, as
// a window does: the keep-alive never cuts into the command, not even while
// it waits for an answer, and runs once the command has ended.
// A cancel belongs to the command it was asked for, from the moment it is
// queued: one that comes before the command's thread takes it up is not
// forgotten, and the next command starts without it.
TEST(CommandRunnerThreads, ACancelHoldsFromTheMomentTheCommandIsQueued) {
  SimSession s(kKT540);
  std::promise<bool> sawCancel;
  std::promise<bool> sawNone;
  const auto seen = [](std::promise<bool>& into) {
    return [&into](Session& w) {
      into.set_value(w.State().cancelRequested.load());
      return CommandOutcome::Success();
    };
  };
  // Queued from the finished command's `done`, on the command thread: the
  // cancel comes before that thread can take the new command up.
  ASSERT_TRUE(s.runner->Start([](Session&) { return CommandOutcome::Success(); },
                              [&](const CommandOutcome&) {
                                ASSERT_TRUE(s.runner->Start(seen(sawCancel)));
                                s.runner->Cancel();
                              }));
  EXPECT_TRUE(sawCancel.get_future().get());
  s.runner->WaitIdle();
  ASSERT_TRUE(s.runner->Start(seen(sawNone)));
  EXPECT_FALSE(sawNone.get_future().get());
}

TEST(CommandRunnerThreads, TheKeepAliveWaitsForTheCommandAndSnapshotsAreSafe) {
  SimSession s(kKT540);
  ASSERT_TRUE(s.Ready());
  DownloadBytes(s, Bytes(300, 0x5A));  // no 63h anywhere in what the command sends
  std::atomic<bool> asked{false};
  std::atomic<bool> answer{false};
  s.op.onAsk = [&] {
    asked = true;
    while (!answer) std::this_thread::yield();
  };
  std::atomic<bool> done{false};
  Bytes commandWire;  // what the command sent; a keep-alive may follow it at once
  ASSERT_TRUE(s.runner->Start(OnDownload, [&](const CommandOutcome&) {
    commandWire = s.Wire();
    done = true;
  }));
  EXPECT_FALSE(s.runner->Start(OnRead)) << "one command at a time";

  std::tm at{};
  at.tm_sec = 10;
  std::thread window([&] {
    for (int i = 0; !done; ++i) {
      s.runner->Tick(at);
      const WindowState state = s.Window().Snapshot();
      EXPECT_FALSE(state.clockPane.empty());
      if (asked && i > 50) answer = true;
      std::this_thread::yield();
    }
  });
  window.join();
  s.runner->WaitIdle();
  EXPECT_EQ(std::count(commandWire.begin(), commandWire.end(), cmd::kKeepAlive), 0) << "no keep-alive inside the command";

  s.ClearWire();
  s.runner->Tick(at);
  s.runner->WaitIdle();
  EXPECT_EQ(s.Wire(), Bytes{cmd::kKeepAlive});
}

// The frame the host sent last is whole: a program frame with its data and
// the read-back frame, or a single-sector erase frame.
bool EndsOnAWholeExchange(const Bytes& wire) {
  if (wire.size() >= 4 + 128 + 4) {
    const auto read = wire.end() - 4;
    const auto program = wire.end() - 4 - 128 - 4;
    if (read[0] == cmd::kRead && program[0] == cmd::kProgram) return true;
  }
  return wire.size() >= 4 && wire.end()[-4] == cmd::kErase && wire.end()[-1] == 0x01;
}

TEST(Cancellation, ABlock0DownloadStopsBetweenSectorsAndKeepsWhatIsWritten) {
  struct Row {
    const char* label;
    int after;
  } rows[] = {{"Erasing", 3}, {"Writing", 1}, {"Writing", 5}};
  for (const Row& row : rows) {
    SimSession s(kKT530);
    ASSERT_TRUE(s.Ready());
    const Bytes file = Pattern(8 * 128, 3);
    s.PickFile(s.Write("app.bin", file), 0);
    s.op.answers = {true};
    s.onProgress = [&](const ProgressPane& pane) {
      if (pane.label == row.label && pane.position == row.after) s.runner->Cancel();
    };
    const CommandOutcome outcome = s.Run(OnDownload);
    EXPECT_EQ(outcome.kind, OutcomeKind::Cancelled) << row.label << row.after;
    EXPECT_TRUE(EndsOnAWholeExchange(s.Wire())) << row.label << row.after;
    if (std::string(row.label) == "Writing") {
      const std::size_t written = static_cast<std::size_t>(row.after) * 128;
      EXPECT_EQ(s.Flash(0, 0, written), Bytes(file.begin(), file.begin() + static_cast<long>(written)));
    } else {
      EXPECT_FALSE(s.WireHas({cmd::kProgram})) << "a cancelled erase programs nothing";
    }
    EXPECT_EQ(s.Window().Snapshot().progress.label, "Abort");
    // The next command runs as usual.
    s.PickRange(0, 1);
    EXPECT_TRUE(s.Run(OnRead).Ok());
  }
}

TEST(Cancellation, AParkedBlock1DownloadStillPutsBlock0Back) {
  for (int after : {1, 3}) {
    SimSession s(kKT540);
    ASSERT_TRUE(s.Ready());
    const test::DisplacedAreas areas(s);
    s.PickFile(s.Write("b1.bin", Pattern(6 * 128, 4)), s.Block1Entry(20));
    s.op.answers = {true};
    bool parked = false;
    s.onProgress = [&](const ProgressPane& pane) {
      // The parking programs 2000h first; the cancel comes in block 1's own writing.
      if (pane.label == "Start") parked = true;
      if (parked && pane.label == "Writing" && pane.position == after) s.runner->Cancel();
    };
    EXPECT_EQ(s.Run(OnDownload).kind, OutcomeKind::Cancelled) << after;
    EXPECT_TRUE(areas.PutBack(s)) << after;
    EXPECT_TRUE(s.RecoveryFiles().empty()) << after;
    EXPECT_TRUE(s.target->LoaderIntact());
  }
}

TEST(Sessions, TwoSessionsDownloadDifferentHexFilesAtOnce) {
  SimSession a(kKT530), b(kKT530);
  ASSERT_TRUE(a.Ready());
  ASSERT_TRUE(b.Ready());
  // Both files have the same name in folders of their own, as two builds would.
  a.PickFile(a.Write("fw.hex", std::string(":04000000A1A2A3A472\n:00000001FF\n")), 0);
  b.PickFile(b.Write("fw.hex", std::string(":04000000B1B2B3B432\n:00000001FF\n")), 0);
  a.op.answers = {true};
  b.op.answers = {true};
  std::thread other([&] { EXPECT_TRUE(b.Run(OnDownload).Ok()) << ::testing::PrintToString(b.op.messages); });
  EXPECT_TRUE(a.Run(OnDownload).Ok()) << ::testing::PrintToString(a.op.messages);
  other.join();
  EXPECT_EQ(a.Flash(0, 0, 4), (Bytes{0xA1, 0xA2, 0xA3, 0xA4}));
  EXPECT_EQ(b.Flash(0, 0, 4), (Bytes{0xB1, 0xB2, 0xB3, 0xB4}));
}

}  // namespace
}  // namespace brisko
