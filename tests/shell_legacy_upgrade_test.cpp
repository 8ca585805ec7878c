#include <gtest/gtest.h>

#include <deque>
#include <optional>

#include "chip/legacy_link_worker.hpp"
#include "firmware/firmware.hpp"
#include "link/result_codes.hpp"
#include "support/result_print.hpp"
#include "shell/loader/legacy_detection.hpp"
#include "shell/loader/legacy_upgrade.hpp"
#include "shell/loader/unknown_version_detect.hpp"
#include "support/legacy_timing.hpp"
#include "support/sim_session.hpp"

namespace brisko {
namespace {

using test::Bytes;
using test::Concat;
using test::LegacyChipConfig;
using test::Pattern;
using test::SimSession;
using Messages = std::vector<std::string>;
using Phase = sim::SimTarget::Phase;

constexpr const char* kResetPrompt = "Click on OK then Reset MCU\nto Auto Detect Chip Type\n(MCU:Fw v1.1E-Int. Mode)";
constexpr const char* kQuestion =
    "Do you really want to upgrade BSL from 1.1E to 1.1F?\nBSL1.1F will use 3 more sectors than BSL1.1E,\n"
    "it will use address 0xF000 to 0xF3FF.\n";
constexpr const char* kCompleted = "Upgrade Bootstrap Loader from 1.1E to 1.1F Completed!";

// A KT400 chip with loader 1.1E, the user's program in its first ten sectors
// and more of it beyond.
struct LegacyRig : SimSession {
  explicit LegacyRig(sim::SimConfig config = LegacyChipConfig(kKT420, 1), LinkTiming timing = test::LegacyTiming())
      : SimSession(config, timing) {
    SetFlash(0, 0x0000, user);
    SetFlash(0, 0x0500, beyond);
  }
  bool UserCodeIntact() const { return Flash(0, 0x0000, 1280) == user && Flash(0, 0x0500, 256) == beyond; }

  Bytes user = Pattern(1280, 11);
  Bytes beyond = Pattern(256, 12);
};

// The upgrade on a clean line, and with the faults it must ride out: the
// user's sectors are read until two reads agree (a byte corrupted on the line,
// or one dropped so that the loader's prompt comes as the last byte, is never
// what goes back), and a command the loader loses and prompts again for, late,
// costs one attempt, not the upgrade.
TEST(LegacyUpgrade, Upgrades11ETo11FAndKeepsTheUsersSectors) {
  const struct {
    const char* what;
    std::optional<sim::ReplyFault::Kind> fault;  // on byte 5 of the first read
    std::uint8_t lostCommand;
  } rows[] = {{"a clean line", std::nullopt, 0},
              {"a corrupted byte", sim::ReplyFault::Kind::Corrupt, 0},
              {"a dropped byte", sim::ReplyFault::Kind::Drop, 0},
              {"the installer's first erase lost", std::nullopt, 0x0B}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    sim::SimConfig config = LegacyChipConfig(kKT420, 1);
    if (row.fault) config.faults.replyFaults.push_back({*row.fault, 0x0C, 1, 5, 0xFF, Millis{0}});
    config.legacyLoseCommand = row.lostCommand;
    LegacyRig rig(config);
    rig.op.answers = {true};
    const CommandOutcome outcome = OnDetectLegacyAndUpgrade(rig.Shell());

    EXPECT_TRUE(outcome.Ok()) << outcome.step;
    EXPECT_EQ(rig.op.messages, (Messages{kResetPrompt, kCompleted, "Please continue to use IAP function."}));
    EXPECT_EQ(rig.op.questions, Messages{kQuestion});
    const ChipInfoTexts info = rig.Window().ChipInfo();
    EXPECT_EQ((Messages{info.chipType, info.flashSize, info.fwVersion, info.remap, info.memMode}),
              (Messages{"KT420", "32+4 KB", "v1.1F", "1 KByte", "Internal"}));
    EXPECT_EQ(rig.Window().Caption(), "Orvex Brisko11F Boot-Strap Loader(Fw:v1.1F)");
    EXPECT_EQ(rig.Window().StatusText(), "Re-detect chip from target MCU for BSL1.1F is done.");
    EXPECT_FALSE(rig.Window().ButtonEnabled(IapButton::LockChip));
    EXPECT_TRUE(rig.Window().ButtonEnabled(IapButton::Download));

    // The chip: a 1.1F loader in F000h-F3FFh answering, the user's code back.
    EXPECT_EQ(rig.target->CurrentPhase(), Phase::Loader);
    EXPECT_TRUE(rig.target->LoaderIntact());
    EXPECT_TRUE(rig.UserCodeIntact());
    EXPECT_TRUE(rig.RecoveryFiles().empty());
    EXPECT_EQ(rig.Shell().LegacyWorker(), nullptr);
    EXPECT_TRUE(rig.Record().Port().IsLinkUp());
    EXPECT_FALSE(rig.State().linkBusy.load());

    // The wire, as the 1.1E loader's command table reads.
    const Bytes installer(firmware::LegacyInstallerImage.begin(), firmware::LegacyInstallerImage.begin() + 128);
    for (const Bytes& frame : {Bytes{0x05, 0x55}, Bytes{0x60}, Bytes{0x0C, 0x04, 0x80, 0x80},
                               Bytes{0x0B, 0x04, 0x80, 0x01}, Concat({0x0E, 0x00, 0x00, 0x80}, installer),
                               Bytes{0x62, 0x62}, Bytes{'B', 'S', 'L'},
                               Concat({0x0E, 0x04, 0x80, 0x80}, Bytes(rig.user.begin() + 0x480, rig.user.end()))})
      EXPECT_TRUE(rig.WireHas(frame)) << ::testing::PrintToString(Bytes(frame.begin(), frame.begin() + 4));
  }
}

// Ways the upgrade ends before anything is erased: the user's code stays.
// While the offer is open the panel shows the chip and version from 60h, and
// the buttons its security bits allow.
TEST(LegacyUpgrade, EndsWithTheChipUntouched) {
  const std::string exitText =
      "Please exit the current application\nand use the older version of software\nto run IAP funtions. This "
      "version of\nsoftware only supports BSL1.1F or greater.";
  const struct {
    const char* what;
    ChipModel model;
    std::uint8_t security;
    std::vector<sim::ReplyFault> faults;
    bool silent;  // the chip never prompts
    std::deque<bool> answers;
    OutcomeKind kind;
    std::string lastTold;
    bool writable;  // as the offer shows it
  } rows[] = {
      {"No to the offer on KT410", kKT410, 0x00, {}, false, {}, OutcomeKind::Declined, exitText, true},
      {"No to the offer on a soft-locked KT420", kKT420, 0x40, {}, false, {}, OutcomeKind::Declined, exitText, true},
      {"No to the offer on a hard-locked KT420", kKT420, 0x80, {}, false, {}, OutcomeKind::Declined, exitText, false},
      {"a chip that never prompts is not found", kKT420, 0x00, {}, true, {true}, OutcomeKind::Failed,
       "No Response from Target Board!!!", true},
      // Every read of block 0 answers too late for the host.
      {"user sectors that cannot be read", kKT420, 0x00, {{sim::ReplyFault::Kind::Delay, 0x0C, 0, 0, 0x01, Millis{60}}},
       false, {true}, OutcomeKind::Failed, UserCodeNotSavedText(), true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    sim::SimConfig config = LegacyChipConfig(row.model, 1);
    config.securityBits = row.security;
    config.faults.replyFaults = row.faults;
    if (row.silent) config.faults.stopAfterHostBytes = 0;
    LinkTiming timing = test::LegacyTiming();
    timing.queueReplyWait = Millis{30};
    LegacyRig rig(config, timing);
    rig.op.answers = row.answers;
    int offers = 0;
    rig.op.onAsk = [&] {
      ++offers;
      const ChipInfoTexts info = rig.Window().ChipInfo();
      EXPECT_EQ(info.chipType + " " + info.fwVersion, (row.model == kKT410 ? "KT410" : "KT420") + std::string(" v1.1E"));
      EXPECT_EQ(rig.Window().ButtonEnabled(IapButton::Download), row.writable);
      EXPECT_EQ(rig.State().securityBits, row.security);
    };
    const CommandOutcome outcome = OnDetectLegacyAndUpgrade(rig.Shell());
    EXPECT_EQ(OutcomeKindName(outcome.kind), std::string(OutcomeKindName(row.kind)));
    EXPECT_EQ(offers, row.silent ? 0 : 1);
    ASSERT_FALSE(rig.op.messages.empty());
    EXPECT_EQ(rig.op.messages.front(), kResetPrompt);
    EXPECT_EQ(rig.op.messages.back(), row.lastTold);
    const bool closes = row.kind == OutcomeKind::Declined;
    EXPECT_EQ(rig.Window().CloseRequested(), closes);
    EXPECT_EQ(rig.State().linkBusy.load(), closes);
    EXPECT_FALSE(rig.WireHas({0x0B, 0x00, 0x00, 0x01}));
    EXPECT_FALSE(rig.WireHas({0x62, 0x62}));
    EXPECT_TRUE(rig.UserCodeIntact());
    EXPECT_TRUE(rig.RecoveryFiles().empty());
  }
}

// A chip whose loader is 1.1F already is told so at once, not after the
// 1.1E loader's wait, and nothing is sent to it as to a 1.1E loader.
TEST(LegacyUpgrade, AChipOn11FAlreadyIsToldSoAtOnce) {
  LinkTiming timing = test::LegacyTiming();
  timing.legacyWait = std::chrono::seconds(20);
  SimSession rig(test::ChipConfig(kKT420), timing);
  const auto start = std::chrono::steady_clock::now();
  const CommandOutcome outcome = OnDetectLegacyAndUpgrade(rig.Shell());
  EXPECT_LT(std::chrono::steady_clock::now() - start, timing.legacyWait / 2);
  EXPECT_EQ(outcome.kind, OutcomeKind::Refused);
  EXPECT_EQ(outcome.refusal, Refusal::AlreadyDone);
  ASSERT_FALSE(rig.op.messages.empty());
  EXPECT_EQ(rig.op.messages.back().rfind("This chip's loader is 1.1F already", 0), 0u) << rig.op.messages.back();
  EXPECT_FALSE(rig.WireHas({0x05, 0x55}));
  EXPECT_EQ(rig.Shell().LegacyWorker(), nullptr);
}

class SilenceAtRestore : public WindowObserver {
 public:
  explicit SilenceAtRestore(sim::SimTarget& target) : target_(target) {}
  void WindowChanged(WindowAspect aspect, const WindowState&) override {
    if (aspect == WindowAspect::Tab) target_.Faults().stopAfterHostBytes = 0;
  }

 private:
  sim::SimTarget& target_;
};

TEST(LegacyUpgrade, AFailedRestoreNamesTheRecoveryFileThatHoldsTheUsersSectors) {
  LinkTiming timing = test::LegacyTiming();
  timing.inputWait = Millis{60};
  LegacyRig rig(LegacyChipConfig(kKT420), timing);
  SilenceAtRestore silence(*rig.target);
  rig.Window().SetObserver(&silence);
  rig.op.answers = {true};
  const CommandOutcome outcome = OnDetectLegacyAndUpgrade(rig.Shell());
  rig.Window().SetObserver(&rig);

  EXPECT_EQ(outcome.kind, OutcomeKind::Failed);
  EXPECT_EQ(outcome.step, "restore block 0");
  const auto files = rig.RecoveryFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(test::ReadFile(files[0]), std::string(rig.user.begin(), rig.user.end()));
  ASSERT_GE(rig.op.messages.size(), 2u);
  EXPECT_EQ(rig.op.messages[rig.op.messages.size() - 2],
            std::string(kCompleted) + "\nBut user's code on Block0 was destroyed.");
  EXPECT_EQ(rig.op.messages.back(), UserCodeNotRestoredText(files[0]));
}

TEST(UnknownVersion, A11EChipIsOfferedTheUpgrade) {
  LegacyRig rig(LegacyChipConfig(kKT410));
  rig.op.onSelectChip = [](ChipSelection& s) {
    s.model = kKT410;
    s.memoryMode = kInternalMemory;
    return true;
  };
  rig.op.answers = {true};
  const std::string caption = rig.Window().Caption();
  EXPECT_TRUE(OnDetectUnknownVersion(rig.Shell()).Ok());
  EXPECT_TRUE(rig.op.Saw("Failed to detect Firmware 1.1F,\nnow we will try to detect 1.1E."));
  EXPECT_EQ(rig.op.questions, Messages{"Do you really want to upgrade BSL from 1.1E to 1.1F?\nBSL1.1F will use 3 "
                                       "more sectors than BSL1.1E,\nit will use from address 0xF000 to 0xF3FF.\n"});
  EXPECT_EQ(rig.op.messages.back(), "Please continue to use IAP function.");
  EXPECT_TRUE(rig.op.Saw("Upgrade Bootstrap Loader from 1.1E to 1.1F Succeed!"));
  EXPECT_EQ(rig.Window().Caption(), caption);
  EXPECT_TRUE(rig.UserCodeIntact());
  EXPECT_TRUE(rig.target->LoaderIntact());
}

// The RESET button and the window's end stop a running worker and wait for
// it, so it never touches a port or latch that is gone.
TEST(LegacyWorkerOwnership, ResetAndShutdownStopTheWorker) {
  for (const bool reset : {true, false}) {
    test::SimChip chip(LegacyChipConfig(kKT420));
    test::ScriptedOperator op;
    auto w = std::make_unique<Session>(op, sim::SimOpener(chip.target), test::LegacyTiming(), chip.dirs.Places());
    SerialPort& port = w->Record()->Port();
    LegacyLinkWorker& worker = w->StartLegacyWorker();
    ASSERT_EQ(port.Open(), Result::Ok);
    std::uint8_t status = 0;
    ASSERT_TRUE(WaitForLegacyLoader(port, w->State().operationFailed, status));
    worker.Release();
    EXPECT_TRUE(w->State().legacyWorkerRunning);
    if (reset) {
      w->ResetTarget();
      EXPECT_EQ(w->LegacyWorker(), nullptr);
      EXPECT_FALSE(w->State().legacyWorkerRunning);
      EXPECT_EQ(&port.Owner(), &op);
    }
    // The window ends (with the worker still serving the port when not reset).
    w.reset();
  }
}

}  // namespace
}  // namespace brisko
