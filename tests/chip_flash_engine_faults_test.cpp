// The flash engine when the chip misbehaves: every failure ends with its label,
// message and result, and in bounded time.
#include "chip_flash_engine_fixture.hpp"

namespace brisko::test {
namespace {

using Kind = sim::ReplyFault::Kind;

sim::ReplyFault Fault(Kind kind, std::uint8_t command, int occurrence, int byteIndex, Millis delay = Millis{0}) {
  return {kind, command, occurrence, byteIndex, 0xFF, delay};
}

class FlashEngineFaultTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(rig.Connect()); }
  SimRig rig{kKT420};
};

TEST_F(FlashEngineFaultTest, CorruptReadBackInTheThirdChunkStopsThere) {
  const Bytes data = Pattern(5 * 128, 2);
  rig.Faults().replyFaults.push_back(Fault(Kind::Corrupt, 0x0C, 3, 5));

  EXPECT_EQ(rig.engine.ProgramRange(0x0000, 128, data.data(), data.size()), Result::Failed);

  EXPECT_EQ(rig.progress.log, (Log{"range 5", "reset", "Writing", "advance", "advance", "reset", "Abort"}));
  EXPECT_EQ(rig.Wire().size(), 3u * (4 + 128 + 4)) << "no chunk after the failed one is sent";
  EXPECT_EQ(rig.Flash(0, 0, 384), Bytes(data.begin(), data.begin() + 384));
  EXPECT_EQ(rig.Flash(0, 384, 256), Bytes(256, 0xFF));
  EXPECT_TRUE(rig.messages.messages.empty());
}

TEST_F(FlashEngineFaultTest, DroppedOrRefusedEraseReplyLeavesTheBarWhereItStopped) {
  for (bool refuse : {false, true}) {
    SCOPED_TRACE(refuse ? "refused" : "dropped");
    ASSERT_TRUE(rig.Connect());
    rig.SetFlash(0, 0, Bytes(4 * 128, 0x00));
    rig.Faults() = {};
    if (refuse)
      rig.Faults().refuseEraseOccurrence = 2;
    else
      rig.Faults().replyFaults.push_back(Fault(Kind::Drop, 0x0B, 2, 0));

    Stopwatch watch;
    EXPECT_EQ(rig.engine.EraseSectors(0x0000, 128, 4), Result::Failed);
    EXPECT_LT(watch.Elapsed(), kGenerousBound);

    EXPECT_EQ(rig.progress.log, (Log{"range 4", "reset", "Erasing", "advance", "Abort"}));
    EXPECT_EQ(rig.Wire(), Cat({Frame(0x0B, 0x0000, 1), Frame(0x0B, 0x0080, 1)}));
    EXPECT_EQ(rig.Flash(0, 0, 128), Bytes(128, 0xFF));
    EXPECT_EQ(rig.Flash(0, 256, 256), Bytes(256, 0x00)) << "nothing after the failure is erased";
  }
}

TEST_F(FlashEngineFaultTest, ReadRangeWaitsAgainForALateByteButNotForOneThatNeverComes) {
  // Late by more than one input wait, well within the re-waits.
  rig.Faults().replyFaults.push_back(Fault(Kind::Delay, 0x0C, 2, 10, rig.timing.inputWait * 5 / 2));
  const Bytes content = Pattern(300, 8);
  rig.SetFlash(0, 0, content);
  Bytes destination(300);
  EXPECT_EQ(rig.engine.ReadRange(destination.data(), 0x0000, 300, 128), Result::Ok);
  EXPECT_EQ(destination, content);
  EXPECT_EQ(rig.progress.LastLabel(), "Done");

  ASSERT_TRUE(rig.Connect());
  rig.Faults().replyFaults = {Fault(Kind::Drop, 0x0C, 2, 10)};
  Stopwatch watch;
  std::size_t got = 99;
  EXPECT_EQ(rig.engine.ReadRange(destination.data(), 0x0000, 300, 128, &got), Result::NoReply);
  EXPECT_EQ(got, 128u);
  EXPECT_LT(watch.Elapsed(), kGenerousBound);
  EXPECT_EQ(rig.progress.log, (Log{"range 3", "reset", "Reading", "advance", "reset", "Abort"}));
}

TEST_F(FlashEngineFaultTest, CompareNeverTakesAMissingByteForAnEqualOne) {
  // Late by more than a read: the compare does not wait again.
  rig.Faults().replyFaults.push_back(Fault(Kind::Delay, 0x0C, 1, 4, rig.timing.inputWait * 5));
  const Bytes content(128, 0xFF);
  long address = -7;
  int pair = -7;
  EXPECT_EQ(rig.engine.CompareRange(0x0000, 128, content.data(), content.size(), address, pair), Result::Failed);
  EXPECT_EQ(rig.messages.messages, (Log{"Failed to Read data byte from the chip!"}));
  EXPECT_EQ(address, -7);
  EXPECT_EQ(pair, -7);
  EXPECT_EQ(rig.progress.LastLabel(), "Abort");
}

TEST_F(FlashEngineFaultTest, PulledCableFailsEveryOperationAtItsFirstFrame) {
  ASSERT_NE(rig.device, nullptr);
  static_cast<sim::SimDevice*>(rig.device)->Disconnect();
  const Bytes data = Pattern(256, 1);
  Bytes destination(256);
  long address = -1;
  int pair = -1;
  Stopwatch watch;

  EXPECT_EQ(rig.engine.ProgramRange(0x0000, 128, data.data(), data.size()), Result::Failed);
  EXPECT_EQ(rig.progress.LastLabel(), "Abort");
  EXPECT_EQ(rig.engine.EraseSectors(0x0000, 128, 1), Result::Failed);
  std::size_t got = 99;
  EXPECT_EQ(rig.engine.ReadRange(destination.data(), 0x0000, 256, 128, &got), Result::NoReply);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(rig.engine.SendStartCommand(0x2027, 0x10), Result::FrameNotSent);
  EXPECT_EQ(rig.engine.ChipErase(), Result::Failed);
  EXPECT_EQ(rig.engine.ChipEraseExternal(), Result::Failed);
  EXPECT_FALSE(rig.engine.SelectBlock1());
  EXPECT_EQ(rig.engine.CompareRange(0x0000, 128, data.data(), data.size(), address, pair), Result::Failed);
  EXPECT_TRUE(rig.messages.Saw("Fail to write ORVEX_CMD_READ to MCU!!!"));

  rig.progress.Clear();
  got = 99;
  EXPECT_EQ(rig.engine.ReadBlock1Range(destination.data(), 0x0000, 256, 128, &got), Result::NoReply);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(rig.progress.log, (Log{"range 2", "reset", "error", "reset", "Abort"}));

  rig.progress.Clear();
  EXPECT_EQ(rig.engine.ProgramBlock1Range(0x0400, 128, data.data(), data.size()), Result::Failed);
  EXPECT_TRUE(rig.messages.Saw("Erase block 1 failed"));
  EXPECT_TRUE(rig.progress.log.empty());
  EXPECT_LT(watch.Elapsed(), 2 * kGenerousBound);
}

}  // namespace
}  // namespace brisko::test
