// The flash engine against a healthy simulated chip: the bytes on the wire,
// what lands in flash, the results and the progress pane.
#include "chip_flash_engine_fixture.hpp"

namespace brisko::test {
namespace {

Bytes Blank(std::size_t n) { return Bytes(n, 0xFF); }

class FlashEngineTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(rig.Connect()); }
  SimRig rig{kKT420};
};

TEST_F(FlashEngineTest, ProgramSkipsBlankChunksPadsTheLastAndVerifiesEachChunk) {
  Bytes data = Pattern(300, 1);
  std::fill(data.begin() + 128, data.begin() + 256, 0xFF);  // the second chunk is blank

  EXPECT_EQ(rig.engine.ProgramRange(0x1000, 128, data.data(), data.size()), Result::Ok);

  const Bytes first(data.begin(), data.begin() + 128);
  Bytes last(128, 0xFF);
  std::copy(data.begin() + 256, data.end(), last.begin());
  EXPECT_EQ(rig.Wire(), Cat({Frame(0x0E, 0x1000, 0x80), first, Frame(0x0C, 0x1000, 0x80), Frame(0x0E, 0x1100, 0x80),
                             last, Frame(0x0C, 0x1100, 0x80)}));
  EXPECT_EQ(rig.Flash(0, 0x1000, 384), Cat({first, Blank(128), last}));
  const Log full{"range 3", "reset", "Writing", "advance", "advance", "advance", "reset", "Done"};
  EXPECT_EQ(rig.progress.log, full);
  EXPECT_TRUE(rig.messages.messages.empty());

  // A wholly blank buffer sends nothing, yet runs the bar to its end.
  rig.target->ClearHostBytes();
  rig.progress.Clear();
  EXPECT_EQ(rig.engine.ProgramRange(0x0000, 128, Blank(384).data(), 384), Result::Ok);
  EXPECT_TRUE(rig.Wire().empty());
  EXPECT_EQ(rig.progress.log, full);
}

TEST_F(FlashEngineTest, EraseSendsOneFramePerSectorAndWantsTheAcknowledgement) {
  rig.SetFlash(0, 0x0100, Pattern(384, 1));
  EXPECT_EQ(rig.engine.EraseSectors(0x0100, 128, 3), Result::Ok);
  EXPECT_EQ(rig.Wire(), Cat({Frame(0x0B, 0x0100, 0x01), Frame(0x0B, 0x0180, 0x01), Frame(0x0B, 0x0200, 0x01)}));
  EXPECT_EQ(rig.Flash(0, 0x0100, 384), Blank(384));
  EXPECT_EQ(rig.progress.log, (Log{"range 3", "reset", "Erasing", "advance", "advance", "advance", "reset", "Done"}));
}

TEST_F(FlashEngineTest, ReadRangeAsksForWholeChunksAndTheRemainder) {
  const Bytes content = Pattern(300, 9);
  rig.SetFlash(0, 0x0200, content);
  Bytes destination(300, 0);
  EXPECT_EQ(rig.engine.ReadRange(destination.data(), 0x0200, 300, 128), Result::Ok);
  EXPECT_EQ(destination, content);
  EXPECT_EQ(rig.Wire(), Cat({Frame(0x0C, 0x0200, 128), Frame(0x0C, 0x0280, 128), Frame(0x0C, 0x0300, 44)}));
  EXPECT_EQ(rig.progress.log, (Log{"range 3", "reset", "Reading", "advance", "advance", "advance", "reset", "Done"}));

  // A cancel that comes with the last chunk finds the read complete.
  rig.progress.onAdvance = [&] { rig.state.cancelRequested = rig.progress.log.size() >= 14; };
  EXPECT_EQ(rig.engine.ReadRange(destination.data(), 0x0200, 300, 128), Result::Ok);
}

TEST_F(FlashEngineTest, CompareReportsTheFirstDifferenceWithTheChipByteHigh) {
  const Bytes content = Pattern(512, 3);
  rig.SetFlash(0, 0x1000, content);
  // The last chunk is partial: only the file's bytes count, not the flash
  // beyond them.
  const Bytes head(content.begin(), content.begin() + 450);
  long address = -1;
  int pair = -1;
  EXPECT_EQ(rig.engine.CompareRange(0x1000, 128, head.data(), head.size(), address, pair), Result::Ok);
  EXPECT_EQ(address, -1) << "untouched without a difference";
  EXPECT_EQ(rig.progress.labels, (Log{"Comparing", "Done"}));

  Bytes file = content;
  file[128 + 2] = static_cast<std::uint8_t>(content[130] ^ 0x5A);
  file[300] ^= 0x01;  // a later difference must not be the one reported
  rig.target->ClearHostBytes();
  rig.progress.Clear();

  EXPECT_EQ(rig.engine.CompareRange(0x1000, 128, file.data(), file.size(), address, pair), Result::Failed);
  EXPECT_EQ(address, 0x1082);
  EXPECT_EQ(pair, content[130] * 256 + file[130]);
  EXPECT_EQ(rig.messages.messages, (Log{"Failed to Verify Data!!!"}));
  EXPECT_EQ(rig.progress.log, (Log{"range 4", "reset", "Comparing", "advance", "reset", "Abort"}));
  EXPECT_EQ(rig.Wire(), Cat({Frame(0x0C, 0x1000, 128), Frame(0x0C, 0x1080, 128)}));
}

// The loader does not answer a chip erase and hears nothing while it erases:
// without the engine's pause the next command would be lost.
TEST_F(FlashEngineTest, ChipEraseBlanksBlock0AndTheNextCommandWaitsForTheChip) {
  rig.SetFlash(0, 0x0000, Pattern(256, 1));
  EXPECT_EQ(rig.engine.ChipErase(), Result::Ok);
  EXPECT_EQ(rig.Wire(), Frame(0x01, 0x0000, 0x01));
  Bytes readBack(256);
  EXPECT_EQ(rig.engine.ReadRange(readBack.data(), 0x0000, 256, 128), Result::Ok);
  EXPECT_EQ(readBack, Blank(256));
}

// Each row on a freshly reset loader: after a start the chip runs other code
// and stays silent, so a row after it would pass whatever its fault.
TEST_F(FlashEngineTest, StartCommandWantsTheAcknowledgement) {
  using sim::ReplyFault;
  struct Case {
    const char* name;
    std::vector<ReplyFault> faults;
    std::uint8_t value;
    Result result;
    Log progress;
  } cases[] = {
      {"acknowledged", {}, 0x10, Result::Ok, {"reset", "Start", "advance", "reset"}},
      {"C0h XOR 40h = 80h", {{ReplyFault::Kind::Corrupt, 0x03, 0, 0, 0x40, Millis{0}}}, 0x10, Result::WrongReply,
       {"reset", "Start"}},
      {"no reply", {{ReplyFault::Kind::Drop, 0x03, 0, 0, 0x01, Millis{0}}}, 0x10, Result::NoReply, {"reset", "Start"}},
      {"the programmer is entered with 10h only", {}, 0x11, Result::NoReply, {"reset", "Start"}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(rig.Connect());
    rig.Faults().replyFaults = c.faults;
    EXPECT_EQ(rig.engine.SendStartCommand(0x2027, c.value), c.result) << c.name;
    EXPECT_EQ(rig.Wire(), Frame(0x03, 0x2027, c.value)) << c.name;
    EXPECT_EQ(rig.progress.log, c.progress) << c.name;
  }
}

TEST(FlashEngineBlockSelect, SelectsTheBlockTheLoaderShows) {
  SimRig rig(kKT540);
  ASSERT_TRUE(rig.Connect());
  EXPECT_TRUE(rig.engine.SelectBlock1());
  EXPECT_EQ(rig.target->SelectedBlock(), 1);
  EXPECT_TRUE(rig.engine.SelectBlock0());
  EXPECT_EQ(rig.target->SelectedBlock(), 0);
  EXPECT_EQ(rig.Wire(), (Bytes{0x69, 0x69, 0x68, 0x68}));

  rig.Faults().replyFaults.push_back({sim::ReplyFault::Kind::Drop, 0x69, 0, 0, 0x01, Millis{0}});
  EXPECT_FALSE(rig.engine.SelectBlock1());
}

}  // namespace
}  // namespace brisko::test
