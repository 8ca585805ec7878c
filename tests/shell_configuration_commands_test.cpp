#include <gtest/gtest.h>

#include "shell/configuration/configuration_menus.hpp"
#include "shell/configuration/double_clock_command.hpp"
#include "shell/configuration/lock_command.hpp"
#include "shell/configuration/remap_command.hpp"
#include "chip/chip_catalogue.hpp"
#include "support/sim_session.hpp"

namespace brisko {
namespace {

using test::Bytes;
using test::ChipConfig;
using test::SimSession;

constexpr const char* kLockDone = "Set Lock Completed!\nChip will be automatically redetected!";
constexpr const char* kRedetect = "\nChip will be automatically redetected!";
constexpr const char* kHidden = "\nChip can't be detected in internal memory mode!";
const Bytes kClose{0x6B, 0x6B};

// The command's own bytes: what went out before the reset and re-detection.
Bytes Head(const SimSession& rig, std::size_t n) {
  const Bytes& wire = rig.Wire();
  return Bytes(wire.begin(), wire.begin() + static_cast<long>(std::min(n, wire.size())));
}

struct LockCase {
  const char* what;
  int model, mode;
  std::uint8_t security;
  int option;
  Bytes bytes;           // before 6Bh 6Bh
  const char* refusal;   // level-4 text, or null
  std::uint8_t after;    // the chip's bits, as the re-detection reads them
  bool deaf = false;     // the chip stopped listening after the detection
};

// A chip that stopped listening: it hears nothing after the detection that
// made the session ready, until it is reset.
void StopsListeningNow(SimSession& rig) { rig.target->Faults().stopAfterHostBytes = rig.target->HostBytesSinceReset(); }

// Every bit's command per family and memory mode, SB1 first, the level-4
// refusals per sequence and option, and the state the chip ends in.
TEST(OnLockChip, ProgramsTheOptionsBitsThenReadsThemBack) {
  const LockCase cases[] = {
      {"KT400 SB1+SB2", kKT420, kInternalMemory, 0x00, 2, {0x04, 0x00, 0x04, 0x01}, nullptr, 0xC0},
      {"KT400 SB3", kKT410, kExternalMemory, 0x00, 5, {0x04, 0x02}, nullptr, 0x20},
      {"KT400 SB2 on SB3 is level 4", kKT410, kInternalMemory, 0x20, 4, {}, "Can not set level4 lock!", 0x20},
      {"KT400 SB3 on SB2 is level 4", kKT420, kInternalMemory, 0x40, 5, {}, "Can not set level4 lock", 0x40},
      {"KT500 ext SB1+SB2", kKT560, kExternalMemory, 0x00, 6, {0x04, 0x00, 0x04, 0x01}, nullptr, 0xC0},
      {"KT500 ext SB2+SB3 on SB1", kKT530, kExternalMemory, 0x80, 2, {}, "Can not set level4 lock!", 0x80},
      {"KT500 ext option 6 refused", kKT570, kExternalMemory, 0x20, 6, {}, "Can't set level4 lock!", 0x20},
      {"KT500 int SB2+SB3", kKT560, kInternalMemory, 0x00, 2, {0x04, 0x03, 0xFF, 0x04, 0x05, 0xFF}, nullptr, 0x60},
      {"KT500 int SB1+SB3", kKT540, kInternalMemory, 0x00, 3, {0x04, 0x0F, 0xFF, 0x04, 0x05, 0xFF}, nullptr, 0xA0},
      {"KT500 int SB2+SB3 on SB1", kKT540, kInternalMemory, 0x80, 2, {}, "Can't set level4 lock!", 0x80},
      {"KT500 int option 5 refused", kKT580, kInternalMemory, 0xC0, 5, {}, "Can't set level4 lock", 0xC0},
      {"KT500 60h is no level 4", kKT550, kInternalMemory, 0x40, 5, {0x04, 0x05, 0xFF}, nullptr, 0x60},
      {"KT500 int SB1, chip not listening", kKT540, kInternalMemory, 0x00, 1, {0x04, 0x0F, 0xFF}, nullptr, 0x00, true},
      {"KT400 SB2, chip not listening", kKT410, kExternalMemory, 0x20, 3, {0x04, 0x00, 0x04, 0x02}, nullptr, 0x20,
       true},
  };
  for (const LockCase& c : cases) {
    SCOPED_TRACE(c.what);
    auto config = ChipConfig(c.model, c.mode);
    config.securityBits = c.security;
    SimSession rig(config);
    ASSERT_TRUE(rig.Ready());
    if (c.deaf) StopsListeningNow(rig);
    rig.op.onLockMenu = [&](LockMenu& menu) {
      EXPECT_EQ(menu.options.size(), IsKT400(c.model) ? 5u : 6u);
      menu.lockOption = c.option;
      return true;
    };
    rig.op.answers = {true};
    const CommandOutcome outcome = OnLockChip(rig.Shell());
    EXPECT_EQ(Head(rig, c.bytes.size() + 2), test::Concat(c.bytes, kClose));
    EXPECT_EQ(rig.op.questions.front(), "Do you really want to proceed?");
    std::vector<std::string> expected;
    if (c.refusal) expected.push_back(c.refusal);
    expected.push_back(kLockDone);
    EXPECT_EQ(std::vector<std::string>(rig.op.messages.begin(), rig.op.messages.begin() + expected.size()), expected);
    const OutcomeKind kind = c.refusal ? OutcomeKind::Refused : c.deaf ? OutcomeKind::Failed : OutcomeKind::Succeeded;
    EXPECT_EQ(OutcomeKindName(outcome.kind), std::string(OutcomeKindName(kind)));
    if (c.deaf) {
      EXPECT_EQ(rig.op.messages.back(), "Set Lock Failed!\nAfter the re-detection the chip shows " +
                                            SecurityStatusText(c.after, c.model)->text + ".");
      EXPECT_EQ(outcome.step, "confirm the lock");
    }
    EXPECT_EQ(rig.target->SecurityBits(), c.after);
    EXPECT_TRUE(rig.Record().Port().IsLinkUp()) << "re-detected";
    EXPECT_EQ(rig.State().securityBits, c.after);
    EXPECT_FALSE(rig.State().linkBusy);
  }
}

struct RemapCase {
  const char* what;
  int model, mode, option;
  Bytes bytes;
  std::string message;  // "" for none
  bool redetected;      // the chip was reset and a new detection ran
  bool linkUp;          // found again, or never reset
  std::uint8_t remapAfter;
  const char* unconfirmed = nullptr;  // the chip did not listen: what it then shows
  bool deaf = false;                  // the chip stopped listening after the detection
};

TEST(OnMemoryRemap, SendsTheFamilysBytesAndRedetectsWhereTheChipStillAnswers) {
  const RemapCase cases[] = {
      {"KT400 4 KB", kKT410, kExternalMemory, 3, {0x02, 0x00, 0x02, 0x01, 0x6B, 0x6B},
       std::string("Memory Remap Completed!") + kRedetect, true, true, 3},
      {"KT400 no choice", kKT420, kExternalMemory, 0, {0x6B, 0x6B}, "Memory Remap Failed!", false, true, 0},
      {"KT400 internal sends nothing", kKT420, kInternalMemory, 1, {}, "", false, true, 0},
      {"SC0 external", kKT540, kExternalMemory, 0, {0x67, 0x67}, std::string("Program SC0 Completed!") + kRedetect,
       true, true, 1},
      {"SC0 hides KT550", kKT550, kInternalMemory, 0, {0x04, 0x09, 0x5A},
       std::string("Program SC0 Completed!") + kHidden, false, false, 1},
      {"SC0 keeps KT560", kKT560, kInternalMemory, 0, {0x04, 0x09, 0x5A},
       std::string("Program SC0 Completed!") + kRedetect, true, true, 1},
      {"SC1 external", kKT570, kExternalMemory, 4, {0x6C, 0x6C}, std::string("Program SC1 Completed!") + kRedetect,
       true, true, 2},
      {"SC1 hides KT530", kKT530, kInternalMemory, 4, {0x04, 0x09, 0xAA},
       std::string("Program SC1 Completed!") + kHidden, false, false, 2},
      {"KT400 1 KB, chip not listening", kKT420, kExternalMemory, 1, {0x02, 0x00, 0x6B, 0x6B},
       std::string("Memory Remap Completed!") + kRedetect, true, true, 0,
       "Memory Remap Failed!\nAfter the re-detection the chip shows ReMap: 0 KByte."},
      {"SC0 external, chip not listening", kKT540, kExternalMemory, 0, {0x67, 0x67},
       std::string("Program SC0 Completed!") + kRedetect, true, true, 0,
       "Program SC0 Failed!\nAfter the re-detection the chip shows ReMap: 8 KByte."},
      {"SC1 hides KT530, chip not listening: nothing can tell", kKT530, kInternalMemory, 4, {0x04, 0x09, 0xAA},
       std::string("Program SC1 Completed!") + kHidden, false, false, 0, nullptr, true},
  };
  for (const RemapCase& c : cases) {
    SCOPED_TRACE(c.what);
    SimSession rig(c.model, c.mode);
    ASSERT_TRUE(rig.Ready());
    if (c.deaf || c.unconfirmed) StopsListeningNow(rig);
    rig.op.onRemapMenu = [&](RemapMenu& menu) {
      menu.remapOption = c.option;
      return true;
    };
    rig.op.answers = {true};
    const CommandOutcome outcome = OnMemoryRemap(rig.Shell());
    if (c.unconfirmed) {
      EXPECT_EQ(outcome.kind, OutcomeKind::Failed);
      EXPECT_EQ(rig.op.messages.back(), c.unconfirmed);
    } else if (c.message.find("Completed") != std::string::npos) {
      EXPECT_TRUE(outcome.Ok()) << "where the chip cannot be detected the rule stays: nothing to compare with";
    }
    EXPECT_EQ(Head(rig, c.bytes.size()), c.bytes);
    const std::string first = rig.op.messages.empty() ? "" : rig.op.messages.front();
    EXPECT_EQ(first, c.message);
    EXPECT_EQ(rig.Record().Port().IsLinkUp(), c.linkUp);
    EXPECT_EQ(rig.target->RemapBits(), c.remapAfter);
    EXPECT_EQ(rig.WireHas({'B', 'S', 'L'}), c.redetected) << "no detection is tried where it cannot succeed";
  }
}

TEST(RemapMenuFor, EnablesTheModelsRadiosOnly) {
  struct Case {
    int model;
    std::vector<bool> enabled;  // RB0, RB1, RB0+RB1, SC0, SC1
  };
  const Case cases[] = {
      {kKT420, {true, true, true, false, false}}, {kKT550, {false, false, false, true, false}},
      {kKT580, {false, false, false, true, true}}, {kNoModel, {true, true, true, true, true}},
  };
  for (const Case& c : cases) {
    const RemapMenu menu = RemapMenuFor(c.model);
    std::vector<bool> enabled;
    for (const auto& radio : menu.radios) enabled.push_back(radio.enabled);
    EXPECT_EQ(enabled, c.enabled) << c.model;
  }
  EXPECT_EQ(RemapMenuFor(kKT550).radios[4].label, "PROG-SC1 (KT530, KT560/570/580, KT550)");
}

TEST(OnDoubleClock, SetsTheBitByMemoryModeAndReadsItBack) {
  struct Case {
    int model, mode;
    Bytes bytes;
    bool deaf = false;  // the chip stopped listening after the detection
  };
  for (const Case& c : {Case{kKT560, kInternalMemory, {0x04, 0x08, 0x55}}, Case{kKT550, kExternalMemory, {0x6A, 0x6A}},
                        Case{kKT570, kInternalMemory, {0x04, 0x08, 0x55}, true}}) {
    SimSession rig(c.model, c.mode);
    ASSERT_TRUE(rig.Ready());
    if (c.deaf) StopsListeningNow(rig);
    rig.op.answers = {true};
    const CommandOutcome outcome = OnDoubleClock(rig.Shell());
    EXPECT_EQ(outcome.Ok(), !c.deaf);
    EXPECT_EQ(Head(rig, c.bytes.size()), c.bytes);
    EXPECT_EQ(rig.op.messages.front(), "Double clock Completed!\nChip will be automatically redetected!");
    EXPECT_EQ(rig.target->DoubleClock(), !c.deaf);
    EXPECT_EQ(rig.State().doubleClockOn, !c.deaf);
    EXPECT_EQ(rig.Window().Snapshot().doubleClockPane, c.deaf ? "Double Clock OFF" : "Double Clock  ON");
    EXPECT_TRUE(rig.Record().Port().IsLinkUp());
    if (c.deaf) {
      EXPECT_EQ(rig.op.messages.back(), "Double clock Failed!\nAfter the re-detection the chip shows Double Clock OFF.");
    }
  }
}

}  // namespace
}  // namespace brisko
