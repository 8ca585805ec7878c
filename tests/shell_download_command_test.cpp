#include <gtest/gtest.h>

#include "link/result_codes.hpp"
#include "support/result_print.hpp"
#include "shell/block0/block1_programmer.hpp"
#include "shell/flash/download_command.hpp"
#include "support/sim_session.hpp"

namespace brisko {
namespace {

using test::Bytes;
using test::ChipConfig;
using test::Pattern;
using test::SimSession;
using Messages = std::vector<std::string>;
using Phase = sim::SimTarget::Phase;

constexpr const char* kEraseQuestion = "Data in corresponding sectors will be erased.\nProceed to download?";
constexpr const char* kBslQuestion = "Downloading to BSL address. BSL will be erased.\nProceed to download?";
constexpr const char* kBothBlocksWarning = "WARNING! DATA IN BLOCK 0/1 WILL BE ERASED. PLEASE BACK THEM UP FIRST.";
const Bytes kParkedStart{0x03, 0x20, 0x27, 0x10};

// Downloads `bytes` as app.bin from dialog entry `entry`, answering the questions in turn.
OutcomeKind Download(SimSession& rig, const Bytes& bytes, int entry, std::deque<bool> answers = {true}) {
  rig.PickFile(rig.Write("app.bin", bytes), entry);
  rig.op.answers = std::move(answers);
  return rig.Run(DownloadToFlash).kind;
}

TEST(DownloadToFlash, Block0OfKT540AsksSelectsBlock0ShowsTheFileInTheCaptionAndRuns) {
  SimSession rig(kKT540);
  ASSERT_TRUE(rig.Ready());
  const Bytes file = Pattern(300, 1);
  const std::string before = rig.Window().Caption();
  EXPECT_EQ(Download(rig, file, 4, {false}), OutcomeKind::Declined);  // No: nothing is erased
  EXPECT_FALSE(rig.WireHas({0x0B}));
  EXPECT_EQ(rig.Flash(0, 4 * 128, 384), Bytes(384, 0xFF));
  EXPECT_EQ(rig.Window().Caption(), before);

  rig.ClearWire();
  rig.captions.clear();
  rig.op.questions.clear();
  rig.op.answers = {true};
  EXPECT_EQ(rig.Run(OnDownloadAndRun).kind, OutcomeKind::Succeeded);
  EXPECT_EQ(rig.Flash(0, 4 * 128, 300), file);
  EXPECT_EQ(rig.Flash(0, 4 * 128 + 300, 84), Bytes(84, 0xFF));
  EXPECT_EQ(rig.op.questions, Messages{kEraseQuestion});
  EXPECT_EQ(Bytes(rig.Wire().begin(), rig.Wire().begin() + 6), (Bytes{0x68, 0x68, 0x0B, 0x02, 0x00, 0x01}));
  EXPECT_EQ(rig.captions, (Messages{"WARNING! DATA IN BLOCK 0 WILL BE ERASED. PLEASE BACK THEM UP FIRST.",
                                    "Downloading \"app.bin\"", before}));
  EXPECT_FALSE(rig.State().operationFailed);
  EXPECT_EQ(rig.Wire().back(), 0x62);
  EXPECT_EQ(rig.target->CurrentPhase(), Phase::UserCode);
}

// Block 1 in internal memory mode: the programmer is parked at 2000h of block
// 0, started at 2027h, hands back to the loader, and block 0 is put back.
TEST(DownloadToFlash, Block1GoesThroughTheParkedProgrammerAndBlock0IsPutBack) {
  struct Case {
    int model;
    int entry;
    std::size_t offset;  // in block 1
    Bytes reentry;
    std::uint8_t firstByte;  // KT500: block 1 selected first; KT410 selects no block
  } cases[] = {{kKT530, 300, 0x1600, {0x03, 0xE2, 0xCA, 0x01}, 0x69},       // F600h
               {kKT410, 128 + 16, 0x400, {0x03, 0xF0, 0x80, 0x01}, 0x0C}};  // F400h
  for (const auto& c : cases) {
    SimSession rig(c.model);
    ASSERT_TRUE(rig.Ready());
    const test::DisplacedAreas areas(rig);
    const Bytes file = Pattern(256, 5);
    EXPECT_EQ(Download(rig, file, c.entry), OutcomeKind::Succeeded) << c.model;
    EXPECT_EQ(rig.Record().GetCurrentBlock(), 1);
    EXPECT_EQ(rig.Window().Snapshot().selectedTab, 1);
    EXPECT_EQ(rig.Flash(1, c.offset, 256), file) << c.model;
    EXPECT_TRUE(areas.PutBack(rig)) << c.model;
    EXPECT_TRUE(rig.target->LoaderIntact());
    EXPECT_EQ(rig.target->CurrentPhase(), Phase::Loader);
    EXPECT_EQ(rig.op.log, (Messages{"dialog: Download Hex or Binary File into Flash Memory",
                                    std::string("ask: ") + kEraseQuestion}));
    EXPECT_TRUE(rig.WireHas(kParkedStart));
    EXPECT_TRUE(rig.WireHas(c.reentry)) << c.model;
    EXPECT_EQ(rig.Wire().front(), c.firstByte) << c.model;
    EXPECT_EQ(IsKT400(c.model), !rig.WireHas({0x68, 0x68}) && !rig.WireHas({0x69, 0x69}));
    EXPECT_TRUE(rig.RecoveryFiles().empty());
    EXPECT_FALSE(rig.State().linkBusy);
  }
}

TEST(DownloadToFlash, LoaderSectorsAreRefusedBeforeAnythingIsErased) {
  const std::string kt410Refusal = "You can not erase BSL which resides in the first 16 sectors of Block1!";
  SimSession rig(kKT410);
  ASSERT_TRUE(rig.Ready());
  const std::string before = rig.Window().Caption();
  // F2C0h: the loader's own address asks first; F300h asks nothing more.
  EXPECT_EQ(Download(rig, Pattern(64, 6), rig.Block1Entry(0x2C0 / 64), {true, true}), OutcomeKind::Refused);
  EXPECT_EQ(Download(rig, Pattern(64, 6), rig.Block1Entry(0x300 / 64)), OutcomeKind::Refused);
  EXPECT_EQ(rig.op.questions, (Messages{kBslQuestion, kEraseQuestion, kEraseQuestion}));
  EXPECT_EQ(rig.op.messages, (Messages{kt410Refusal, kt410Refusal}));
  EXPECT_EQ(Download(rig, Pattern(64, 6), rig.Block1Entry(0), {false}), OutcomeKind::Declined);  // No to the loader question
  EXPECT_FALSE(rig.Window().CloseRequested());
  EXPECT_TRUE(rig.Wire().empty());
  EXPECT_TRUE(rig.target->LoaderIntact());
  EXPECT_EQ(rig.Window().Caption(), before);

  SimSession kt540(kKT540);
  ASSERT_TRUE(kt540.Ready());
  EXPECT_EQ(Download(kt540, Pattern(128, 7), kt540.Block1Entry(8)), OutcomeKind::Refused);  // 0400h
  EXPECT_EQ(kt540.op.questions, Messages{kEraseQuestion});
  EXPECT_EQ(kt540.op.messages, Messages{"You can not erase BSL which resides in the first 9 sectors of Block1!"});
  EXPECT_EQ(kt540.Wire(), (Bytes{0x69, 0x69}));
  EXPECT_TRUE(kt540.target->LoaderIntact());

  // KT580's block 0 ends at 1FFFh: no room for the programmer at 2000h.
  SimSession kt580(kKT580);
  ASSERT_TRUE(kt580.Ready());
  EXPECT_EQ(Download(kt580, Pattern(256, 8), kt580.Block1Entry(20)), OutcomeKind::Failed);  // EA00h
  EXPECT_TRUE(kt580.op.Saw("KT580 doesn't support update block 1 in internal memory mode!"));
  EXPECT_FALSE(kt580.WireHas({0x0B}));
  EXPECT_EQ(kt580.target->CurrentPhase(), Phase::Loader);
}

TEST(DownloadToFlash, ExternalMemoryModeWritesBlock1DirectlyWithoutTheLoaderQuestion) {
  SimSession rig(kKT530, kExternalMemory);
  ASSERT_TRUE(rig.Ready());
  const Bytes file = Pattern(200, 8);
  EXPECT_EQ(Download(rig, file, rig.Block1Entry(0)), OutcomeKind::Succeeded);  // E000h, the loader's own sectors
  EXPECT_EQ(rig.op.questions, Messages{kEraseQuestion});
  EXPECT_EQ(rig.Flash(1, 0, 200), file);
  EXPECT_FALSE(rig.WireHas(kParkedStart));
  EXPECT_EQ(rig.captions.at(0), kBothBlocksWarning);
}

// KT410, a 64-byte file at F400h. Erase frames (0Bh) in order: 1 at 0000h,
// 2-4 at 2000h (parking), 5 the file's sector, 6 the programmer's own erase
// before programming, 7-9 at 2000h again (put-back). One refused erase of the
// put-back is made good by a second put-back; a chip that stops answering
// when the loader is re-entered cannot be restored.
TEST(DownloadToFlash, AFailedPutBackIsReportedWithTheRecoveryFile) {
  sim::SimConfig config = ChipConfig(kKT410);
  config.faults.refuseEraseOccurrence = 7;
  SimSession once(config);
  ASSERT_TRUE(once.Ready());
  const test::DisplacedAreas putBack(once);
  EXPECT_EQ(Download(once, Pattern(64, 13), once.Block1Entry(16)), OutcomeKind::Succeeded);
  EXPECT_TRUE(putBack.PutBack(once));
  EXPECT_TRUE(once.RecoveryFiles().empty());

  SimSession rig(kKT410);
  ASSERT_TRUE(rig.Ready());
  const test::DisplacedAreas areas(rig);
  int starts = 0;
  rig.onProgress = [&](const ProgressPane& pane) {
    // The second "Start" is the loader's re-entry: from there on, silence.
    if (pane.label == "Start" && ++starts == 2) rig.target->Faults().stopAfterHostBytes = rig.target->HostBytesSinceReset();
  };
  EXPECT_EQ(Download(rig, Pattern(64, 13), rig.Block1Entry(16)), OutcomeKind::Failed);
  EXPECT_TRUE(rig.State().operationFailed);
  const auto files = rig.RecoveryFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(rig.op.Saw(Block0NotRestoredText(files[0])));
  EXPECT_EQ(test::ReadFile(files[0]), areas.Saved());
}

// A block-1 verify that stops at a wrong byte leaves the rest of its reply
// coming: the loader is re-entered only once the line has fallen silent, so
// those bytes are not taken for the answers of the re-entry and the block
// selection, and block 0 goes back.
TEST(DownloadToFlash, AFailedBlock1VerifyLetsItsReplyEndBeforeTheLoaderIsReEntered) {
  sim::SimConfig config = ChipConfig(kKT540);
  config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Corrupt, 0x0A, 1, 3, 0xFF, Millis{0}});
  config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Delay, 0x0A, 1, 4, 0x01, Millis{20}});
  SimSession rig(config);
  ASSERT_TRUE(rig.Ready());
  const test::DisplacedAreas areas(rig);
  EXPECT_EQ(Download(rig, Pattern(128, 17), rig.Block1Entry(20)), OutcomeKind::Failed);
  EXPECT_FALSE(rig.op.Saw("BSL in block1 is erased!")) << ::testing::PrintToString(rig.op.messages);
  EXPECT_TRUE(areas.PutBack(rig));
  EXPECT_TRUE(rig.RecoveryFiles().empty());
  EXPECT_TRUE(rig.target->LoaderIntact());
}

TEST(DownloadToFlash, ABlock0ThatCannotBeSavedStopsBeforeAnythingIsErased) {
  sim::SimConfig config = ChipConfig(kKT530);
  // Every read answers one byte short: no two reads of the areas can agree.
  config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Drop, 0x0C, 0, 5});
  SimSession rig(config);
  ASSERT_TRUE(rig.Ready());
  const test::DisplacedAreas areas(rig);
  EXPECT_EQ(Download(rig, Pattern(128, 15), rig.Block1Entry(20)), OutcomeKind::Failed);
  EXPECT_TRUE(rig.op.Saw(Block0BackupFailedText()));
  EXPECT_FALSE(rig.WireHas({0x0B}));
  EXPECT_TRUE(areas.PutBack(rig));
  EXPECT_TRUE(rig.RecoveryFiles().empty());

  // No place for the recovery file: a plain file where its folder would be.
  SimSession kt540(kKT540);
  ASSERT_TRUE(kt540.Ready());
  kt540.Write("data/brisko", std::string("x"));
  EXPECT_EQ(Download(kt540, Pattern(128, 16), kt540.Block1Entry(20)), OutcomeKind::Failed);
  EXPECT_TRUE(kt540.op.Saw(RecoveryFileFailedText(kt540.Path("data/brisko") + ": not a folder")))
      << ::testing::PrintToString(kt540.op.messages);
  EXPECT_FALSE(kt540.WireHas({0x0B}));
}

// During an update the download asks its questions, and only then parks the
// programmer and writes the new loader; the programmer stays for the new
// loader to replace, and the application ends. A failed write says the
// loader is gone, and where block 0's bytes are.
TEST(DownloadToFlash, AnUpdateParksOnlyAfterItsQuestionsAndEndsTheApplication) {
  for (bool writeFails : {false, true}) {
    sim::SimConfig config = ChipConfig(kKT410);
    if (writeFails) config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Corrupt, 0x0A, 1, 3, 0xFF});
    SimSession rig(config);
    ASSERT_TRUE(rig.Ready());
    rig.State().loaderUpdateInProgress = true;
    rig.op.onAsk = [&] { EXPECT_FALSE(rig.WireHas({0x0B})) << "nothing erased before the questions are answered"; };
    const OutcomeKind kind = Download(rig, Pattern(64, 18), rig.Block1Entry(0), {true, true});
    EXPECT_EQ(kind, writeFails ? OutcomeKind::Failed : OutcomeKind::Succeeded);
    EXPECT_EQ(rig.op.questions, (Messages{kBslQuestion, kEraseQuestion}));
    ASSERT_EQ(rig.RecoveryFiles().size(), 1u);
    const std::string& last = rig.op.messages.back();
    EXPECT_NE(last.find(rig.RecoveryFiles()[0]), std::string::npos) << last;
    EXPECT_EQ(last.find("BSL is erased. Please re-program BSL before use Bootstrap Loader again!") == 0, writeFails)
        << last;
    EXPECT_TRUE(rig.Window().CloseRequested());
    EXPECT_EQ(rig.captions.at(0), kBothBlocksWarning);
    EXPECT_TRUE(rig.WireHas(kParkedStart));
    EXPECT_EQ(rig.target->CurrentPhase(), Phase::Programmer);
  }
}

TEST(DownloadToExternalBank, OffersTheBankSectorsUnderTheBankWarning) {
  SimSession rig(kKT540);
  ASSERT_TRUE(rig.Ready());
  rig.State().externalHighBankSelected = true;
  FileSectorDialog seen;
  rig.op.onFileAndSector = [&](FileSectorDialog& d) {
    seen = d;
    seen.fileName = rig.Window().Caption();
    return false;
  };
  EXPECT_EQ(rig.Run(OnDownload).kind, OutcomeKind::Declined);
  EXPECT_EQ(seen.title, "Download Hex or Binary File into Flash Memory");
  EXPECT_EQ(seen.entries.size(), 16u);
  EXPECT_EQ(seen.fileName, "WARNING! DATA IN EXTERNAL HIGH 64KB MEMORY WILL BE ERASED. PLEASE BACK THEM UP FIRST.");
  EXPECT_EQ(rig.captions.back(), rig.Window().Caption());
  EXPECT_TRUE(rig.Wire().empty());
}

}  // namespace
}  // namespace brisko
