// The command contract: one command thread with the keep-alive only between
// commands, cancellation between whole exchanges, and sessions that never
// share a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <thread>

#include "link/command_primitives.hpp"
#include "shell/flash/download_command.hpp"
#include "shell/flash/print_command.hpp"
#include "shell/flash/read_command.hpp"
#include "shell/flash/save_command.hpp"
#include "support/sim_session.hpp"

namespace brisko {
namespace {

using test::Bytes;
using test::Pattern;
using test::SimSession;

// A cancel belongs to the command it was asked for, from the moment it is
// queued: one that comes before the command's thread takes it up is not
// forgotten, and the next command starts without it. One with no command
// pending is forgotten at once.
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
  s.runner->WaitIdle();
  s.runner->Cancel();
  EXPECT_FALSE(s.State().cancelRequested) << "no command was pending";
}

// A command runs while another thread ticks the timer and takes snapshots, as
// a window does: the keep-alive never cuts into the command, not even while
// it waits for an answer, and runs once the command has ended.
TEST(CommandRunnerThreads, TheKeepAliveWaitsForTheCommandAndSnapshotsAreSafe) {
  SimSession s(kKT540);
  ASSERT_TRUE(s.Ready());
  s.PickFile(s.Write("app.bin", Bytes(300, 0x5A)), 2);  // no 63h anywhere in what the command sends
  s.op.answers = {true};
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
    s.PickRange(0, 1);
    EXPECT_TRUE(s.Run(OnRead).Ok());
  }
}

// A stopped save or print is a cancel, not a failure: nothing is printed and
// the file a save would have replaced keeps its old bytes.
TEST(Cancellation, AStoppedSaveOrPrintTellsNothingAndKeepsTheOldFile) {
  for (const auto command : {OnSave, OnPrint}) {
    SimSession s(kKT530);
    ASSERT_TRUE(s.Ready());
    const std::string old = s.Write("dump.bin", std::string("old"));
    s.PickSave(0, 4, old, false);
    s.PickRange(0, 4);
    s.onProgress = [&](const ProgressPane& pane) {
      if (pane.label == "Reading" && pane.position == 1) s.runner->Cancel();
    };
    EXPECT_EQ(s.Run(command).kind, OutcomeKind::Cancelled);
    EXPECT_EQ(test::ReadFile(old), "old");
    EXPECT_TRUE(s.op.printed.empty());
    EXPECT_TRUE(s.op.messages.empty()) << s.op.messages.front();
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
