// The flash engine against the simulated chip, healthy and misbehaving: the
// bytes on the wire, what flash holds after, the result, the texts and the
// bar; every run ends in bounded time.
#include "firmware/firmware.hpp"
#include "chip_flash_engine_fixture.hpp"

namespace brisko::test {
namespace {

using Kind = sim::ReplyFault::Kind;
using Messages = std::vector<std::string>;

Bytes Blank(std::size_t n) { return Bytes(n, 0xFF); }
Bytes Zeros(std::size_t n) { return Bytes(n, 0x00); }
Bytes Part(const Bytes& b, std::size_t from, std::size_t to) { return Bytes(b.begin() + from, b.begin() + to); }
Bytes BlankMiddleChunk(Bytes b) {
  std::fill(b.begin() + 128, b.begin() + 256, 0xFF);
  return b;
}
// `count` read frames of 128 bytes from `at`, and one for the `rest`.
Bytes Reads(std::uint8_t command, std::uint16_t at, int count, std::uint8_t rest = 0) {
  Bytes frames;
  for (int k = 0; k < count; ++k) frames = Cat({frames, Frame(command, std::uint16_t(at + 128 * k), 128)});
  return rest ? Cat({frames, Frame(command, std::uint16_t(at + 128 * count), rest)}) : frames;
}
// Each 128-byte chunk of `data` programmed at `at` with 0Eh and read back with 0Ch.
Bytes Programmed(std::uint16_t at, const Bytes& data) {
  Bytes frames;
  for (std::size_t k = 0; k < data.size(); k += 128, at += 128)
    frames = Cat({frames, Frame(0x0E, at, 0x80), Part(data, k, k + 128), Frame(0x0C, at, 0x80)});
  return frames;
}
sim::ReplyFault Fault(Kind kind, std::uint8_t command, int occurrence, int byteIndex, Millis delay = Millis{0}) {
  return {kind, command, occurrence, byteIndex, 0x10, delay};
}

enum class Op { Program, Erase, Read, Compare, ChipErase, ProgramBlock1, ReadBlock1 };

const Bytes kWithBlankChunk = BlankMiddleChunk(Pattern(300, 1));
const Bytes kPadded = Cat({Part(kWithBlankChunk, 256, 300), Blank(84)});
const Bytes kFiveChunks = Pattern(640, 2);
const Bytes kChip = Pattern(512, 3);
const Bytes kFile = [] {
  Bytes file = kChip;
  file[130] ^= 0x5A;
  file[300] ^= 0x01;  // a later difference must not be the one reported
  return file;
}();
const Bytes kBlock1 = BlankMiddleChunk(Pattern(384, 11));
const Millis kInputWait = FastTiming().inputWait;

// Block-1 rows run on a KT540 whose programmer is parked in block 0; the
// others on a KT420's loader.
struct Row {
  const char* name;
  Op op;
  std::uint32_t at;
  Bytes chip = {};  // the flash at `at` before; an erase erases its sectors, a read reads it
  Bytes data = {};  // what is programmed or compared
  Result result = Result::Ok;
  Bytes wire = {};
  std::string bar = {};  // not checked when empty
  Bytes flash = {};  // the flash at `at` after, when given
  Messages told = {};
  std::vector<sim::ReplyFault> faults = {};
  int refuseErase = 0;
  int cancelAfter = -1;  // advances of the bar before a cancel comes
  bool loaderUpdate = false;
  long mismatch = -1;  // the address a compare reports
  std::size_t got = 0;  // the bytes a read got
};

const Row kRows[] = {
    {.name = "program: a blank chunk is skipped, the last is padded", .op = Op::Program, .at = 0x1000,
     .data = kWithBlankChunk, .result = Result::Ok,
     .wire = Cat({Programmed(0x1000, Part(kWithBlankChunk, 0, 128)), Programmed(0x1100, kPadded)}),
     .bar = "3/[Writing]+++/[Done]", .flash = Cat({Part(kWithBlankChunk, 0, 256), kPadded})},
    {.name = "program: a corrupt read-back in the third chunk stops there", .op = Op::Program, .at = 0,
     .data = kFiveChunks, .result = Result::Failed, .wire = Programmed(0, Part(kFiveChunks, 0, 384)),
     .bar = "5/[Writing]++/[Abort]", .flash = Cat({Part(kFiveChunks, 0, 384), Blank(256)}),
     .faults = {Fault(Kind::Corrupt, 0x0C, 3, 5)}},
    {.name = "program: cancelled after the first chunk", .op = Op::Program, .at = 0, .data = kFiveChunks,
     .result = Result::Cancelled, .wire = Programmed(0, Part(kFiveChunks, 0, 128)), .bar = "5/[Writing]+[Abort]",
     .flash = Cat({Part(kFiveChunks, 0, 128), Blank(512)}), .cancelAfter = 1},
    {.name = "erase: one frame per sector", .op = Op::Erase, .at = 0x0100, .chip = kChip, .result = Result::Ok,
     .wire = Cat({Frame(0x0B, 0x0100, 1), Frame(0x0B, 0x0180, 1), Frame(0x0B, 0x0200, 1), Frame(0x0B, 0x0280, 1)}),
     .bar = "4/[Erasing]++++/[Done]", .flash = Blank(512)},
    // The bar stays where the erase stopped.
    {.name = "erase: the second reply dropped", .op = Op::Erase, .at = 0, .chip = Zeros(512), .result = Result::Failed,
     .wire = Cat({Frame(0x0B, 0x0000, 1), Frame(0x0B, 0x0080, 1)}), .bar = "4/[Erasing]+[Abort]",
     .flash = Cat({Blank(256), Zeros(256)}), .faults = {Fault(Kind::Drop, 0x0B, 2, 0)}},
    {.name = "erase: the second refused", .op = Op::Erase, .at = 0, .chip = Zeros(512), .result = Result::Failed,
     .wire = Cat({Frame(0x0B, 0x0000, 1), Frame(0x0B, 0x0080, 1)}), .bar = "4/[Erasing]+[Abort]",
     .flash = Cat({Blank(128), Zeros(384)}), .refuseErase = 2},
    {.name = "erase: cancelled before the first sector", .op = Op::Erase, .at = 0, .chip = Zeros(256),
     .result = Result::Cancelled, .wire = {}, .bar = "2/[Erasing][Abort]", .flash = Zeros(256), .cancelAfter = 0},
    {.name = "read: whole chunks and the remainder", .op = Op::Read, .at = 0x0200, .chip = Part(kChip, 0, 300),
     .result = Result::Ok, .wire = Reads(0x0C, 0x0200, 2, 44), .bar = "3/[Reading]+++/[Done]", .got = 300},
    {.name = "read: a cancel with the last chunk finds it complete", .op = Op::Read, .at = 0x0200,
     .chip = Part(kChip, 0, 300), .result = Result::Ok, .wire = Reads(0x0C, 0x0200, 2, 44),
     .bar = "3/[Reading]+++/[Done]", .cancelAfter = 3, .got = 300},
    {.name = "read: a late byte is waited for again", .op = Op::Read, .at = 0, .chip = Part(kChip, 0, 300),
     .result = Result::Ok, .wire = Reads(0x0C, 0, 2, 44), .bar = "3/[Reading]+++/[Done]",
     .faults = {Fault(Kind::Delay, 0x0C, 2, 10, kInputWait * 5 / 2)}, .got = 300},
    {.name = "read: a byte that never comes", .op = Op::Read, .at = 0, .chip = Part(kChip, 0, 300),
     .result = Result::NoReply, .wire = Reads(0x0C, 0, 2), .bar = "3/[Reading]+/[Abort]",
     .faults = {Fault(Kind::Drop, 0x0C, 2, 10)}, .got = 128},
    // Only the file's bytes count, not the flash after them in the last chunk.
    {.name = "compare: equal up to a partial last chunk", .op = Op::Compare, .at = 0x1000, .chip = kChip,
     .data = Part(kChip, 0, 450), .result = Result::Ok, .wire = Reads(0x0C, 0x1000, 4),
     .bar = "4/[Comparing]++++/[Done]"},
    {.name = "compare: the first difference, the chip's byte high", .op = Op::Compare, .at = 0x1000, .chip = kChip,
     .data = kFile, .result = Result::Failed, .wire = Reads(0x0C, 0x1000, 2), .bar = "4/[Comparing]+/[Abort]",
     .told = {"Failed to Verify Data!!!"}, .mismatch = 0x1082},
    // Late by more than a read: the compare does not wait again.
    {.name = "compare: a missing byte is never taken for an equal one", .op = Op::Compare, .at = 0,
     .data = Blank(128), .result = Result::Failed, .wire = Reads(0x0C, 0, 1), .bar = "1/[Comparing]/[Abort]",
     .told = {"Failed to Read data byte from the chip!"}, .faults = {Fault(Kind::Delay, 0x0C, 1, 4, kInputWait * 5)}},
    // The loader does not answer a chip erase and hears nothing while it
    // erases: without the engine's pause the read after it would be lost.
    {.name = "chip erase: the next command waits for the chip", .op = Op::ChipErase, .at = 0,
     .chip = Part(kChip, 0, 256), .result = Result::Ok, .wire = Frame(0x01, 0x0000, 0x01), .bar = "",
     .flash = Blank(256)},
    {.name = "block 1: erased once, a blank chunk skipped", .op = Op::ProgramBlock1, .at = 0x0400,
     .chip = Zeros(384), .data = kBlock1, .result = Result::Ok,
     .wire = Cat({Frame(0x0B, 0x0400, 3), Frame(0x09, 0x0400, 0x80), Part(kBlock1, 0, 128), Frame(0x0A, 0x0400, 0x80),
                  Frame(0x09, 0x0500, 0x80), Part(kBlock1, 256, 384), Frame(0x0A, 0x0500, 0x80)}),
     .bar = "", .flash = kBlock1},
    {.name = "block 1: a loader update says In process throughout", .op = Op::ProgramBlock1, .at = 0x0400,
     .chip = Zeros(384), .data = kBlock1, .result = Result::Ok, .wire = {}, .bar = "", .flash = kBlock1,
     .loaderUpdate = true},
    {.name = "block 1: a corrupt read-back", .op = Op::ProgramBlock1, .at = 0x0400, .data = kBlock1,
     .result = Result::Failed, .wire = {}, .bar = "3/[Writing][Writing completed]/[Abort]",
     .faults = {Fault(Kind::Corrupt, 0x0A, 0, 7)}},
    {.name = "block 1: a read-back byte that never comes", .op = Op::ProgramBlock1, .at = 0x0400, .data = kBlock1,
     .result = Result::Failed, .wire = {}, .bar = "3/[Writing][Writing completed]/[Abort]",
     .faults = {Fault(Kind::Drop, 0x0A, 0, 127)}},
    {.name = "block 1 read: the block-1 read command", .op = Op::ReadBlock1, .at = 0x0400, .chip = Part(kChip, 0, 300),
     .result = Result::Ok, .wire = Reads(0x0A, 0x0400, 2, 44), .bar = "3/+++/[Done]", .got = 300},
    {.name = "block 1 read: a byte that never comes", .op = Op::ReadBlock1, .at = 0x0400, .chip = Part(kChip, 0, 300),
     .result = Result::NoReply, .wire = Reads(0x0A, 0x0400, 2), .bar = "3/+/[Abort]",
     .faults = {Fault(Kind::Drop, 0x0A, 2, 50)}, .got = 128},
};

// Parks the block-1 programmer at 2000h in block 0 and starts it.
void Park(SimRig& rig) {
  const auto& image = firmware::Block1ProgrammerKT500;
  ASSERT_TRUE(rig.engine.SelectBlock0());
  ASSERT_EQ(rig.engine.EraseSectors(0x2000, 128, 3), Result::Ok);
  ASSERT_EQ(rig.engine.ProgramRange(0x2000, 128, image.data(), image.size()), Result::Ok);
  ASSERT_EQ(rig.engine.SendStartCommand(0x2027, 0x10), Result::Ok);
  ASSERT_EQ(rig.target->CurrentPhase(), sim::SimTarget::Phase::Programmer);
  rig.ClearWire();
  rig.progress.log.clear();
}

TEST(FlashEngine, OperationsOnTheWireInFlashAndOnTheBar) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    const bool block1 = row.op == Op::ProgramBlock1 || row.op == Op::ReadBlock1;
    SimRig rig(block1 ? kKT540 : kKT420);
    ASSERT_TRUE(rig.Connect());
    if (block1) Park(rig);
    const int block = block1 ? 1 : 0;
    rig.SetFlash(block, row.at, row.chip);
    rig.Faults().replyFaults = row.faults;
    rig.Faults().refuseEraseOccurrence = row.refuseErase;
    rig.state.loaderUpdateInProgress = row.loaderUpdate;
    rig.state.cancelRequested = row.cancelAfter == 0;
    int advances = 0;
    rig.progress.onAdvance = [&] { rig.state.cancelRequested = ++advances == row.cancelAfter; };

    Bytes read(row.chip.size(), 0x00);
    std::size_t got = 99;
    long mismatch = -1;
    int pair = -1;
    Result result = Result::Failed;
    Stopwatch watch;
    switch (row.op) {
      case Op::Program: result = rig.engine.ProgramRange(row.at, 128, row.data.data(), row.data.size()); break;
      case Op::Erase: result = rig.engine.EraseSectors(row.at, 128, std::uint32_t(row.chip.size() / 128)); break;
      case Op::Read: result = rig.engine.ReadRange(read.data(), row.at, read.size(), 128, &got); break;
      case Op::Compare:
        result = rig.engine.CompareRange(row.at, 128, row.data.data(), row.data.size(), mismatch, pair);
        break;
      case Op::ChipErase: result = rig.engine.ChipErase(); break;
      case Op::ProgramBlock1: result = rig.engine.ProgramBlock1Range(row.at, 128, row.data.data(), row.data.size()); break;
      case Op::ReadBlock1: result = rig.engine.ReadBlock1Range(read.data(), row.at, read.size(), 128, &got); break;
    }
    EXPECT_LT(watch.Elapsed(), kGenerousBound);
    EXPECT_EQ(result, row.result);
    if (!row.wire.empty() || !block1) {
      EXPECT_EQ(rig.Wire(), row.wire);
    }
    if (!row.bar.empty()) {
      EXPECT_EQ(rig.progress.log, row.bar);
    }
    EXPECT_EQ(rig.messages.messages, row.told);
    if (row.op == Op::ChipErase) {
      Bytes back(row.flash.size());
      EXPECT_EQ(rig.engine.ReadRange(back.data(), row.at, back.size(), 128), Result::Ok);
      EXPECT_EQ(back, row.flash);
    } else if (!row.flash.empty()) {
      EXPECT_EQ(rig.Flash(block, row.at, row.flash.size()), row.flash);
    }
    if (row.op == Op::Read || row.op == Op::ReadBlock1) {
      EXPECT_EQ(got, row.got);
      EXPECT_EQ(Part(read, 0, got), Part(row.chip, 0, got));
    }
    if (row.op == Op::Compare) {
      EXPECT_EQ(mismatch, row.mismatch);
      const std::size_t i = std::size_t(row.mismatch - row.at);
      if (row.mismatch >= 0) {
        EXPECT_EQ(pair, row.chip[i] * 256 + row.data[i]);
      }
    }
    if (row.loaderUpdate) {
      EXPECT_EQ(rig.progress.log.find("[Writing]"), std::string::npos) << rig.progress.log;
      EXPECT_TRUE(rig.progress.log.starts_with("3/[In process]")) << rig.progress.log;
    }
  }
}

// Each row on a freshly reset loader: after a start the chip runs other code
// and stays silent, so a row after it would pass whatever its fault.
TEST(FlashEngine, StartCommandWantsTheAcknowledgement) {
  struct Case {
    const char* name;
    std::vector<sim::ReplyFault> faults;
    std::uint8_t value;
    Result result;
    std::string bar;
  } cases[] = {
      {"acknowledged", {}, 0x10, Result::Ok, "/[Start]+/"},
      {"C0h XOR 40h = 80h", {{Kind::Corrupt, 0x03, 0, 0, 0x40, Millis{0}}}, 0x10, Result::WrongReply, "/[Start]"},
      {"no reply", {Fault(Kind::Drop, 0x03, 0, 0)}, 0x10, Result::NoReply, "/[Start]"},
      {"the programmer is entered with 10h only", {}, 0x11, Result::NoReply, "/[Start]"},
  };
  SimRig rig(kKT420);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(rig.Connect());
    rig.Faults().replyFaults = c.faults;
    EXPECT_EQ(rig.engine.SendStartCommand(0x2027, c.value), c.result);
    EXPECT_EQ(rig.Wire(), Frame(0x03, 0x2027, c.value));
    EXPECT_EQ(rig.progress.log, c.bar);
  }
}

TEST(FlashEngine, APulledCableFailsEveryOperationAtItsFirstFrame) {
  SimRig rig(kKT420);
  ASSERT_TRUE(rig.Connect());
  static_cast<sim::SimDevice*>(rig.device)->Disconnect();
  const Bytes data = Pattern(256, 1);
  Bytes destination(256);
  long address = -1;
  int pair = -1;
  std::size_t got = 99;
  Stopwatch watch;
  EXPECT_EQ(rig.engine.ProgramRange(0x0000, 128, data.data(), data.size()), Result::Failed);
  EXPECT_TRUE(rig.progress.log.ends_with("[Abort]"));
  EXPECT_EQ(rig.engine.EraseSectors(0x0000, 128, 1), Result::Failed);
  EXPECT_EQ(rig.engine.ReadRange(destination.data(), 0x0000, 256, 128, &got), Result::NoReply);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(rig.engine.SendStartCommand(0x2027, 0x10), Result::FrameNotSent);
  EXPECT_EQ(rig.engine.ChipErase(), Result::Failed);
  EXPECT_EQ(rig.engine.ChipEraseExternal(), Result::Failed);
  EXPECT_FALSE(rig.engine.SelectBlock1());
  EXPECT_EQ(rig.engine.CompareRange(0x0000, 128, data.data(), data.size(), address, pair), Result::Failed);
  EXPECT_TRUE(rig.messages.Saw("Fail to write ORVEX_CMD_READ to MCU!!!"));

  rig.progress.log.clear();
  got = 99;
  EXPECT_EQ(rig.engine.ReadBlock1Range(destination.data(), 0x0000, 256, 128, &got), Result::NoReply);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(rig.progress.log, "2/[error]/[Abort]");

  rig.progress.log.clear();
  EXPECT_EQ(rig.engine.ProgramBlock1Range(0x0400, 128, data.data(), data.size()), Result::Failed);
  EXPECT_TRUE(rig.messages.Saw("Erase block 1 failed"));
  EXPECT_EQ(rig.progress.log, "");
  EXPECT_LT(watch.Elapsed(), 2 * kGenerousBound);
}

}  // namespace
}  // namespace brisko::test
