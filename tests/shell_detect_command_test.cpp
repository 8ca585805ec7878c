#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>
#include <tuple>

#include "shell/session/command_runner.hpp"
#include "shell/detection/detect_command.hpp"
#include "shell/loader/legacy_detection.hpp"
#include "shell/loader/unknown_version_detect.hpp"
#include "support/sim_session.hpp"
#include "chip/handshake.hpp"

namespace brisko {
namespace {

using test::ChipConfig;
using test::SimSession;
using Bytes = std::vector<std::uint8_t>;
using Kind = sim::ReplyFault::Kind;
using Texts = std::vector<std::string>;


TEST(DetectTarget, FillsThePanelAndSetsTheLinkUp) {
  SimSession s(kKT540);
  ASSERT_TRUE(s.Detect()) << s.Window().StatusText();
  const WindowState w = s.Window().Snapshot();
  EXPECT_EQ((Texts{w.chipInfo.chipType, w.chipInfo.flashSize, w.chipInfo.remap, w.chipInfo.fwVersion,
                   w.chipInfo.memMode, w.securityText, w.doubleClockPane}),
            (Texts{"KT540", "64+8 KB", "8 KByte", "v1.1F", "Internal", "SECURITY : CHIP IS UNLOCKED (FSTAT[7:5]:000)",
                   "Double Clock OFF"}));
  EXPECT_EQ(s.op.messages, Texts{"Click on OK then Reset MCU\nto Detect Baud & Chip\n(MCU:Fw v1.1F)"});
  EXPECT_EQ(s.State().savedRemapText, "8 KByte");

  // With the link up, a second detection sends and tells nothing.
  s.ClearWire();
  s.op.messages.clear();
  s.Run(DetectTarget);
  EXPECT_TRUE(s.Wire().empty());
  EXPECT_TRUE(s.op.messages.empty());
}

TEST(DetectTarget, PatternRoundsThenReadyModeSelectPairAndVersionQuestionAndReset) {
  struct Case {
    int model;
    int mode;
    std::uint8_t second;
  } cases[] = {{kKT410, kExternalMemory, 0x01}, {kKT530, kExternalMemory, 0x03}, {kKT550, kExternalMemory, 0x02},
               {kKT580, kExternalMemory, 0x03}, {kKT420, kInternalMemory, 0x55}};
  for (const Case c : cases) {
    SimSession s(ChipConfig(c.model, c.mode));
    ASSERT_TRUE(s.Detect()) << c.model;
    const Bytes& wire = s.Wire();
    EXPECT_TRUE(std::equal(kBaudDetectPattern.begin(), kBaudDetectPattern.end(), wire.begin()));
    const auto bsl = std::search(wire.begin(), wire.end(), std::begin("BSL"), std::begin("BSL") + 3);
    EXPECT_EQ(Bytes(bsl, wire.end()), (Bytes{'B', 'S', 'L', 0x05, c.second, 0x60})) << c.model;
    EXPECT_EQ(s.Window().Snapshot().chipInfo.memMode, c.mode == kInternalMemory ? "Internal" : "External");

    // RESET drops the link and restarts the chip; external memory mode closes with 6Bh 6Bh.
    s.ClearWire();
    s.Shell().ResetTarget();
    EXPECT_EQ(s.Wire(), c.mode == kExternalMemory ? (Bytes{0x6B, 0x6B}) : Bytes{});
    EXPECT_FALSE(s.Record().Port().IsLinkUp());
    const WindowState w = s.Window().Snapshot();
    EXPECT_EQ(w.securityText + "|" + w.chipInfo.fwVersion, "SECURITY : UNKNOWN|");
    EXPECT_EQ(s.target->CurrentPhase(), sim::SimTarget::Phase::AwaitPattern);
    EXPECT_TRUE(s.Detect());
  }
}

TEST(DetectTarget, LateOkStillSynchronisesAndNoAnswerFailsAfterTheLimit) {
  sim::SimConfig late = ChipConfig(kKT420);
  late.faults.okDelay = Millis(60);  // a quarter of the scaled 240 ms limit
  SimSession lateSession(late);
  EXPECT_TRUE(lateSession.Detect());

  sim::SimConfig silent = ChipConfig(kKT420);
  silent.faults.noOk = true;
  SimSession s(silent);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(s.Detect());
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(s.op.Saw("Failed to setup RS232 connection with Target MCU!!!"));
  EXPECT_FALSE(s.Record().Port().IsLinkUp());
  EXPECT_GE(elapsed, s.Record().Port().Timing().syncLimit);
  EXPECT_LT(elapsed, s.Record().Port().Timing().syncLimit * 4);
}

// Waits that displace nothing end at once when the operator stops them: the
// search for a 1.1F loader (which then does not go on to look for 1.1E), and
// the wait for a 1.1E loader's prompt.
TEST(DetectTarget, ACancelEndsTheSearchesAtOnce) {
  const struct {
    const char* what;
    CommandOutcome (*command)(Session&);
    const char* neverTold;
  } rows[] = {
      {"1.1F detection", DetectTarget, "Failed to setup RS232 connection with Target MCU!!!"},
      {"unknown version", OnDetectUnknownVersion, "Failed to detect Firmware 1.1F,\nnow we will try to detect 1.1E."},
      {"1.1E detection", OnDetectLegacyAndUpgrade, "No Response from Target Board!!!"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    LinkTiming timing = test::FastTiming();
    timing.syncLimit = timing.unknownVersionSync = timing.legacyWait = std::chrono::seconds(10);
    sim::SimConfig silent = ChipConfig(kKT420);
    silent.faults.noOk = true;
    SimSession s(silent, timing);
    s.op.onSelectChip = [](ChipSelection& c) {
      c.model = kKT420;
      c.memoryMode = kInternalMemory;
      return true;
    };
    std::promise<CommandOutcome> ended;
    ASSERT_TRUE(s.runner->Start(row.command, [&ended](const CommandOutcome& o) { ended.set_value(o); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    s.runner->Cancel();
    auto outcome = ended.get_future();
    ASSERT_EQ(outcome.wait_for(std::chrono::seconds(2)), std::future_status::ready) << "still waiting";
    EXPECT_EQ(outcome.get().kind, OutcomeKind::Cancelled);
    EXPECT_FALSE(s.op.Saw(row.neverTold));
    s.runner->WaitIdle();
  }
}

TEST(DetectTarget, MissingAnswersOrAWrongVersionNameTheStepThatFailed) {
  struct Case {
    sim::ReplyFault fault;
    char letter;
    const char* message;
    bool linkUp;
  } cases[] = {
      {{Kind::Drop, 'B', 1, 2}, 'F', "Failed on receiving string RDY(2).", false},  // "RD" only
      {{Kind::Drop, 0x05, 1, 0}, 'F', "No Response from Target Board after sending 05h,55h!!!", false},
      {{Kind::Drop, 0x60, 1, 1}, 'F', "No Response from Target Board after sending 60h!!!", false},
      {{}, 'E', "Wrong Firmware Version Detected in MCU chip!!!", true},
  };
  for (const auto& c : cases) {
    sim::SimConfig config = ChipConfig(kKT540);
    if (c.fault.command != 0) config.faults.replyFaults.push_back(c.fault);
    config.versionLetter = c.letter;
    SimSession s(config);
    EXPECT_FALSE(s.Detect()) << c.message;
    EXPECT_TRUE(s.op.Saw(c.message)) << c.message;
    EXPECT_EQ(s.Record().Port().IsLinkUp(), c.linkUp) << c.message;
    EXPECT_EQ(s.Window().Snapshot().chipInfo.fwVersion, c.linkUp ? "v1.1?" : "") << c.message;
  }
}

// The status byte: security in bits 7..5, double clock in bit 3, remap in
// bits 1..0. A bit outside them changes nothing.
TEST(DetectTarget, StatusByteDecoding) {
  struct Row {
    const char* what;
    int model;
    std::uint8_t security, remap, flip;  // flip: XORed into the status reply
    bool doubleClock, clockBefore;
    std::uint8_t securityBits;
    const char* securityText;
    const char* remapText;
    bool writable, level4, clockAfter;
  } rows[] = {
      {"KT560 at 6Bh", kKT560, 0x60, 3, 0, true, false, 0x60,
       "SECURITY : CHIP IS LEVEL3 HARDLOCKED (FSTAT[7:5]: 011)", "Block1 Invisible", false, false, true},
      {"KT420 at 60h is level 4", kKT420, 0x60, 0, 0, false, false, 0x60,
       "SECURITY : CHIP IS LEVEL4 HARDLOCKED (FSTAT[7:5]:011)", nullptr, false, true, false},
      {"a KT400 remap leaves the double clock alone", kKT410, 0, 1, 0, false, true, 0x00,
       "SECURITY : CHIP IS UNLOCKED (FSTAT[7:5]:000)", "1 KByte", true, false, true},
      {"KT540 at 40h is level 3, not level 4", kKT540, 0x40, 0, 0, false, false, 0x40,
       "SECURITY : CHIP IS LEVEL3 SOFTLOCKED (FSTAT[7:5]:010)", nullptr, true, false, false},
      {"bit 4 is no security bit", kKT540, 0, 0, 0x10, false, false, 0x00,
       "SECURITY : CHIP IS UNLOCKED (FSTAT[7:5]:000)", "8 KByte", true, false, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    sim::SimConfig config = ChipConfig(r.model);
    config.securityBits = r.security;
    config.remapBits = r.remap;
    config.doubleClock = r.doubleClock;
    if (r.flip != 0) config.faults.replyFaults.push_back({Kind::Corrupt, 0x05, 1, 0, r.flip});
    SimSession s(config);
    s.State().doubleClockOn = r.clockBefore;
    ASSERT_TRUE(s.Detect());
    EXPECT_EQ(s.State().securityBits, r.securityBits);
    EXPECT_EQ(s.Record().securityCopy, r.securityBits);
    EXPECT_EQ(s.State().doubleClockOn, r.clockAfter);
    const WindowState w = s.Window().Snapshot();
    EXPECT_EQ(w.securityText, r.securityText);
    if (r.remapText) {
      EXPECT_EQ(w.chipInfo.remap, r.remapText);
    }
    EXPECT_EQ(s.op.Saw("PLEASE STOP AND EXIT THE WINDOW!!!"), r.level4);
    for (IapButton b : {IapButton::Download, IapButton::SectorErase, IapButton::DownloadRun})
      EXPECT_EQ(s.Window().ButtonEnabled(b), r.writable);
    // At 38400 bit/s there is nothing to gain from a doubled crystal: no question.
    EXPECT_TRUE(s.op.questions.empty());
  }
}

TEST(DetectTarget, DoubleClockBelow38400OffersTheCrystalOnce) {
  sim::SimConfig config = ChipConfig(kKT570);
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
  ASSERT_TRUE(s.Detect());  // the second detection, after the dialog, does not ask again
  EXPECT_EQ(s.op.questions.size(), 1u);
  EXPECT_EQ(dialogs, 1);
  EXPECT_TRUE(s.State().doubleClockAsked);
}

TEST(KeepAlive, EchoEveryTenSecondsOrTheLinkIsDropped) {
  SimSession s(kKT420);
  ASSERT_TRUE(s.Ready());
  CommandRunner runner(s.Shell());
  const auto tick = [&](const std::tm& at) {
    runner.Tick(at);
    runner.WaitIdle();
  };
  std::tm at{};
  std::tie(at.tm_hour, at.tm_min, at.tm_sec) = std::tuple{13, 5, 9};
  tick(at);
  EXPECT_EQ(s.Window().Snapshot().clockPane, "01:05:09PM");
  EXPECT_TRUE(s.Wire().empty());

  at.tm_sec = 10;
  tick(at);
  EXPECT_EQ(s.Wire(), Bytes{0x63});
  EXPECT_TRUE(s.Record().Port().IsLinkUp());

  s.State().linkBusy = true;
  s.ClearWire();
  tick(at);
  EXPECT_TRUE(s.Wire().empty());
  s.State().linkBusy = false;

  s.target->Faults().replyFaults.push_back({Kind::Drop, 0x63, 0, 0});
  s.State().operationFailed = true;
  tick(at);
  EXPECT_FALSE(s.Record().Port().IsLinkUp());
  EXPECT_FALSE(s.State().operationFailed);
  EXPECT_TRUE(s.op.Saw("A timeout error detected and resets the host Application.\nPlease re-detect the Chiptype."));
  EXPECT_EQ(s.Window().Snapshot().chipInfo.chipType, "");
}

}  // namespace
}  // namespace brisko
