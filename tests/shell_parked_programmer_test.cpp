// Block 1 in internal memory mode: the programmer is parked at 2000h of block
// 0, started at 2027h, hands back to the loader, and block 0 is put back.
// One row per flow and fault: what block 0, the recovery files, the loader
// and the chip's phase hold afterwards.
#include <gtest/gtest.h>

#include <deque>
#include <optional>

#include "shell/block0/bank_helper.hpp"
#include "shell/block0/block1_programmer.hpp"
#include "shell/flash/download_command.hpp"
#include "shell/flash/erase_commands.hpp"
#include "shell/loader/loader_update.hpp"
#include "support/sim_session.hpp"

namespace brisko {
namespace {

using test::Bytes;
using test::DisplacedAreas;
using test::Pattern;
using test::SimSession;
using Messages = std::vector<std::string>;
using Phase = sim::SimTarget::Phase;
using Kind = sim::ReplyFault::Kind;

constexpr const char* kEraseQuestion = "Data in corresponding sectors will be erased.\nProceed to download?";
constexpr const char* kBslQuestion = "Downloading to BSL address. BSL will be erased.\nProceed to download?";
constexpr const char* kErased = "Sectors erase completed!!!";
const Bytes kParkedStart{0x03, 0x20, 0x27, 0x10};

// From the `count`th progress step called `label` on, the chip hears nothing.
void SilentFrom(SimSession& s, const char* label, int count) {
  s.onProgress = [&s, label, count, seen = 0](const ProgressPane& pane) mutable {
    if (pane.label == label && ++seen == count) s.target->Faults().stopAfterHostBytes = s.target->HostBytesSinceReset();
  };
}
// The operator cancels at block 1's own `after`th written sector (the parking
// writes 2000h first).
void CancelInBlock1Writing(SimSession& s, int after) {
  s.onProgress = [&s, after, parked = false](const ProgressPane& pane) mutable {
    if (pane.label == "Start") parked = true;
    if (parked && pane.label == "Writing" && pane.position == after) s.runner->Cancel();
  };
}
// The update writes a new loader after its questions; nothing is erased before.
void UpdateTheLoader(SimSession& s) {
  s.State().loaderUpdateInProgress = true;
  s.op.onAsk = [&s] { EXPECT_FALSE(s.WireHas({0x0B})) << "nothing erased before the questions are answered"; };
}
void RecoveryFileNamedLast(SimSession& s, bool loaderGone) {
  ASSERT_EQ(s.RecoveryFiles().size(), 1u);
  const std::string& last = s.op.messages.back();
  EXPECT_NE(last.find(s.RecoveryFiles()[0]), std::string::npos) << last;
  EXPECT_EQ(last.find("BSL is erased") != std::string::npos, loaderGone) << last;
  EXPECT_TRUE(s.Window().CloseRequested());
}

struct Row {
  const char* name;
  CommandOutcome (*command)(Session&);
  int model;
  std::vector<sim::ReplyFault> faults = {};
  int refuseErase = 0;               // the erase frame the chip refuses, counted from 1
  int sector = -1, range = 1;        // block 1's sector for the range dialog
  std::size_t fileSize = 0;          // or app.bin of Pattern(fileSize, 1) at that sector
  std::deque<bool> answers = {true};
  void (*prepare)(SimSession&) = nullptr;  // after the detection, with block 0's areas patterned
  OutcomeKind kind = OutcomeKind::Succeeded;
  bool putBack = true;  // block 0's displaced areas hold the user's bytes again
  std::size_t recoveryFiles = 0;
  std::optional<bool> loaderIntact = true;
  std::optional<Phase> phase = Phase::Loader;
  std::optional<Messages> told = std::nullopt;
  void (*check)(SimSession&, const DisplacedAreas&) = nullptr;
};

const Row kRows[] = {
    {.name = "download: KT530 at F600h selects block 1 first", .command = OnDownload, .model = kKT530, .sector = 44,
     .fileSize = 256,
     .check = [](SimSession& s, const DisplacedAreas&) {
       EXPECT_EQ(s.Flash(1, 0x1600, 256), Pattern(256, 1));
       EXPECT_EQ(s.Record().GetCurrentBlock(), 1);
       EXPECT_EQ(s.Window().Snapshot().selectedTab, 1);
       EXPECT_EQ(s.op.questions, Messages{kEraseQuestion});
       EXPECT_EQ(s.Wire().front(), 0x69);
       EXPECT_TRUE(s.WireHas(kParkedStart));
       EXPECT_TRUE(s.WireHas({0x03, 0xE2, 0xCA, 0x01}));  // the loader re-entered
     }},
    {.name = "download: KT410 at F400h selects no block", .command = OnDownload, .model = kKT410, .sector = 16,
     .fileSize = 256,
     .check = [](SimSession& s, const DisplacedAreas&) {
       EXPECT_EQ(s.Flash(1, 0x400, 256), Pattern(256, 1));
       EXPECT_EQ(s.Wire().front(), 0x0C);
       EXPECT_FALSE(s.WireHas({0x68, 0x68}) || s.WireHas({0x69, 0x69}));
       EXPECT_TRUE(s.WireHas(kParkedStart));
       EXPECT_TRUE(s.WireHas({0x03, 0xF0, 0x80, 0x01}));
     }},
    {.name = "erase: KT410's two sectors at F400h", .command = OnSectorErase, .model = kKT410, .sector = 16, .range = 2,
     .prepare = [](SimSession& s) { s.SetFlash(1, 0x400, Pattern(3 * 64, 23)); },
     .told = Messages{kErased},
     .check = [](SimSession& s, const DisplacedAreas&) {
       EXPECT_EQ(s.Flash(1, 0x400, 128), Bytes(128, 0xFF));
       const Bytes before = Pattern(3 * 64, 23);
       EXPECT_EQ(s.Flash(1, 0x480, 64), Bytes(before.begin() + 128, before.end()));
       EXPECT_TRUE(s.WireHas({0x03, 0x20, 0x27, 0x10, 0x0B, 0xF4, 0x00, 0x01, 0x0B, 0xF4, 0x40, 0x01}));
       EXPECT_TRUE(s.WireHas({0x03, 0xF0, 0x80, 0x01}));
     }},
    // The loader lists give KT570 a block-1 selection before the erase; the
    // parking then selects block 0 again, or it would land in block 1.
    {.name = "erase: KT570 parks in block 0 after selecting block 1", .command = OnSectorErase, .model = kKT570,
     .sector = 32, .prepare = [](SimSession& s) { s.SetFlash(1, 0x1000, Pattern(128, 24)); },  // F000h
     .told = Messages{kErased},
     .check = [](SimSession& s, const DisplacedAreas&) {
       EXPECT_EQ(s.Flash(1, 0x1000, 128), Bytes(128, 0xFF));
       EXPECT_EQ(Bytes(s.Wire().begin(), s.Wire().begin() + 4), (Bytes{0x69, 0x69, 0x68, 0x68}));
       EXPECT_TRUE(s.WireHas({0x03, 0xE2, 0xCA, 0x01, 0x68, 0x68}));
     }},
    // Erase frames: 1 at 0000h, 2-4 at 2000h for the parking, 5 the first
    // sector asked for.
    {.name = "erase: a refused block-1 erase still puts block 0 back", .command = OnSectorErase, .model = kKT420,
     .refuseErase = 5, .sector = 20, .kind = OutcomeKind::Failed, .told = Messages{},
     .check = [](SimSession& s, const DisplacedAreas&) { EXPECT_TRUE(s.State().operationFailed); }},
    // KT410, a 64-byte file at F400h. Erase frames in order: 1 at 0000h, 2-4
    // at 2000h (parking), 5 the file's sector, 6 the programmer's own erase,
    // 7-9 at 2000h again (put-back): a second put-back makes good the first.
    {.name = "download: one refused put-back erase", .command = OnDownload, .model = kKT410, .refuseErase = 7,
     .sector = 16, .fileSize = 64},
    // The second "Start" is the loader's re-entry: from there on, silence.
    {.name = "download: the chip stops answering at the loader's re-entry", .command = OnDownload, .model = kKT410,
     .sector = 16, .fileSize = 64, .prepare = [](SimSession& s) { SilentFrom(s, "Start", 2); },
     .kind = OutcomeKind::Failed, .putBack = false, .recoveryFiles = 1, .loaderIntact = std::nullopt,
     .phase = std::nullopt,
     .check = [](SimSession& s, const DisplacedAreas& areas) {
       EXPECT_TRUE(s.State().operationFailed);
       ASSERT_EQ(s.RecoveryFiles().size(), 1u);
       EXPECT_TRUE(s.op.Saw(Block0NotRestoredText(s.RecoveryFiles()[0])));
       EXPECT_EQ(test::ReadFile(s.RecoveryFiles()[0]), areas.Saved());
     }},
    // A verify that stops at a wrong byte leaves the rest of its reply coming:
    // the loader is re-entered only once the line has fallen silent, so those
    // bytes are not taken for the answers of the re-entry.
    {.name = "download: a failed block-1 verify lets its reply end", .command = OnDownload, .model = kKT540,
     .faults = {{Kind::Corrupt, 0x0A, 1, 3, 0xFF, Millis{0}}, {Kind::Delay, 0x0A, 1, 4, 0x01, Millis{20}}},
     .sector = 20, .fileSize = 128, .kind = OutcomeKind::Failed,
     .check = [](SimSession& s, const DisplacedAreas&) { EXPECT_FALSE(s.op.Saw("BSL in block1 is erased!")); }},
    // Every read answers one byte short: no two reads of the areas can agree.
    {.name = "download: block 0's areas cannot be read", .command = OnDownload, .model = kKT530,
     .faults = {{Kind::Drop, 0x0C, 0, 5}}, .sector = 20, .fileSize = 128, .kind = OutcomeKind::Failed,
     .check = [](SimSession& s, const DisplacedAreas&) {
       EXPECT_TRUE(s.op.Saw(Block0BackupFailedText()));
       EXPECT_FALSE(s.WireHas({0x0B}));
     }},
    {.name = "download: no place for the recovery file", .command = OnDownload, .model = kKT540, .sector = 20,
     .fileSize = 128,
     .prepare = [](SimSession& s) { s.Write("data/brisko", std::string("x")); },  // a file where its folder goes
     .kind = OutcomeKind::Failed,
     .check = [](SimSession& s, const DisplacedAreas&) {
       EXPECT_TRUE(s.op.Saw(RecoveryFileFailedText(s.Path("data/brisko") + ": not a folder")));
       EXPECT_FALSE(s.WireHas({0x0B}));
     }},
    {.name = "update: block 0's areas cannot be read", .command = OnUpdateInternalLoader, .model = kKT420,
     .faults = {{Kind::Drop, 0x0C, 0, 5}}, .answers = {true, true},
     .prepare = [](SimSession& s) {
       s.PickFile(s.Write("bsl.bin", Pattern(s.target->LoaderSize(), 41)), s.Block1Entry(0));
     },
     .kind = OutcomeKind::Failed,
     .check = [](SimSession& s, const DisplacedAreas&) {
       EXPECT_EQ(s.op.messages.back(), Block0BackupFailedText());
       EXPECT_FALSE(s.WireHas({0x0B}));
       // Nor can the bank helper be parked.
       EXPECT_EQ(InstallBankHelper(s.Shell()), Result::Failed);
       EXPECT_TRUE(s.State().operationFailed.load());
       EXPECT_FALSE(s.WireHas({0x0B}));
     }},
    // What is erased and put back is read until two reads agree: a byte
    // corrupted on the line or missing from a reply never goes back.
    {.name = "download: a corrupted byte in block 0's first read", .command = OnDownload, .model = kKT410,
     .faults = {{Kind::Corrupt, 0x0C, 1, 5, 0xFF, Millis{0}}}, .sector = 16, .fileSize = 64},
    {.name = "download: a dropped byte in block 0's first read", .command = OnDownload, .model = kKT410,
     .faults = {{Kind::Drop, 0x0C, 1, 5, 0xFF, Millis{0}}}, .sector = 16, .fileSize = 64},
    {.name = "download: cancelled at block 1's first sector", .command = OnDownload, .model = kKT540, .sector = 20,
     .fileSize = 6 * 128, .prepare = [](SimSession& s) { CancelInBlock1Writing(s, 1); },
     .kind = OutcomeKind::Cancelled},
    {.name = "download: cancelled at block 1's third sector", .command = OnDownload, .model = kKT540, .sector = 20,
     .fileSize = 6 * 128, .prepare = [](SimSession& s) { CancelInBlock1Writing(s, 3); },
     .kind = OutcomeKind::Cancelled},
    // During an update the programmer stays for the new loader to replace,
    // and the application ends; the recovery file is named.
    {.name = "update: the new loader written", .command = OnDownload, .model = kKT410, .sector = 0, .fileSize = 64,
     .answers = {true, true}, .prepare = UpdateTheLoader, .putBack = false, .recoveryFiles = 1,
     .loaderIntact = std::nullopt, .phase = Phase::Programmer,
     .check = [](SimSession& s, const DisplacedAreas&) {
       EXPECT_EQ(s.op.questions, (Messages{kBslQuestion, kEraseQuestion}));
       EXPECT_EQ(s.captions.at(0), "WARNING! DATA IN BLOCK 0/1 WILL BE ERASED. PLEASE BACK THEM UP FIRST.");
       EXPECT_TRUE(s.WireHas(kParkedStart));
       RecoveryFileNamedLast(s, false);
     }},
    {.name = "update: the new loader's write fails", .command = OnDownload, .model = kKT410,
     .faults = {{Kind::Corrupt, 0x0A, 1, 3, 0xFF}}, .sector = 0, .fileSize = 64, .answers = {true, true},
     .prepare = UpdateTheLoader, .kind = OutcomeKind::Failed, .putBack = false, .recoveryFiles = 1,
     .loaderIntact = std::nullopt, .phase = Phase::Programmer,
     .check = [](SimSession& s, const DisplacedAreas&) {
       EXPECT_EQ(s.op.messages.back().rfind("BSL is erased. Please re-program BSL before use Bootstrap Loader again!", 0),
                 0u);
       RecoveryFileNamedLast(s, true);
     }},
    // The file holds the loader the chip answers with; the chip's own copy is
    // damaged first, so that only a complete write lets it answer after a
    // reset, and that detection puts block 0 back.
    {.name = "update: the chip answers after a reset and block 0 goes back", .command = OnUpdateInternalLoader,
     .model = kKT540, .answers = {true, true},
     .prepare = [](SimSession& s) {
       s.PickFile(s.Write("bsl.bin", s.Flash(1, 0, s.target->LoaderSize())), s.Block1Entry(0));
       s.SetFlash(1, 0, Pattern(128, 40));
     },
     .putBack = false, .recoveryFiles = 1, .loaderIntact = std::nullopt, .phase = std::nullopt,
     .check = [](SimSession& s, const DisplacedAreas& areas) {
       const std::string loader = test::ReadFile(s.Path("bsl.bin"));
       EXPECT_EQ(s.Flash(1, 0, loader.size()), Bytes(loader.begin(), loader.end()));
       EXPECT_TRUE(s.WireHas(kParkedStart));
       RecoveryFileNamedLast(s, false);
       EXPECT_TRUE(s.State().linkBusy) << "nothing may ping the chip any more";
       s.target->Reset();
       test::ScriptedOperator op;
       Session next(op, sim::SimOpener(s.target), test::FastTiming(), s.dirs.Places());
       next.Record()->SetChipModel(kKT540);
       next.Record()->SetMemoryMode(kInternalMemory);
       op.answers = {true};
       DetectTarget(next);
       EXPECT_TRUE(next.Record()->Port().IsLinkUp());
       EXPECT_TRUE(areas.PutBack(s)) << ::testing::PrintToString(op.messages);
       EXPECT_TRUE(s.RecoveryFiles().empty());
     }},
};

TEST(ParkedProgrammer, Block0IsPutBackOrItsBytesAreOnDisk) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    sim::SimConfig config = test::ChipConfig(row.model);
    config.faults.replyFaults = row.faults;
    config.faults.refuseEraseOccurrence = row.refuseErase;
    SimSession s(config);
    ASSERT_TRUE(s.Ready());
    const DisplacedAreas areas(s);
    if (row.fileSize > 0) {
      s.PickFile(s.Write("app.bin", Pattern(row.fileSize, 1)), s.Block1Entry(row.sector));
    } else if (row.sector >= 0) {
      s.PickRange(s.Block1Entry(row.sector), row.range);
    }
    s.op.answers = row.answers;
    if (row.prepare) row.prepare(s);
    const CommandOutcome outcome = s.Run(row.command);

    EXPECT_EQ(OutcomeKindName(outcome.kind), std::string(OutcomeKindName(row.kind))) << outcome.step;
    if (row.told) {
      EXPECT_EQ(s.op.messages, *row.told);
    }
    EXPECT_EQ(areas.PutBack(s), row.putBack);
    EXPECT_EQ(s.RecoveryFiles().size(), row.recoveryFiles);
    if (row.loaderIntact) {
      EXPECT_EQ(s.target->LoaderIntact(), *row.loaderIntact);
    }
    if (row.phase) {
      EXPECT_EQ(s.target->CurrentPhase(), *row.phase);
    }
    if (!s.Window().CloseRequested()) {
      EXPECT_FALSE(s.State().linkBusy);
    }
    if (row.check) row.check(s, areas);
  }
}

}  // namespace
}  // namespace brisko
