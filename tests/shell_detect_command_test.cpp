#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "link/posix_serial_device.hpp"
#include "shell/detect_command.hpp"
#include "support/sim_session.hpp"
#include "target/handshake.hpp"

namespace brisko {
namespace {

using test::SimSession;

constexpr const char* kSuccess = "Detect target MCU is successful!";

sim::SimConfig Config(int model, int mode = kInternalMemory) { return SimSession::MakeConfig(model, mode); }

// The host bytes after the synchronisation rounds: everything from "BSL" on.
std::vector<std::uint8_t> AfterPattern(const std::vector<std::uint8_t>& bytes) {
  auto at = std::search(bytes.begin(), bytes.end(), std::begin("BSL"), std::begin("BSL") + 3);
  return std::vector<std::uint8_t>(at, bytes.end());
}

TEST(DetectTarget, FillsThePanelAndSetsTheLinkUp) {
  SimSession s(kKT540);
  ASSERT_TRUE(s.Detect()) << s.Window().StatusText();
  const WindowState w = s.Window().Snapshot();
  EXPECT_EQ(w.chipInfo.chipType, "KT540");
  EXPECT_EQ(w.chipInfo.flashSize, "64+8 KB");
  EXPECT_EQ(w.chipInfo.remap, "8 KByte");
  EXPECT_EQ(w.chipInfo.fwVersion, "v1.1F");
  EXPECT_EQ(w.chipInfo.memMode, "Internal");
  EXPECT_EQ(w.securityText, "SECURITY : CHIP IS UNLOCKED (FSTAT[7:5]:000)");
  EXPECT_EQ(w.doubleClockPane, "Double Clock OFF");
  EXPECT_EQ(s.op.messages, std::vector<std::string>{"Click on OK then Reset MCU\nto Detect Baud & Chip\n(MCU:Fw v1.1F)"});
  EXPECT_EQ(s.Record().BlockImage(0).Size(), 65536u + 16u);
  EXPECT_EQ(s.State().savedRemapText, "8 KByte");
}

TEST(DetectTarget, WireBytesArePatternRoundsThenReadyModeSelectAndVersion) {
  SimSession s(Config(kKT530, kExternalMemory));
  ASSERT_TRUE(s.Detect());
  const auto& bytes = s.target->HostBytes();
  ASSERT_GE(bytes.size(), 16u);
  EXPECT_TRUE(std::equal(kBaudDetectPattern.begin(), kBaudDetectPattern.end(), bytes.begin()));
  EXPECT_EQ(AfterPattern(bytes), (std::vector<std::uint8_t>{'B', 'S', 'L', 0x05, 0x03, 0x60}));
  EXPECT_EQ(s.Window().Snapshot().chipInfo.memMode, "External");
}

TEST(DetectTarget, ModeSelectPairFollowsModelAndMode) {
  struct Case {
    int model;
    int mode;
    std::uint8_t second;
  };
  for (const Case c : {Case{kKT410, kExternalMemory, 0x01}, Case{kKT550, kExternalMemory, 0x02},
                       Case{kKT580, kExternalMemory, 0x03}, Case{kKT420, kInternalMemory, 0x55}}) {
    SimSession s(Config(c.model, c.mode));
    ASSERT_TRUE(s.Detect()) << c.model;
    const auto tail = AfterPattern(s.target->HostBytes());
    ASSERT_GE(tail.size(), 5u);
    EXPECT_EQ(tail[3], 0x05);
    EXPECT_EQ(tail[4], c.second) << c.model;
  }
}

TEST(DetectTarget, LateOkStillSynchronises) {
  sim::SimConfig config = Config(kKT420);
  config.faults.okDelay = Millis(60);  // a quarter of the scaled 240 ms limit
  SimSession s(config);
  EXPECT_TRUE(s.Detect());
}

TEST(DetectTarget, NoAnswerFailsAfterTheSynchronisationLimit) {
  sim::SimConfig config = Config(kKT420);
  config.faults.noOk = true;
  SimSession s(config);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(s.Detect());
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(s.op.Saw("Failed to setup RS232 connection with Target MCU!!!"));
  EXPECT_FALSE(s.Record().Port().IsLinkUp());
  EXPECT_GE(elapsed, s.Record().Port().Timing().syncLimit);
  EXPECT_LT(elapsed, s.Record().Port().Timing().syncLimit * 4);
}

TEST(DetectTarget, ReadyAnswerCutShortIsTheThirdByteFailure) {
  sim::SimConfig config = Config(kKT420);
  config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Drop, 'B', 1, 2});  // "RD" only
  SimSession s(config);
  EXPECT_FALSE(s.Detect());
  EXPECT_TRUE(s.op.Saw("Failed on receiving string RDY(2)."));
  EXPECT_FALSE(s.Record().Port().IsLinkUp());
}

TEST(DetectTarget, MissingStatusByteAndMissingVersion) {
  {
    sim::SimConfig config = Config(kKT540);
    config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Drop, 0x05, 1, 0});
    SimSession s(config);
    EXPECT_FALSE(s.Detect());
    EXPECT_TRUE(s.op.Saw("No Response from Target Board after sending 05h,55h!!!"));
  }
  {
    sim::SimConfig config = Config(kKT540);
    config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Drop, 0x60, 1, 1});
    SimSession s(config);
    EXPECT_FALSE(s.Detect());
    EXPECT_TRUE(s.op.Saw("No Response from Target Board after sending 60h!!!"));
    EXPECT_FALSE(s.Record().Port().IsLinkUp());
  }
}

TEST(DetectTarget, WrongVersionLetterLeavesTheLinkUpWithAMessage) {
  sim::SimConfig config = Config(kKT420);
  config.versionLetter = 'E';
  SimSession s(config);
  EXPECT_FALSE(s.Detect());
  EXPECT_EQ(s.Window().Snapshot().chipInfo.fwVersion, "v1.1?");
  EXPECT_TRUE(s.op.Saw("Wrong Firmware Version Detected in MCU chip!!!"));
  EXPECT_TRUE(s.Record().Port().IsLinkUp());
  EXPECT_NE(s.Window().StatusText(), kSuccess);
}

TEST(DetectTarget, StatusByteOfALockedDoubleClockedKT560) {
  sim::SimConfig config = Config(kKT560);
  config.securityBits = 0x60;
  config.doubleClock = true;
  config.remapBits = 3;  // status 6Bh
  SimSession s(config);
  ASSERT_TRUE(s.Detect());
  EXPECT_EQ(s.State().securityBits, 0x60);
  EXPECT_EQ(s.Record().securityCopy, 0x60);
  EXPECT_TRUE(s.State().doubleClockOn);
  const WindowState w = s.Window().Snapshot();
  EXPECT_EQ(w.chipInfo.remap, "Block1 Invisible");
  EXPECT_EQ(w.doubleClockPane, "Double Clock  ON");
  EXPECT_FALSE(s.Window().ButtonEnabled(IapButton::Download));
  EXPECT_FALSE(s.Window().ButtonEnabled(IapButton::SectorErase));
  EXPECT_FALSE(s.Window().ButtonEnabled(IapButton::DownloadRun));
  EXPECT_TRUE(s.Window().ButtonEnabled(IapButton::LockChip));
  EXPECT_TRUE(s.Window().ButtonEnabled(IapButton::MemoryRemap));
  // At 38400 bit/s there is nothing to gain from a doubled crystal: no question.
  EXPECT_TRUE(s.op.questions.empty());
}

TEST(DetectTarget, KT400RemapLeavesDoubleClockAlone) {
  sim::SimConfig config = Config(kKT410);
  config.remapBits = 1;
  SimSession s(config);
  s.State().doubleClockOn = true;
  ASSERT_TRUE(s.Detect());
  EXPECT_EQ(s.Window().Snapshot().chipInfo.remap, "1 KByte");
  EXPECT_TRUE(s.State().doubleClockOn);
}

TEST(DetectTarget, SecurityBits60AreLevel3OnKT500AndLevel4OnKT400) {
  sim::SimConfig kt500 = Config(kKT540);
  kt500.securityBits = 0x60;
  SimSession a(kt500);
  ASSERT_TRUE(a.Detect());
  EXPECT_FALSE(a.op.Saw("PLEASE STOP AND EXIT THE WINDOW!!!"));
  EXPECT_EQ(a.Window().Snapshot().securityText, "SECURITY : CHIP IS LEVEL3 HARDLOCKED (FSTAT[7:5]: 011)");

  sim::SimConfig kt400 = Config(kKT420);
  kt400.securityBits = 0x60;
  SimSession b(kt400);
  ASSERT_TRUE(b.Detect());
  EXPECT_TRUE(b.op.Saw("PLEASE STOP AND EXIT THE WINDOW!!!"));
  EXPECT_EQ(b.Window().Snapshot().securityText, "SECURITY : CHIP IS LEVEL4 HARDLOCKED (FSTAT[7:5]:011)");
}

TEST(DetectTarget, DoesNothingWhileTheLinkIsUp) {
  SimSession s(kKT420);
  ASSERT_TRUE(s.Detect());
  const auto sent = s.target->HostBytes().size();
  const auto told = s.op.messages.size();
  DetectTarget(s.Window());
  EXPECT_EQ(s.target->HostBytes().size(), sent);
  EXPECT_EQ(s.op.messages.size(), told);
}

TEST(DetectTarget, DoubleClockBelow38400OffersTheCrystalOnce) {
  sim::SimConfig config = Config(kKT570);
  config.doubleClock = true;
  SimSession s(config);
  s.Record().Port().SetBaudRate(19200);
  s.op.answers = {true};
  int dialogs = 0;
  s.op.onCommSetup = [&](CommSetupDialog& dialog) {
    ++dialogs;
    dialog.selectedRate = 1;  // 19200
    return dialog.Confirm() == CommSetupDialog::Outcome::Confirmed;
  };
  ASSERT_TRUE(s.Detect());
  EXPECT_EQ(s.op.questions.size(), 1u);
  EXPECT_EQ(dialogs, 1);
  EXPECT_TRUE(s.State().doubleClockAsked);
  // The second detection ran after the dialog and did not ask again.
  EXPECT_TRUE(s.Record().Port().IsLinkUp());
}

TEST(DetectTarget, APortThatDoesNotExistSaysWhy) {
  test::UserDirsInTemp dirs;
  test::ScriptedOperator op;
  MainWindow window(op, OpenPosixSerialDevice, test::FastTiming());
  window.Record()->Port().SetDevicePath("/dev/brisko-no-such-port");
  DetectTarget(window);
  EXPECT_TRUE(op.Saw("Failed to setup Serial Comm with Target MCU!!!"));
  EXPECT_NE(window.StatusText().find("no such device"), std::string::npos) << window.StatusText();
  EXPECT_FALSE(window.Record()->Port().IsLinkUp());
}

TEST(DetectMenu, SelectionAndSetupComeFirst) {
  SimSession s(kKT540);
  // Cancel in the chip selection: nothing else happens.
  OnDetectMenu(s.Window());
  EXPECT_TRUE(s.target->HostBytes().empty());

  s.op.onSelectChip = [](ChipSelection& selection) {
    selection.memoryMode = 0;
    return true;
  };
  OnDetectMenu(s.Window());
  EXPECT_TRUE(s.op.Saw("Chip Info is not completed!!!"));

  s.op.onSelectChip = [](ChipSelection& selection) {
    selection.model = kKT540;
    selection.memoryMode = kInternalMemory;
    return true;
  };
  OnDetectMenu(s.Window());
  EXPECT_EQ(s.Window().StatusText(), kSuccess);

  // With the link up, the set-up dialog refuses and nothing is detected again.
  s.op.messages.clear();
  OnDetectMenu(s.Window());
  EXPECT_TRUE(s.op.Saw("ChipType had been detected earlier."));
}

TEST(KeepAlive, EchoEveryTenSecondsOrTheLinkIsDropped) {
  SimSession s(kKT420);
  ASSERT_TRUE(s.Detect());
  std::tm at{};
  at.tm_hour = 13;
  at.tm_min = 5;
  at.tm_sec = 9;
  s.target->ClearHostBytes();
  s.Window().TimerTick(at);
  EXPECT_EQ(s.Window().Snapshot().clockPane, "01:05:09PM");
  EXPECT_TRUE(s.target->HostBytes().empty());

  at.tm_sec = 10;
  s.Window().TimerTick(at);
  EXPECT_EQ(s.target->HostBytes(), std::vector<std::uint8_t>{0x63});
  EXPECT_TRUE(s.Record().Port().IsLinkUp());

  s.State().linkBusy = true;
  s.target->ClearHostBytes();
  s.Window().TimerTick(at);
  EXPECT_TRUE(s.target->HostBytes().empty());
  s.State().linkBusy = false;

  s.target->Faults().replyFaults.push_back({sim::ReplyFault::Kind::Drop, 0x63, 0, 0});
  s.State().operationFailed = true;
  s.Window().TimerTick(at);
  EXPECT_FALSE(s.Record().Port().IsLinkUp());
  EXPECT_FALSE(s.State().operationFailed);
  EXPECT_TRUE(s.op.Saw("A timeout error detected and resets the host Application.\nPlease re-detect the Chiptype."));
  EXPECT_EQ(s.Window().Snapshot().chipInfo.chipType, "");
}

TEST(ClockPane, TwelveHourFormat) {
  SimSession s(kKT420);
  std::tm at{};
  at.tm_hour = 12;
  at.tm_min = 5;
  at.tm_sec = 9;
  s.Window().UpdateClockPane(at);
  EXPECT_EQ(s.Window().Snapshot().clockPane, "12:05:09AM");
  at = std::tm{};
  s.Window().UpdateClockPane(at);
  EXPECT_EQ(s.Window().Snapshot().clockPane, "00:00:00AM");
}

TEST(ResetTarget, DropsTheLinkAndRestartsTheChip) {
  SimSession s(Config(kKT540, kExternalMemory));
  ASSERT_TRUE(s.Detect());
  s.target->ClearHostBytes();
  s.Window().ResetTarget();
  EXPECT_FALSE(s.Record().Port().IsLinkUp());
  const WindowState w = s.Window().Snapshot();
  EXPECT_EQ(w.securityText, "SECURITY : UNKNOWN");
  EXPECT_EQ(w.chipInfo.fwVersion, "");
  EXPECT_EQ(s.target->CurrentPhase(), sim::SimTarget::Phase::AwaitPattern);
  // In external memory mode the reset closes with 6Bh 6Bh.
  EXPECT_EQ(s.target->HostBytes(), (std::vector<std::uint8_t>{0x6B, 0x6B}));
  // A new detection works after the reset.
  EXPECT_TRUE(s.Detect());
}

}  // namespace
}  // namespace brisko
