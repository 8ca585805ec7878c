#include <gtest/gtest.h>

#include "link/result_codes.hpp"
#include "shell/block1_programmer.hpp"
#include "shell/download_command.hpp"
#include "shell_command_rig.hpp"

namespace brisko {
namespace {

using test::CommandRig;
using test::Pattern;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kEraseQuestion = "Data in corresponding sectors will be erased.\nProceed to download?";
constexpr const char* kBslQuestion = "Downloading to BSL address. BSL will be erased.\nProceed to download?";

TEST(OnDownload, EntryChecksRefuseWithoutLinkOrAfterUserCode) {
  CommandRig rig(kKT540);
  EXPECT_EQ(OnDownload(rig.Window()), kResultFail);
  EXPECT_EQ(rig.op.messages, std::vector<std::string>{"No target board has been located!!!"});

  ASSERT_TRUE(rig.Ready());
  rig.State().userCodeStarted = true;
  EXPECT_EQ(OnDownload(rig.Window()), kResultFail);
  EXPECT_EQ(rig.op.messages, std::vector<std::string>{"No flash chip has been selected/detected!!!"});
  EXPECT_TRUE(rig.Wire().empty());
}

TEST(DownloadToFlash, Block0OfKT540SelectsBlock0AndShowsTheFileInTheCaption) {
  CommandRig rig(kKT540);
  ASSERT_TRUE(rig.Ready());
  const Bytes file = Pattern(300, 1);
  rig.PickFile(rig.WriteImage("app.bin", file), 4);
  rig.op.answers = {true};
  const std::string before = rig.Window().Caption();

  EXPECT_EQ(DownloadToFlash(rig.Window()), kResultOk);
  EXPECT_EQ(rig.ChipBytes(0, 4 * 128, 300), file);
  EXPECT_EQ(rig.ChipBytes(0, 4 * 128 + 300, 84), Bytes(84, 0xFF));
  EXPECT_EQ(rig.op.questions, std::vector<std::string>{kEraseQuestion});
  const Bytes expected{0x68, 0x68, 0x0B, 0x02, 0x00, 0x01};  // block 0, then the first erase frame
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), rig.Wire().begin()));
  EXPECT_EQ(rig.captions.at(0), "WARNING! DATA IN BLOCK 0 WILL BE ERASED. PLEASE BACK THEM UP FIRST.");
  EXPECT_EQ(rig.captions.at(1), "Downloading \"app.bin\"");
  EXPECT_EQ(rig.Window().Caption(), before);
  EXPECT_FALSE(rig.State().operationFailed);
}

TEST(DownloadToFlash, DecliningTheEraseTouchesNothingAndRestoresTheCaption) {
  CommandRig rig(kKT420);
  ASSERT_TRUE(rig.Ready());
  rig.PickFile(rig.WriteImage("app.bin", Pattern(128, 2)), 0);
  const std::string before = rig.Window().Caption();

  EXPECT_EQ(DownloadToFlash(rig.Window()), kResultOk);
  EXPECT_TRUE(rig.Wire().empty());
  EXPECT_EQ(rig.ChipBytes(0, 0, 128), Bytes(128, 0xFF));
  EXPECT_EQ(rig.Window().Caption(), before);
  EXPECT_EQ(rig.op.questions, std::vector<std::string>{kEraseQuestion});
}

TEST(DownloadToFlash, CancelAndFailureEndWithTheCaptionBack) {
  CommandRig rig(kKT420);
  ASSERT_TRUE(rig.Ready());
  const std::string before = rig.Window().Caption();
  EXPECT_EQ(DownloadToFlash(rig.Window()), kResultFail);  // the dialog is cancelled
  EXPECT_EQ(rig.Window().Caption(), before);

  rig.State().loaderUpdateInProgress = true;
  EXPECT_EQ(DownloadToFlash(rig.Window()), kResultCancelled);
  rig.State().loaderUpdateInProgress = false;

  rig.PickFile(rig.dirs.Dir().File("missing.bin"), 0);
  rig.op.answers = {true};
  EXPECT_EQ(DownloadToFlash(rig.Window()), kResultFail);
  EXPECT_TRUE(rig.op.Saw("Can't open the selected file!!!"));
  EXPECT_TRUE(rig.State().operationFailed);
  EXPECT_EQ(rig.Window().Caption(), before);

  rig.Record().SetCurrentBlock(2);
  EXPECT_EQ(DownloadToFlash(rig.Window()), kResultFail);
  EXPECT_EQ(rig.op.messages.back(), "Illegal Block Number Detected!!!");
}

TEST(DownloadToFlash, Entry300OfKT530IsBlock1AtF600ThroughTheParkedProgrammer) {
  CommandRig rig(kKT530);
  ASSERT_TRUE(rig.Ready());
  const Bytes sector0 = Pattern(128, 3), area2000 = Pattern(384, 4);
  rig.SetChipBytes(0, 0x0000, sector0);
  rig.SetChipBytes(0, 0x2000, area2000);
  const Bytes file = Pattern(256, 5);
  rig.PickFile(rig.WriteImage("b1.bin", file), 300);
  rig.op.answers = {true};

  EXPECT_EQ(DownloadToFlash(rig.Window()), kResultOk);
  EXPECT_EQ(rig.Record().GetCurrentBlock(), 1);
  EXPECT_EQ(rig.Window().Snapshot().selectedTab, 1);
  EXPECT_EQ(rig.ChipBytes(1, 0x1600, 256), file);
  EXPECT_EQ(rig.ChipBytes(0, 0x0000, 128), sector0);
  EXPECT_EQ(rig.ChipBytes(0, 0x2000, 384), area2000);
  EXPECT_TRUE(rig.target->LoaderIntact());
  EXPECT_EQ(rig.target->CurrentPhase(), sim::SimTarget::Phase::Loader);
  EXPECT_EQ(rig.op.questions, std::vector<std::string>{kEraseQuestion});
  EXPECT_TRUE(rig.op.messages.empty());

  const Bytes start{0x03, 0x20, 0x27, 0x10}, reentry{0x03, 0xE2, 0xCA, 0x01};
  EXPECT_TRUE(rig.WireHas(start));
  EXPECT_TRUE(rig.WireHas(reentry));
  EXPECT_EQ(rig.Wire().front(), 0x69);  // block 1 first, then block 0 for the parking
  EXPECT_TRUE(rig.RecoveryFiles().empty());
  EXPECT_FALSE(rig.State().linkBusy);
}

TEST(DownloadToFlash, KT410LoaderSectorsAskThenRefuseOrJustRefuse) {
  CommandRig rig(kKT410);
  ASSERT_TRUE(rig.Ready());
  const std::string file = rig.WriteImage("b1.bin", Pattern(64, 6));
  const std::string before = rig.Window().Caption();

  rig.PickFile(file, rig.Block1Entry(0x2C0 / 64));  // F2C0h
  rig.op.answers = {true, true};
  EXPECT_EQ(DownloadToFlash(rig.Window()), kResultFail);
  EXPECT_EQ(rig.op.questions, (std::vector<std::string>{kBslQuestion, kEraseQuestion}));
  EXPECT_EQ(rig.op.messages,
            std::vector<std::string>{"You can not erase BSL which resides in the first 16 sectors of Block1!"});
  EXPECT_FALSE(rig.Window().CloseRequested());

  rig.op.questions.clear();
  rig.op.messages.clear();
  rig.PickFile(file, rig.Block1Entry(0x300 / 64));  // F300h: no question, still refused
  rig.op.answers = {true};
  EXPECT_EQ(DownloadToFlash(rig.Window()), kResultFail);
  EXPECT_EQ(rig.op.questions, std::vector<std::string>{kEraseQuestion});
  EXPECT_EQ(rig.op.messages,
            std::vector<std::string>{"You can not erase BSL which resides in the first 16 sectors of Block1!"});

  rig.op.answers = {false};  // No to the BSL question
  rig.PickFile(file, rig.Block1Entry(0));
  EXPECT_EQ(DownloadToFlash(rig.Window()), kResultFail);

  EXPECT_TRUE(rig.Wire().empty());
  EXPECT_TRUE(rig.target->LoaderIntact());
  EXPECT_EQ(rig.Window().Caption(), before);
}

TEST(DownloadToFlash, KT540At0400IsRefusedWithoutAQuestion) {
  CommandRig rig(kKT540);
  ASSERT_TRUE(rig.Ready());
  rig.PickFile(rig.WriteImage("b1.bin", Pattern(128, 7)), rig.Block1Entry(8));
  rig.op.answers = {true};
  EXPECT_EQ(DownloadToFlash(rig.Window()), kResultFail);
  EXPECT_EQ(rig.op.questions, std::vector<std::string>{kEraseQuestion});
  EXPECT_EQ(rig.op.messages,
            std::vector<std::string>{"You can not erase BSL which resides in the first 9 sectors of Block1!"});
  EXPECT_EQ(rig.Wire(), (Bytes{0x69, 0x69}));
  EXPECT_TRUE(rig.target->LoaderIntact());
}

TEST(DownloadToFlash, ExternalMemoryModeWritesBlock1DirectlyWithoutTheBslQuestion) {
  CommandRig rig(kKT530, kExternalMemory);
  ASSERT_TRUE(rig.Ready());
  const Bytes file = Pattern(200, 8);
  rig.PickFile(rig.WriteImage("b1.bin", file), rig.Block1Entry(0));  // E000h, the loader's own sectors
  rig.op.answers = {true};
  EXPECT_EQ(DownloadToFlash(rig.Window()), kResultOk);
  EXPECT_EQ(rig.op.questions, std::vector<std::string>{kEraseQuestion});
  EXPECT_EQ(rig.ChipBytes(1, 0, 200), file);
  EXPECT_FALSE(rig.WireHas({0x03, 0x20, 0x27, 0x10}));
  EXPECT_EQ(rig.captions.at(0), "WARNING! DATA IN BLOCK 0/1 WILL BE ERASED. PLEASE BACK THEM UP FIRST.");
}

TEST(DownloadToFlash, KT410Block1LeavesTheBlockSelectionAlone) {
  CommandRig rig(kKT410);
  ASSERT_TRUE(rig.Ready());
  const Bytes sector0 = Pattern(128, 9);
  rig.SetChipBytes(0, 0, sector0);
  const Bytes file = Pattern(100, 10);
  rig.PickFile(rig.WriteImage("b1.bin", file), rig.Block1Entry(16));  // F400h
  rig.op.answers = {true};
  EXPECT_EQ(DownloadToFlash(rig.Window()), kResultOk);
  EXPECT_EQ(rig.ChipBytes(1, 0x400, 100), file);
  EXPECT_EQ(rig.ChipBytes(0, 0, 128), sector0);
  EXPECT_TRUE(rig.WireHas({0x03, 0xF0, 0x80, 0x01}));
  EXPECT_FALSE(rig.WireHas({0x68, 0x68}));
  EXPECT_FALSE(rig.WireHas({0x69, 0x69}));
}

// --- the safeguards around the parked programmer -------------------------------

// KT410, a 64-byte file at F400h. Erase frames (0Bh) in order: 1 at 0000h,
// 2-4 at 2000h (parking), 5 the file's sector, 6 the programmer's own erase
// before programming, 7-9 at 2000h again (put-back).
TEST(DownloadToFlash, AFailedPutBackIsReportedWithTheRecoveryFile) {
  sim::SimConfig config = CommandRig::MakeConfig(kKT410);
  config.faults.refuseEraseOccurrence = 7;
  CommandRig rig(config);
  ASSERT_TRUE(rig.Ready());
  const Bytes sector0 = Pattern(128, 11), area2000 = Pattern(384, 12);
  rig.SetChipBytes(0, 0x0000, sector0);
  rig.SetChipBytes(0, 0x2000, area2000);
  rig.PickFile(rig.WriteImage("b1.bin", Pattern(64, 13)), rig.Block1Entry(16));
  rig.op.answers = {true};

  EXPECT_EQ(DownloadToFlash(rig.Window()), kResultFail);
  EXPECT_TRUE(rig.State().operationFailed);
  const auto files = rig.RecoveryFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(rig.op.Saw(Block0NotRestoredText(files[0])));
  const std::string saved = test::ReadFile(files[0]);
  EXPECT_EQ(saved, std::string(sector0.begin(), sector0.end()) + std::string(area2000.begin(), area2000.end()));
}

TEST(DownloadToFlash, ABlock0ThatCannotBeSavedStopsBeforeAnythingIsErased) {
  sim::SimConfig config = CommandRig::MakeConfig(kKT530);
  config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Drop, 0x0C, 2, 5});  // in 2000h-207Fh
  CommandRig rig(config);
  ASSERT_TRUE(rig.Ready());
  const Bytes sector0 = Pattern(128, 14);
  rig.SetChipBytes(0, 0, sector0);
  rig.PickFile(rig.WriteImage("b1.bin", Pattern(128, 15)), rig.Block1Entry(20));
  rig.op.answers = {true};

  EXPECT_EQ(DownloadToFlash(rig.Window()), kResultFail);
  EXPECT_TRUE(rig.op.Saw(Block0BackupFailedText()));
  EXPECT_FALSE(rig.WireHas({0x0B}));
  EXPECT_EQ(rig.ChipBytes(0, 0, 128), sector0);
  EXPECT_TRUE(rig.RecoveryFiles().empty());
}

TEST(DownloadToFlash, NoPlaceForTheRecoveryFileStopsBeforeAnythingIsErased) {
  CommandRig rig(kKT540);
  ASSERT_TRUE(rig.Ready());
  // A data directory below a plain file cannot be made.
  test::WriteFile(rig.dirs.Dir().File("plain"), "x");
  ::setenv("XDG_DATA_HOME", rig.dirs.Dir().File("plain").c_str(), 1);
  rig.PickFile(rig.WriteImage("b1.bin", Pattern(128, 16)), rig.Block1Entry(20));
  rig.op.answers = {true};

  EXPECT_EQ(DownloadToFlash(rig.Window()), kResultFail);
  EXPECT_TRUE(rig.op.Saw(RecoveryFileFailedText()));
  EXPECT_FALSE(rig.WireHas({0x0B}));
}

TEST(DownloadToFlash, WritingOverTheLoaderDuringAnUpdateEndsTheApplication) {
  CommandRig rig(kKT410);
  ASSERT_TRUE(rig.Ready());
  rig.State().loaderUpdateInProgress = true;
  rig.PickFile(rig.WriteImage("bsl.bin", Pattern(64, 18)), rig.Block1Entry(0));
  rig.op.answers = {true, true};
  EXPECT_EQ(DownloadToFlash(rig.Window()), kResultFail);
  EXPECT_EQ(rig.op.questions, (std::vector<std::string>{kBslQuestion, kEraseQuestion}));
  EXPECT_EQ(rig.op.messages.back(), "BSL is erased. Please re-program BSL before use Bootstrap Loader again!");
  EXPECT_TRUE(rig.Window().CloseRequested());
  EXPECT_EQ(rig.captions.at(0), "WARNING! DATA IN BLOCK 0/1 WILL BE ERASED. PLEASE BACK THEM UP FIRST.");
  EXPECT_FALSE(rig.WireHas({0x03, 0x20, 0x27, 0x10}));  // no programmer parked by the download itself
}

TEST(OnDownloadAndRun, RunsTheUserCodeOnlyAfterASuccess) {
  CommandRig rig(kKT420);
  ASSERT_TRUE(rig.Ready());
  EXPECT_EQ(OnDownloadAndRun(rig.Window()), kResultFail);  // cancelled
  EXPECT_FALSE(rig.State().userCodeStarted);

  rig.PickFile(rig.WriteImage("app.bin", Pattern(64, 17)), 0);
  rig.op.answers = {true};
  EXPECT_EQ(OnDownloadAndRun(rig.Window()), kResultOk);
  EXPECT_TRUE(rig.State().userCodeStarted);
  EXPECT_FALSE(rig.Record().Port().IsLinkUp());
  EXPECT_EQ(rig.Wire().back(), 0x62);
  EXPECT_EQ(rig.target->CurrentPhase(), sim::SimTarget::Phase::UserCode);
}


TEST(DownloadToExternalBank, OffersTheBankSectorsUnderTheBankWarning) {
  CommandRig rig(kKT540);
  ASSERT_TRUE(rig.Ready());
  rig.State().externalHighBankSelected = true;
  const std::string before = rig.Window().Caption();
  std::vector<std::string> entries;
  std::string caption;
  rig.op.onFileAndSector = [&](FileSectorDialog& d) {
    entries = d.entries;
    caption = rig.Window().Caption();
    EXPECT_EQ(d.title, "Download Hex or Binary File into Flash Memory");
    return false;
  };
  EXPECT_EQ(OnDownload(rig.Window()), kResultFail);
  ASSERT_EQ(entries.size(), 16u);
  EXPECT_EQ(entries.front(), "Sector 016    Addr=10000");
  EXPECT_EQ(caption, "WARNING! DATA IN EXTERNAL HIGH 64KB MEMORY WILL BE ERASED. PLEASE BACK THEM UP FIRST.");
  EXPECT_EQ(rig.Window().Caption(), before);
  EXPECT_TRUE(rig.Wire().empty());
}

}  // namespace
}  // namespace brisko

namespace brisko {
namespace {

// KT580's block 0 ends at 1FFFh: the block-1 programmer has no place at 2000h,
// so block 1 cannot be written in internal memory mode and nothing is erased.
TEST(DownloadToFlash, KT580RefusesBlock1InInternalModeBeforeErasingAnything) {
  test::CommandRig rig(kKT580);
  ASSERT_TRUE(rig.Ready());
  rig.PickFile(rig.WriteImage("app.bin", test::Pattern(256, 4)), 64 + 20);  // block 1, EA00h
  rig.op.answers = {true};
  EXPECT_EQ(DownloadToFlash(rig.Window()), kResultFail);
  EXPECT_TRUE(rig.op.Saw("KT580 doesn't support update block 1 in internal memory mode!"));
  for (std::uint8_t byte : rig.Wire()) EXPECT_NE(byte, 0x0B) << "an erase frame went out";
  EXPECT_EQ(rig.target->CurrentPhase(), sim::SimTarget::Phase::Loader);
}

}  // namespace
}  // namespace brisko
