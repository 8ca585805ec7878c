#include <gtest/gtest.h>

#include "firmware/firmware.hpp"
#include "shell/flash/compare_command.hpp"
#include "shell/flash/download_command.hpp"
#include "shell/flash/erase_commands.hpp"
#include "shell/flash/external_bank_commands.hpp"
#include "shell/flash/read_command.hpp"
#include "shell/flash/save_command.hpp"
#include "support/sim_session.hpp"

namespace brisko {
namespace {

using test::Bytes;
using test::ChipConfig;
using test::Pattern;
using test::SimSession;
using Messages = std::vector<std::string>;

// A KT400-family chip: the bank helper takes block 0's sector 0 and 2000h
// while the high half of the external flash is entered; a download lands in
// the half the switch selects, and the return puts block 0 back.
TEST(ExternalBanks, DownloadIntoTheHighBankAndBack) {
  SimSession rig(kKT420);
  rig.target->SetA16(true);
  ASSERT_TRUE(rig.Ready());
  const test::DisplacedAreas areas(rig);

  EXPECT_TRUE(OnEnterHighBank(rig.Shell()).Ok());
  EXPECT_EQ(rig.op.messages,
            (Messages{"Please set DIP switch on SW2 of\nBSL Demo Board v2.0 as follows:\n\na.    EA1# = 1  or  #1 = OFF\n"
                      "b.    CE# = 0    or  #2 = ON\nc.    A16 = 1     or  #3 = OFF\nd.    RST1 = 1  or  #8 = OFF\n"
                      "e.    Vcc >= 3.3V",
                      "Entering High 64KB of External Flash Successful!"}));
  EXPECT_TRUE(rig.WireHas({0x66, 0x66, 0x00}));
  EXPECT_TRUE(rig.target->ExternalBankEntered());
  EXPECT_EQ(rig.Flash(0, 0x2000, firmware::BankHelper.size()),
            Bytes(firmware::BankHelper.begin(), firmware::BankHelper.end()));
  EXPECT_EQ(rig.Flash(0, 0x0000, 128), Bytes(128, 0xFF));
  const ChipInfoTexts info = rig.Window().ChipInfo();
  EXPECT_EQ(info.chipType + "|" + info.flashSize + "|" + info.memMode + "|" + info.remap,
            "KF010|High 64KB|External Flash|Not Applicable");
  EXPECT_FALSE(rig.Window().ButtonEnabled(IapButton::ChipErase));
  ASSERT_EQ(rig.RecoveryFiles().size(), 1u) << "the user's block-0 bytes are on disk meanwhile";
  EXPECT_EQ(test::ReadFile(rig.RecoveryFiles()[0]), areas.Saved());

  const Bytes app = Pattern(300, 31);
  rig.PickFile(rig.Write("bank.bin", app), 1);  // sector 1: 1000h
  rig.op.answers = {true, true};
  rig.op.messages.clear();
  EXPECT_TRUE(OnDownload(rig.Shell()).Ok());
  const Bytes kf010 = rig.target->ExternalFlashBytes();
  EXPECT_EQ(Bytes(kf010.begin() + 0x11000, kf010.begin() + 0x11000 + 300), app);
  EXPECT_EQ(Bytes(kf010.begin() + 0x1000, kf010.begin() + 0x1000 + 300), Bytes(300, 0xFF)) << "low half untouched";

  rig.op.answers = {true};
  rig.op.messages.clear();
  EXPECT_TRUE(OnReturnToMcuFlash(rig.Shell()).Ok());
  EXPECT_EQ(rig.op.questions.back(), "Do you really want to return to internal memory mode?\n");
  EXPECT_EQ(rig.op.messages, Messages{"Return to MCU Flash Successful!"});
  EXPECT_FALSE(rig.target->ExternalBankEntered());
  EXPECT_FALSE(rig.State().ExternalBankSelected());
  EXPECT_TRUE(areas.PutBack(rig));
  EXPECT_TRUE(rig.RecoveryFiles().empty());
  EXPECT_EQ(rig.Window().ChipInfo().chipType, "KT420");
}

// A line that dies during a bank download fails it in one exchange; the
// return then finds in one more that the chip no longer answers, instead of
// trying every attempt of its restore, and names the recovery file.
TEST(ExternalBanks, ALineThatDiesDuringABankDownloadIsFoundOutAtOnce) {
  SimSession rig(kKT420);
  ASSERT_TRUE(rig.Ready());
  const test::DisplacedAreas areas(rig);
  ASSERT_TRUE(rig.Run(OnEnterLowBank).Ok());
  rig.PickFile(rig.Write("bank.bin", Pattern(300, 33)), 1);
  rig.op.answers = {true, true};
  std::size_t diedAt = 0;
  rig.onProgress = [&](const ProgressPane& pane) {
    if (pane.label == "Erasing" && diedAt == 0) {
      diedAt = rig.target->HostBytesCopy().size();
      rig.target->Faults().stopAfterHostBytes = rig.target->HostBytesSinceReset();
    }
  };
  EXPECT_EQ(rig.Run(OnDownload).kind, OutcomeKind::Failed);
  rig.onProgress = nullptr;
  rig.op.messages.clear();
  EXPECT_EQ(rig.Run(ReturnToMcuFlashUnasked).kind, OutcomeKind::Failed);
  const Bytes wire = rig.target->HostBytesCopy();
  const Bytes afterDeath(wire.begin() + static_cast<long>(diedAt), wire.end());
  // The erase frame that got no answer, the return and one read of 0000h.
  EXPECT_EQ(afterDeath, (Bytes{0x04, 0x10, 0x00, 0x01, 0x01, 0x01, 0x0C, 0x00, 0x00, 0x01}));
  EXPECT_TRUE(rig.op.Saw("The chip does not answer any more."));
  ASSERT_EQ(rig.RecoveryFiles().size(), 1u);
  EXPECT_NE(rig.op.messages.back().find(rig.RecoveryFiles()[0]), std::string::npos);
}

// Entering a half while the helper is in (the other half entered, or an
// entry whose bytes did not go out) must not save the helper and the erased
// sector over the user's bytes: the first saved copy is kept.
TEST(ExternalBanks, AnotherEntryKeepsTheFirstSavedCopy) {
  for (const bool firstFailed : {false, true}) {
    SCOPED_TRACE(firstFailed ? "after a failed entry" : "with the other half entered");
    SimSession rig(kKT420);
    ASSERT_TRUE(rig.Ready());
    const test::DisplacedAreas areas(rig);
    ASSERT_TRUE(OnEnterLowBank(rig.Shell()).Ok());
    const std::string firstFile = rig.State().bankRecoveryFile;
    if (firstFailed) {  // the state such a failure leaves: chip in its own flash, no bank flag
      rig.Record().Port().WriteByte(0x01);
      rig.Record().Port().WriteByte(0x01);
      rig.State().externalLowBankSelected = false;
    }
    ASSERT_TRUE(OnEnterHighBank(rig.Shell()).Ok());
    EXPECT_TRUE(rig.State().externalHighBankSelected);
    EXPECT_FALSE(rig.State().externalLowBankSelected);
    EXPECT_EQ(rig.State().bankRecoveryFile, firstFile);
    EXPECT_EQ(rig.RecoveryFiles().size(), 1u);
    rig.op.answers = {true};
    EXPECT_TRUE(OnReturnToMcuFlash(rig.Shell()).Ok());
    EXPECT_TRUE(areas.PutBack(rig));
  }
}

// A detection while a bank is entered leaves it and puts block 0 back. When
// the host died meanwhile, a new session knows nothing of the bank, but the
// recovery file and the helper at 2000h tell the detection.
TEST(ExternalBanks, DetectionReturnsToMcuFlashOrOffersTheRecoveryFileBack) {
  SimSession rig(kKT420);
  ASSERT_TRUE(rig.Ready());
  const test::DisplacedAreas areas(rig);
  ASSERT_TRUE(OnEnterLowBank(rig.Shell()).Ok());
  rig.Shell().ResetTarget();
  rig.Detect();
  EXPECT_TRUE(rig.Record().Port().IsLinkUp());
  EXPECT_FALSE(rig.State().ExternalBankSelected());
  EXPECT_TRUE(areas.PutBack(rig));
  EXPECT_TRUE(rig.RecoveryFiles().empty());

  ASSERT_TRUE(OnEnterLowBank(rig.Shell()).Ok());  // and the host dies
  rig.State().externalLowBankSelected = false;
  rig.State().bankRecoveryFile.clear();
  rig.State().saved = SavedAreas{};
  rig.Shell().ResetTarget();

  ASSERT_EQ(rig.RecoveryFiles().size(), 1u);
  const std::string file = rig.RecoveryFiles()[0];
  rig.op.answers = {true};
  rig.Detect();
  ASSERT_EQ(rig.op.questions.size(), 1u);
  EXPECT_NE(rig.op.questions[0].find(file), std::string::npos);
  EXPECT_TRUE(areas.PutBack(rig));
  EXPECT_TRUE(rig.RecoveryFiles().empty());
}

// The ordinary flash commands on an entered bank, through the external
// command set of the simulated board.
TEST(ExternalBanks, ReadSaveCompareAndEraseWorkOnTheEnteredBank) {
  auto config = ChipConfig(kKT560);
  config.a16 = true;
  SimSession rig(config);
  ASSERT_TRUE(rig.Ready());
  ASSERT_TRUE(OnEnterHighBank(rig.Shell()).Ok());
  const Bytes content = Pattern(4096, 71);
  rig.target->SetExternalFlashBytes(0x12000, content);

  rig.PickRange(2, 1);  // 2000h, one 4 KB sector
  EXPECT_TRUE(OnRead(rig.Shell()).Ok());
  const std::string saved = rig.Path("bank.bin");
  rig.PickSave(2, 1, saved, false);
  EXPECT_TRUE(OnSave(rig.Shell()).Ok());
  EXPECT_EQ(test::ReadFile(saved), std::string(content.begin(), content.end()));

  rig.PickFile(saved, 2);
  EXPECT_TRUE(OnCompare(rig.Shell()).Ok());

  rig.PickRange(2, 1);
  rig.op.answers = {true};
  EXPECT_TRUE(OnSectorErase(rig.Shell()).Ok());
  const Bytes after = rig.target->ExternalFlashBytes();
  EXPECT_EQ(Bytes(after.begin() + 0x12000, after.begin() + 0x13000), Bytes(4096, 0xFF));
  rig.PickFile(saved, 2);
  EXPECT_FALSE(OnCompare(rig.Shell()).Ok()) << "the erased sector no longer matches";
}

}  // namespace
}  // namespace brisko
