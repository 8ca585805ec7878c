#include <gtest/gtest.h>

#include "firmware/firmware.hpp"
#include "link/result_codes.hpp"
#include "support/result_print.hpp"
#include "shell/block0/bank_helper.hpp"
#include "shell/block0/block1_programmer.hpp"
#include "shell/loader/debug_monitor.hpp"
#include "shell/loader/loader_update.hpp"
#include "support/sim_session.hpp"

namespace brisko {
namespace {

using test::Bytes;
using test::Pattern;
using test::SimSession;
using Phase = sim::SimTarget::Phase;

constexpr const char* kProbexQuestion =
    "Do you really want to download Probex?\nBSL in Block1 and code in Block0 will be erased.\nProceed to download?";

sim::SimConfig Locked(int model, std::uint8_t security) {
  sim::SimConfig config = SimSession::MakeConfig(model);
  config.securityBits = security;
  return config;
}

TEST(LoaderUpdate, RefusesWhereTheLoaderMayNotBeReplaced) {
  struct Row {
    sim::SimConfig config;
    bool lowBank;
    const char* refusal;  // nullptr: goes on to the download dialog
  };
  const Row rows[] = {
      {Locked(kKT550, 0x80), false, nullptr},
      {Locked(kKT410, 0x80), false, "Update BSL doesn't work if Block0 or Block1 is hardlocked!"},
      {Locked(kKT580, 0x00), false, "KT580 doesn't support update block 1 in internal memory mode!"},
      {Locked(kKT540, 0x00), true, "This command is to Update block 1 in internal memory mode!"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.config.model);
    SimSession rig(row.config);
    ASSERT_TRUE(rig.Ready());
    rig.State().externalLowBankSelected = row.lowBank;
    const Bytes block0 = rig.Flash(0, 0, 128);
    const CommandOutcome outcome = OnUpdateInternalLoader(rig.Shell());
    if (row.refusal) {
      EXPECT_EQ(outcome.kind, OutcomeKind::Refused);
      EXPECT_EQ(rig.op.messages, std::vector<std::string>{row.refusal});
      EXPECT_TRUE(rig.Wire().empty());
    } else {
      EXPECT_EQ(outcome.kind, OutcomeKind::Declined) << "the download dialog was cancelled";
      EXPECT_EQ(rig.target->CurrentPhase(), Phase::Loader) << "nothing is parked before the file is chosen";
      EXPECT_FALSE(rig.WireHas({0x0B}));
      EXPECT_FALSE(rig.State().loaderUpdateInProgress);
    }
  }
}

TEST(LoaderUpdate, WritesTheNewLoaderIntoBlock1AndTheChipStillAnswersAfterAReset) {
  SimSession rig(kKT540);
  test::DisplacedAreas areas(rig);
  ASSERT_TRUE(rig.Ready());
  // The file holds the loader the chip answers with; the chip's own copy is
  // damaged first, so that only a complete write lets it answer after a reset.
  const Bytes loader = rig.Flash(1, 0, rig.target->LoaderSize());
  rig.SetFlash(1, 0, Pattern(128, 40));
  rig.PickFile(rig.Write("bsl.bin", loader), rig.Block1Entry(0));
  rig.op.answers = {true, true};
  OnUpdateInternalLoader(rig.Shell());
  EXPECT_TRUE(rig.WireHas({0x03, 0x20, 0x27, 0x10}));
  EXPECT_EQ(rig.Flash(1, 0, loader.size()), loader);
  EXPECT_TRUE(rig.Window().CloseRequested());
  // The displaced block-0 bytes stay on disk, and the operator is told so.
  ASSERT_EQ(rig.RecoveryFiles().size(), 1u);
  EXPECT_NE(rig.op.messages.back().find(rig.RecoveryFiles()[0]), std::string::npos) << rig.op.messages.back();
  EXPECT_EQ(rig.op.messages.back().find("BSL is erased"), std::string::npos);

  // After a reset the new loader answers, and the detection puts block 0 back.
  rig.target->Reset();
  test::ScriptedOperator op;
  Session next(op, sim::SimOpener(rig.target), test::FastTiming(), rig.dirs.Places());
  next.Record()->SetChipModel(kKT540);
  next.Record()->SetMemoryMode(kInternalMemory);
  op.answers = {true};
  DetectTarget(next);
  EXPECT_TRUE(next.Record()->Port().IsLinkUp());
  EXPECT_TRUE(areas.PutBack(rig)) << ::testing::PrintToString(op.log);
  EXPECT_TRUE(rig.RecoveryFiles().empty());
}

TEST(LoaderUpdate, AreasThatCannotBeSavedStopItBeforeAnyErase) {
  sim::SimConfig config = SimSession::MakeConfig(kKT420);
  config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Drop, 0x0C, 0, 5});
  SimSession rig(config);
  test::DisplacedAreas areas(rig);
  ASSERT_TRUE(rig.Ready());
  rig.PickFile(rig.Write("bsl.bin", Pattern(rig.target->LoaderSize(), 41)), rig.Block1Entry(0));
  rig.op.answers = {true, true};
  const CommandOutcome outcome = OnUpdateInternalLoader(rig.Shell());
  EXPECT_EQ(outcome.kind, OutcomeKind::Failed);
  EXPECT_EQ(rig.op.messages.back(), Block0BackupFailedText());
  EXPECT_FALSE(rig.WireHas({0x0B, 0x00, 0x00, 0x01}));
  EXPECT_TRUE(areas.PutBack(rig));
  EXPECT_TRUE(rig.RecoveryFiles().empty());
  EXPECT_FALSE(rig.State().linkBusy.load());

  EXPECT_EQ(InstallBankHelper(rig.Shell()), Result::Failed);
  EXPECT_TRUE(rig.State().operationFailed.load());
  EXPECT_FALSE(rig.WireHas({0x0B, 0x00, 0x00, 0x01}));
}

TEST(LoaderUpdate, BankHelperIsParkedAt2000h) {
  SimSession rig(kKT410);
  ASSERT_TRUE(rig.Ready());
  EXPECT_EQ(InstallBankHelper(rig.Shell()), Result::Ok);
  const Bytes helper(firmware::BankHelper.begin(), firmware::BankHelper.end());
  EXPECT_EQ(rig.Flash(0, 0x2000, helper.size()), helper);
  EXPECT_EQ(rig.Flash(0, 0x0000, 128), Bytes(128, 0xFF));
}

TEST(ExternalLoaderUpdate, NeedsTheLowBank) {
  SimSession rig(kKT420);
  ASSERT_TRUE(rig.Ready());
  rig.State().externalHighBankSelected = true;
  EXPECT_EQ(OnUpdateExternalLoader(rig.Shell()).kind, OutcomeKind::Refused);
  EXPECT_EQ(rig.op.messages, std::vector<std::string>{"Please enter into Low64K in internal memory mode for upgrade BSL!"});
  EXPECT_TRUE(rig.Wire().empty());
}

TEST(DebugMonitor, NoAtTheQuestionWritesNothing) {
  SimSession rig(kKT560);
  ASSERT_TRUE(rig.Ready());
  EXPECT_EQ(OnDownloadDebugMonitor(rig.Shell()).kind, OutcomeKind::Declined);
  EXPECT_EQ(rig.op.questions, std::vector<std::string>{kProbexQuestion});
  EXPECT_TRUE(rig.Wire().empty());
  EXPECT_FALSE(rig.Window().CloseRequested());
}

TEST(DebugMonitor, ReplacesTheLoaderOnKT560TouchingBlock0OnlyWhereTheProgrammerGoes) {
  SimSession rig(kKT560);
  const Bytes block0 = Pattern(rig.Record().BlockSize(0), 50);
  rig.SetFlash(0, 0, block0);
  ASSERT_TRUE(rig.Ready());
  rig.op.answers = {true};
  EXPECT_TRUE(OnDownloadDebugMonitor(rig.Shell()).Ok());
  EXPECT_EQ(rig.op.messages, std::vector<std::string>{"BSL is replaced by Probex!"});
  EXPECT_TRUE(rig.Window().CloseRequested());

  const Bytes probex(firmware::ProbexKT530.begin(), firmware::ProbexKT530.end());
  EXPECT_EQ(rig.Flash(1, 0, probex.size()), probex) << "4096 bytes at E000h";
  EXPECT_EQ(rig.Flash(0, 0x0080, 0x2000 - 0x80), Bytes(block0.begin() + 0x80, block0.begin() + 0x2000));
  EXPECT_EQ(rig.Flash(0, 0x2180, block0.size() - 0x2180), Bytes(block0.begin() + 0x2180, block0.end()));
  rig.target->Reset();
  EXPECT_EQ(rig.target->CurrentPhase(), Phase::Halted) << "the debug monitor does not answer the loader's sync";
}

TEST(DebugMonitor, AFailedBlock1WriteIsReportedAndStillEndsTheProgram) {
  sim::SimConfig config = SimSession::MakeConfig(kKT420);
  config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Corrupt, 0x0A, 0, 0, 0x01});
  SimSession rig(config);
  ASSERT_TRUE(rig.Ready());
  rig.op.answers = {true};
  const CommandOutcome outcome = OnDownloadDebugMonitor(rig.Shell());
  EXPECT_EQ(outcome.kind, OutcomeKind::Failed);
  EXPECT_FALSE(rig.op.Saw("BSL is replaced by Probex!"));
  ASSERT_FALSE(rig.op.messages.empty());
  EXPECT_EQ(rig.op.messages.back().rfind("Failed to write Probex into Block1!", 0), 0u);
  EXPECT_TRUE(rig.Window().CloseRequested());
}

}  // namespace
}  // namespace brisko
