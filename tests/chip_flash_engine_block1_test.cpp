// Block 1 through the programmer parked in block 0, on a KT540 whose blocks
// share their addresses.
#include "firmware/firmware.hpp"
#include "chip_flash_engine_fixture.hpp"

namespace brisko::test {
namespace {

using Kind = sim::ReplyFault::Kind;

class Block1Test : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(rig.Connect());
    const auto& image = firmware::Block1ProgrammerKT500;
    ASSERT_TRUE(rig.engine.SelectBlock0());
    ASSERT_EQ(rig.engine.EraseSectors(0x2000, 128, 3), Result::Ok);
    ASSERT_EQ(rig.engine.ProgramRange(0x2000, 128, image.data(), image.size()), Result::Ok);
    rig.progress.Clear();
    ASSERT_EQ(rig.engine.SendStartCommand(0x2027, 0x10), Result::Ok);
    EXPECT_EQ(rig.progress.log, (Log{"reset", "Start", "advance", "reset"}));
    ASSERT_EQ(rig.target->CurrentPhase(), sim::SimTarget::Phase::Programmer);
    rig.target->ClearHostBytes();
    rig.progress.Clear();
  }
  Result Program() { return rig.engine.ProgramBlock1Range(0x0400, 128, data.data(), data.size()); }

  SimRig rig{kKT540};
  const Bytes data = [] {
    Bytes d = Pattern(3 * 128, 11);
    std::fill(d.begin() + 128, d.begin() + 256, 0xFF);  // a blank middle chunk
    return d;
  }();
};

TEST_F(Block1Test, ProgramErasesOnceThenProgramsAndVerifiesEachChunk) {
  rig.SetFlash(1, 0x0400, Bytes(3 * 128, 0x00));

  EXPECT_EQ(Program(), Result::Ok);

  EXPECT_EQ(rig.Flash(1, 0x0400, data.size()), data) << "the blank chunk is erased, not written";
  const Bytes first(data.begin(), data.begin() + 128);
  const Bytes last(data.begin() + 256, data.end());
  EXPECT_EQ(rig.Wire(), Cat({Frame(0x0B, 0x0400, 3), Frame(0x09, 0x0400, 0x80), first, Frame(0x0A, 0x0400, 0x80),
                             Frame(0x09, 0x0500, 0x80), last, Frame(0x0A, 0x0500, 0x80)}));
  EXPECT_EQ(rig.progress.log, (Log{"range 3", "reset", "Writing",                                       //
                                   "Writing completed", "In process", "Writing", "advance", "Writing",  //
                                   "advance",                                                           //
                                   "Writing completed", "In process", "Writing", "advance", "Writing",  //
                                   "reset", "Done"}));
  EXPECT_TRUE(rig.messages.messages.empty());

  // A loader update labels its work "In process" throughout.
  rig.progress.Clear();
  rig.state.loaderUpdateInProgress = true;
  EXPECT_EQ(Program(), Result::Ok);
  EXPECT_EQ(std::count(rig.progress.labels.begin(), rig.progress.labels.end(), "Writing"), 0);
  EXPECT_EQ(rig.progress.labels.front(), "In process");
}

TEST_F(Block1Test, ReadBlock1RangeReadsWithTheBlock1CommandAndStopsShortAtAMissingByte) {
  const Bytes content = Pattern(300, 12);
  rig.SetFlash(1, 0x0400, content);
  Bytes destination(300);
  EXPECT_EQ(rig.engine.ReadBlock1Range(destination.data(), 0x0400, 300, 128), Result::Ok);
  EXPECT_EQ(destination, content);
  EXPECT_EQ(rig.Wire(), Cat({Frame(0x0A, 0x0400, 128), Frame(0x0A, 0x0480, 128), Frame(0x0A, 0x0500, 44)}));
  EXPECT_EQ(rig.progress.log, (Log{"range 3", "reset", "advance", "advance", "advance", "reset", "Done"}));

  // Occurrences count from the reset: three reads so far, the fifth loses a byte.
  rig.Faults().replyFaults.push_back({Kind::Drop, 0x0A, 5, 50, 0x01, Millis{0}});
  std::size_t got = 99;
  EXPECT_EQ(rig.engine.ReadBlock1Range(destination.data(), 0x0400, 300, 128, &got), Result::NoReply);
  EXPECT_EQ(got, 128u);
  EXPECT_EQ(rig.progress.LastLabel(), "Abort");
  Bytes again(128);
  EXPECT_EQ(rig.engine.ReadBlock1Range(again.data(), 0x0400, 128, 128), Result::Ok) << "the next read starts afresh";
  EXPECT_EQ(again, Bytes(content.begin(), content.begin() + 128));
}

TEST_F(Block1Test, CorruptOrMissingReadBackFailsInBoundedTime) {
  rig.Faults().replyFaults = {{Kind::Corrupt, 0x0A, 0, 7, 0x10, Millis{0}}};
  EXPECT_EQ(Program(), Result::Failed);
  EXPECT_EQ(rig.progress.log, (Log{"range 3", "reset", "Writing", "Writing completed", "reset", "Abort"}));

  rig.Faults().replyFaults = {{Kind::Drop, 0x0A, 0, 127, 0x01, Millis{0}}};
  Stopwatch watch;
  EXPECT_EQ(Program(), Result::Failed);
  EXPECT_LT(watch.Elapsed(), kGenerousBound);
  EXPECT_EQ(rig.progress.LastLabel(), "Abort");
}

}  // namespace
}  // namespace brisko::test
