#include <gtest/gtest.h>

#include "shell/erase_commands.hpp"
#include "shell_command_rig.hpp"

namespace brisko {
namespace {

using test::CommandRig;
using test::Pattern;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kCompleted = "Sectors erase completed!!!";

// Block 0 areas that the parked programmer displaces, set up to check the
// put-back byte for byte.
struct Block0Areas {
  Bytes sector0 = Pattern(128, 21);
  Bytes area2000 = Pattern(384, 22);
  void Put(CommandRig& rig) const {
    rig.SetChipBytes(0, 0x0000, sector0);
    rig.SetChipBytes(0, 0x2000, area2000);
  }
  void ExpectBack(CommandRig& rig) const {
    EXPECT_EQ(rig.ChipBytes(0, 0x0000, 128), sector0);
    EXPECT_EQ(rig.ChipBytes(0, 0x2000, 384), area2000);
  }
};

TEST(OnSectorErase, KT410LoaderSectorsAreRefusedBeforeAnythingIsSent) {
  CommandRig rig(kKT410);
  ASSERT_TRUE(rig.Ready());
  rig.PickRange(rig.Block1Entry(0x3C0 / 64), 2);  // F3C0h
  OnSectorErase(rig.Window());
  EXPECT_EQ(rig.op.messages,
            std::vector<std::string>{"You can not erase the first 16 block1\nsectors which are used to store BSL!"});
  EXPECT_TRUE(rig.Wire().empty());
  EXPECT_FALSE(rig.State().rangeIncludesBlock1);
}

TEST(OnSectorErase, KT410Block1RunsThroughTheParkedProgrammerAndPutsBlock0Back) {
  CommandRig rig(kKT410);
  ASSERT_TRUE(rig.Ready());
  const Block0Areas areas;
  areas.Put(rig);
  const Bytes block1 = Pattern(3 * 64, 23);
  rig.SetChipBytes(1, 0x400, block1);
  rig.PickRange(rig.Block1Entry(16), 2);  // F400h, two sectors

  OnSectorErase(rig.Window());
  EXPECT_EQ(rig.op.messages, std::vector<std::string>{kCompleted});
  EXPECT_EQ(rig.ChipBytes(1, 0x400, 128), Bytes(128, 0xFF));
  EXPECT_EQ(rig.ChipBytes(1, 0x480, 64), Bytes(block1.begin() + 128, block1.end()));
  areas.ExpectBack(rig);
  EXPECT_TRUE(rig.target->LoaderIntact());
  EXPECT_EQ(rig.target->CurrentPhase(), sim::SimTarget::Phase::Loader);
  EXPECT_TRUE(rig.WireHas({0x03, 0x20, 0x27, 0x10, 0x0B, 0xF4, 0x00, 0x01, 0x0B, 0xF4, 0x40, 0x01}));
  EXPECT_TRUE(rig.WireHas({0x03, 0xF0, 0x80, 0x01}));
  EXPECT_TRUE(rig.RecoveryFiles().empty());
  EXPECT_FALSE(rig.State().linkBusy);
}

// The loader lists give KT570 a block-1 selection before the erase; the
// parking then selects block 0 again, or it would land in block 1.
TEST(OnSectorErase, KT570ParksInBlock0AfterSelectingBlock1) {
  CommandRig rig(kKT570);
  ASSERT_TRUE(rig.Ready());
  const Block0Areas areas;
  areas.Put(rig);
  rig.SetChipBytes(1, 0x1000, Pattern(128, 24));
  rig.PickRange(rig.Block1Entry(32), 1);  // F000h

  OnSectorErase(rig.Window());
  EXPECT_EQ(rig.op.messages, std::vector<std::string>{kCompleted});
  EXPECT_EQ(rig.ChipBytes(1, 0x1000, 128), Bytes(128, 0xFF));
  areas.ExpectBack(rig);
  ASSERT_GE(rig.Wire().size(), 4u);
  EXPECT_EQ(Bytes(rig.Wire().begin(), rig.Wire().begin() + 4), (Bytes{0x69, 0x69, 0x68, 0x68}));
  EXPECT_TRUE(rig.WireHas({0x03, 0xE2, 0xCA, 0x01, 0x68, 0x68}));
}

// Erase frames: 1 at 0000h, 2-4 at 2000h for the parking, 5 the first sector
// asked for.
TEST(OnSectorErase, AFailedBlock1EraseStillPutsBlock0Back) {
  sim::SimConfig config = CommandRig::MakeConfig(kKT420);
  config.faults.refuseEraseOccurrence = 5;
  CommandRig rig(config);
  ASSERT_TRUE(rig.Ready());
  const Block0Areas areas;
  areas.Put(rig);
  rig.PickRange(rig.Block1Entry(20), 1);

  OnSectorErase(rig.Window());
  EXPECT_TRUE(rig.State().operationFailed);
  EXPECT_TRUE(rig.op.messages.empty());
  areas.ExpectBack(rig);
  EXPECT_EQ(rig.target->CurrentPhase(), sim::SimTarget::Phase::Loader);
  EXPECT_TRUE(rig.RecoveryFiles().empty());
}

TEST(OnSectorErase, ExternalMemoryModeErasesBlock1DirectlyWithoutRefusal) {
  CommandRig rig(kKT530, kExternalMemory);
  ASSERT_TRUE(rig.Ready());
  rig.PickRange(rig.Block1Entry(0), 1);  // E000h, a loader sector
  OnSectorErase(rig.Window());
  EXPECT_EQ(rig.op.messages, std::vector<std::string>{kCompleted});
  EXPECT_EQ(rig.Wire(), (Bytes{0x0B, 0xE0, 0x00, 0x01}));
}

TEST(OnSectorErase, Block0OfKT540SelectsItAndStopsWhenTheLoaderDoesNotAnswer) {
  CommandRig rig(kKT540);
  ASSERT_TRUE(rig.Ready());
  rig.SetChipBytes(0, 0x100, Pattern(256, 25));
  rig.PickRange(2, 0);  // from sector 2 to the block's end
  OnSectorErase(rig.Window());
  EXPECT_EQ(rig.op.messages, std::vector<std::string>{kCompleted});
  EXPECT_EQ(rig.ChipBytes(0, 0x100, 256), Bytes(256, 0xFF));
  EXPECT_EQ(rig.Wire().size(), 2u + 510u * 4u);

  sim::SimConfig config = CommandRig::MakeConfig(kKT540);
  config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Drop, 0x68, 1, 0});
  CommandRig silent(config);
  ASSERT_TRUE(silent.Ready());
  silent.PickRange(0, 1);
  OnSectorErase(silent.Window());
  EXPECT_EQ(silent.op.messages, std::vector<std::string>{"Block0 sector erase failed!"});
  EXPECT_EQ(silent.Wire(), (Bytes{0x68, 0x68}));
  EXPECT_FALSE(silent.State().rangeIncludesBlock1);
}

TEST(OnChipErase, YesErasesResetsAndDetectsAgain) {
  CommandRig rig(kKT420);
  ASSERT_TRUE(rig.Ready());
  rig.SetChipBytes(0, 0, Pattern(1024, 26));
  rig.op.answers = {true};
  OnChipErase(rig.Window());
  EXPECT_EQ(rig.op.questions, std::vector<std::string>{"Do you really want to proceed?"});
  EXPECT_TRUE(rig.op.Saw("Chip Erase Completed!\nChip will be automatically redetected!"));
  EXPECT_EQ(rig.ChipBytes(0, 0, 1024), Bytes(1024, 0xFF));
  EXPECT_TRUE(rig.WireHas({0x01, 0x00, 0x00, 0x01}));
  EXPECT_TRUE(rig.WireHas({'B', 'S', 'L'}));
  EXPECT_TRUE(rig.Record().Port().IsLinkUp());
  EXPECT_FALSE(rig.State().linkBusy);
}

// Forwards to the scripted operator and runs a hook when a question comes.
class HookedOperator final : public Operator {
 public:
  explicit HookedOperator(test::ScriptedOperator& inner) : inner_(inner) {}
  void Tell(const std::string& text) override { inner_.Tell(text); }
  bool Ask(const std::string& question) override {
    if (onAsk) onAsk();
    return inner_.Ask(question);
  }
  bool SelectChip(ChipSelection& s) override { return inner_.SelectChip(s); }
  bool CommSetup(CommSetupDialog& d) override { return inner_.CommSetup(d); }
  bool ChooseFileAndSector(FileSectorDialog& d) override { return inner_.ChooseFileAndSector(d); }
  bool ChooseRange(RangeDialog& d) override { return inner_.ChooseRange(d); }
  bool ChooseSave(SaveDialog& d) override { return inner_.ChooseSave(d); }
  std::function<void()> onAsk;

 private:
  test::ScriptedOperator& inner_;
};

TEST(OnChipErase, NoStillEndsWithTheDetection) {
  CommandRig rig(kKT540);
  HookedOperator hooked(rig.op);
  rig.window->SetObserver(nullptr);
  rig.window = std::make_unique<MainWindow>(hooked, sim::SimOpener(rig.target), test::FastTiming());
  rig.Record().SetChipModel(kKT540);
  rig.Record().applyGeometry();
  ASSERT_TRUE(rig.Ready());
  rig.SetChipBytes(0, 0, Pattern(128, 27));
  // The link is lost while the question is open (the board was reset).
  hooked.onAsk = [&] {
    rig.Window().ResetTarget();
    rig.target->ClearHostBytes();
  };

  OnChipErase(rig.Window());
  EXPECT_EQ(rig.ChipBytes(0, 0, 128), Pattern(128, 27));
  EXPECT_FALSE(rig.WireHas({0x01, 0x00, 0x00, 0x01}));
  EXPECT_TRUE(rig.WireHas({'B', 'S', 'L'}));
  EXPECT_TRUE(rig.Record().Port().IsLinkUp());
}

TEST(OnChipErase, RefusesWithoutALink) {
  CommandRig rig(kKT540);
  OnChipErase(rig.Window());
  EXPECT_EQ(rig.op.messages, std::vector<std::string>{"No target board has been located!!!"});
  EXPECT_TRUE(rig.op.questions.empty());
}

}  // namespace
}  // namespace brisko
