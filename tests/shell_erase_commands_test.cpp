#include <gtest/gtest.h>

#include "shell/flash/erase_commands.hpp"
#include "support/sim_session.hpp"

namespace brisko {
namespace {

using test::Bytes;
using test::ChipConfig;
using test::Pattern;
using test::SimSession;
using Messages = std::vector<std::string>;
using Phase = sim::SimTarget::Phase;

constexpr const char* kCompleted = "Sectors erase completed!!!";

TEST(OnSectorErase, KT410Block1GoesThroughTheParkedProgrammerButNeverIntoTheLoader) {
  SimSession rig(kKT410);
  ASSERT_TRUE(rig.Ready());
  rig.PickRange(rig.Block1Entry(0x3C0 / 64), 2);  // F3C0h
  rig.Run(OnSectorErase);
  EXPECT_EQ(rig.op.messages,
            Messages{"You can not erase the first 16 block1\nsectors which are used to store BSL!"});
  EXPECT_TRUE(rig.Wire().empty());
  EXPECT_FALSE(rig.State().rangeIncludesBlock1);

  rig.op.messages.clear();
  const test::DisplacedAreas areas(rig);
  const Bytes block1 = Pattern(3 * 64, 23);
  rig.SetFlash(1, 0x400, block1);
  rig.PickRange(rig.Block1Entry(16), 2);  // F400h, two sectors
  rig.Run(OnSectorErase);
  EXPECT_EQ(rig.op.messages, Messages{kCompleted});
  EXPECT_EQ(rig.Flash(1, 0x400, 128), Bytes(128, 0xFF));
  EXPECT_EQ(rig.Flash(1, 0x480, 64), Bytes(block1.begin() + 128, block1.end()));
  EXPECT_TRUE(areas.PutBack(rig));
  EXPECT_TRUE(rig.target->LoaderIntact());
  EXPECT_EQ(rig.target->CurrentPhase(), Phase::Loader);
  EXPECT_TRUE(rig.WireHas({0x03, 0x20, 0x27, 0x10, 0x0B, 0xF4, 0x00, 0x01, 0x0B, 0xF4, 0x40, 0x01}));
  EXPECT_TRUE(rig.WireHas({0x03, 0xF0, 0x80, 0x01}));
  EXPECT_TRUE(rig.RecoveryFiles().empty());
  EXPECT_FALSE(rig.State().linkBusy);
}

// The loader lists give KT570 a block-1 selection before the erase; the
// parking then selects block 0 again, or it would land in block 1.
TEST(OnSectorErase, KT570ParksInBlock0AfterSelectingBlock1) {
  SimSession rig(kKT570);
  ASSERT_TRUE(rig.Ready());
  const test::DisplacedAreas areas(rig);
  rig.SetFlash(1, 0x1000, Pattern(128, 24));
  rig.PickRange(rig.Block1Entry(32), 1);  // F000h
  rig.Run(OnSectorErase);
  EXPECT_EQ(rig.op.messages, Messages{kCompleted});
  EXPECT_EQ(rig.Flash(1, 0x1000, 128), Bytes(128, 0xFF));
  EXPECT_TRUE(areas.PutBack(rig));
  EXPECT_EQ(Bytes(rig.Wire().begin(), rig.Wire().begin() + 4), (Bytes{0x69, 0x69, 0x68, 0x68}));
  EXPECT_TRUE(rig.WireHas({0x03, 0xE2, 0xCA, 0x01, 0x68, 0x68}));
}

// Erase frames: 1 at 0000h, 2-4 at 2000h for the parking, 5 the first sector
// asked for.
TEST(OnSectorErase, AFailedBlock1EraseStillPutsBlock0Back) {
  sim::SimConfig config = ChipConfig(kKT420);
  config.faults.refuseEraseOccurrence = 5;
  SimSession rig(config);
  ASSERT_TRUE(rig.Ready());
  const test::DisplacedAreas areas(rig);
  rig.PickRange(rig.Block1Entry(20), 1);
  rig.Run(OnSectorErase);
  EXPECT_TRUE(rig.State().operationFailed);
  EXPECT_TRUE(rig.op.messages.empty());
  EXPECT_TRUE(areas.PutBack(rig));
  EXPECT_EQ(rig.target->CurrentPhase(), Phase::Loader);
  EXPECT_TRUE(rig.RecoveryFiles().empty());
}

TEST(OnSectorErase, DirectErasesInBlock0AndInExternalMode) {
  SimSession external(kKT530, kExternalMemory);
  ASSERT_TRUE(external.Ready());
  external.PickRange(external.Block1Entry(0), 1);  // E000h, a loader sector: no refusal here
  external.Run(OnSectorErase);
  EXPECT_EQ(external.op.messages, Messages{kCompleted});
  EXPECT_EQ(external.Wire(), (Bytes{0x0B, 0xE0, 0x00, 0x01}));

  SimSession rig(kKT540);
  ASSERT_TRUE(rig.Ready());
  rig.SetFlash(0, 0x100, Pattern(256, 25));
  rig.PickRange(2, 0);  // from sector 2 to the block's end
  rig.Run(OnSectorErase);
  EXPECT_EQ(rig.op.messages, Messages{kCompleted});
  EXPECT_EQ(rig.Flash(0, 0x100, 256), Bytes(256, 0xFF));
  EXPECT_EQ(rig.Wire().size(), 2u + 510u * 4u);

  sim::SimConfig config = ChipConfig(kKT540);
  config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Drop, 0x68, 1, 0});
  SimSession silent(config);
  ASSERT_TRUE(silent.Ready());
  silent.PickRange(0, 1);
  OnSectorErase(silent.Shell());
  EXPECT_EQ(silent.op.messages, Messages{"Block0 sector erase failed!"});
  EXPECT_EQ(silent.Wire(), (Bytes{0x68, 0x68}));
  EXPECT_FALSE(silent.State().rangeIncludesBlock1);
}

TEST(OnChipErase, YesErasesResetsAndDetectsAgain) {
  SimSession rig(kKT420);
  rig.Run(OnChipErase);
  EXPECT_EQ(rig.op.messages, Messages{"No target board has been located!!!"});
  EXPECT_TRUE(rig.op.questions.empty());

  ASSERT_TRUE(rig.Ready());
  rig.SetFlash(0, 0, Pattern(1024, 26));
  rig.op.answers = {true};
  rig.Run(OnChipErase);
  EXPECT_EQ(rig.op.questions, Messages{"Do you really want to proceed?"});
  EXPECT_TRUE(rig.op.Saw("Chip Erase Completed!\nChip will be automatically redetected!"));
  EXPECT_EQ(rig.Flash(0, 0, 1024), Bytes(1024, 0xFF));
  EXPECT_TRUE(rig.WireHas({0x01, 0x00, 0x00, 0x01}));
  EXPECT_TRUE(rig.WireHas({'B', 'S', 'L'}));
  EXPECT_TRUE(rig.Record().Port().IsLinkUp());
  EXPECT_FALSE(rig.State().linkBusy);
}

TEST(OnChipErase, NoStillEndsWithTheDetection) {
  SimSession rig(kKT540);
  ASSERT_TRUE(rig.Ready());
  rig.SetFlash(0, 0, Pattern(128, 27));
  rig.op.onAsk = [&] {  // the board is reset while the question is open
    rig.Shell().ResetTarget();
    rig.ClearWire();
  };
  rig.Run(OnChipErase);
  EXPECT_EQ(rig.Flash(0, 0, 128), Pattern(128, 27));
  EXPECT_FALSE(rig.WireHas({0x01, 0x00, 0x00, 0x01}));
  EXPECT_TRUE(rig.WireHas({'B', 'S', 'L'}));
  EXPECT_TRUE(rig.Record().Port().IsLinkUp());
}

}  // namespace
}  // namespace brisko
