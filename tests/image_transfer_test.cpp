// The file routines: where an image goes on each model (or is refused before
// anything is sent), the bytes on the wire, and which step a failure names.
#include <gtest/gtest.h>

#include <filesystem>

#include "firmware/firmware.hpp"
#include "image_rig.hpp"

namespace brisko::test {
namespace {

using Kind = sim::ReplyFault::Kind;
using Messages = std::vector<std::string>;
using Phase = sim::SimTarget::Phase;
constexpr const char* kOverSize = "The selected file is over size!!!";

enum Use { Range, Block, Block1, Compare, BankRange, BankCompare };

Result Transfer(RoutineParts& rig, Use use, const std::string& file, int block, std::uint32_t start) {
  long address = -1;
  int pair = -1;
  switch (use) {
    case Range:
    case BankRange: return WithFile(brisko::DownloadFileToRange, rig.ctx, file, block, start);
    case Block: return WithFile(brisko::DownloadFileToBlock, rig.ctx, file, block, start);
    case Block1: return WithFile(brisko::DownloadFileToBlock1, rig.ctx, file, start);
    case Compare:
    case BankCompare: return WithFile(brisko::CompareFileWithRange, rig.ctx, file, block, start, address, pair);
  }
  return Result::Failed;
}

// Where the image byte meant for `address` lives: a block and an offset in
// it, or nowhere (between the blocks, where a long file is not written).
std::optional<std::pair<int, std::size_t>> Home(const SessionRecord& r, int block, std::uint32_t address) {
  const std::uint32_t base1 = r.BaseAddress(1);
  if (block == 1) return std::pair{1, std::size_t(address - base1)};
  if (address < r.BlockSize(0)) return std::pair{0, std::size_t(address)};
  if (!SharesBlockAddresses(r.GetChipModel()) && address >= base1 && address - base1 < r.BlockSize(1))
    return std::pair{1, std::size_t(address - base1)};
  return std::nullopt;
}

// One row per layout: the file either lands byte for byte where the model
// keeps each address (and compares equal there), or is refused as over size
// with nothing sent.
TEST(ImageLayout, EachModelTakesWhatFitsAndRefusesTheRestUnsent) {
  struct Row {
    const char* what;
    int model;
    int mode;
    Use use;
    int block;
    std::uint32_t start;
    std::size_t length;
    bool fits;
    long differsAt = -1;  // a compare: the address whose chip byte differs
  } rows[] = {
      {"KT420 one byte past the block", kKT420, kInternalMemory, Range, 0, 0x7F80, 129, false},
      {"KT420 ending at the block's end", kKT420, kInternalMemory, Range, 0, 0x8000 - 384, 384, true},
      {"KT530 ending between the blocks", kKT530, kExternalMemory, Block, 0, 0x0000, 40 * 1024, false},
      {"KT530 all 64 KB spills from E000h", kKT530, kExternalMemory, Block, 0, 0x0000, 0x10000, true},
      {"KT530 7F00h to E0FFh", kKT530, kExternalMemory, Block, 0, 0x7F00, 0xE100 - 0x7F00, true},
      {"KT410 spills from F000h", kKT410, kExternalMemory, Block, 0, 0x0000, 0xF800, true},
      {"KT410 ending below F000h", kKT410, kExternalMemory, Block, 0, 0x0000, 0x5000, false},
      {"KT540 block 0 up to FFFFh", kKT540, kExternalMemory, Block, 0, 0xFF00, 0x100, true},
      {"KT540 past FFFFh", kKT540, kExternalMemory, Block, 0, 0xFF00, 0x101, false},
      {"KT410 block 1", kKT410, kExternalMemory, Block, 1, 0xF000, 0x1000, true},
      {"KT410 block 1 too long", kKT410, kExternalMemory, Block, 1, 0xF000, 0x1001, false},
      {"KT530 block 1", kKT530, kExternalMemory, Block, 1, 0xE000, 0x2000, true},
      {"KT540 block 1 at 0000h", kKT540, kExternalMemory, Block, 1, 0x0000, 0x2000, true},
      {"KT540 block 1 too long", kKT540, kExternalMemory, Block, 1, 0x0000, 0x2001, false},
      {"KT410 parked, too long", kKT410, kInternalMemory, Block1, 1, 0xF000, 0x1001, false},
      {"KT540 parked, late", kKT540, kInternalMemory, Block1, 1, 0x1F00, 0x101, false},
      {"compare KT530 block 1 unreadable at E000h", kKT530, kInternalMemory, Compare, 0, 0x0000, 0x8001, false},
      {"compare KT570 between the blocks", kKT570, kExternalMemory, Compare, 0, 0x0000, 0xD000, false},
      {"compare KT580 block 1", kKT580, kExternalMemory, Compare, 1, 0xE000, 0x2001, false},
      {"compare KT410 running into block 1", kKT410, kInternalMemory, Compare, 0, 0x0000, 0xF100, true},
      {"compare KT410 differing in block 1", kKT410, kInternalMemory, Compare, 0, 0x0000, 0xF100, true, 0xF010},
      {"compare KT540 stops at its block end", kKT540, kInternalMemory, Compare, 0, 0xFE00, 0x300, true},
      {"bank of a KT410 up to its end", kKT410, kInternalMemory, BankRange, 0, 0xF000, 0x1000, true},
      {"bank of a KT410 past its end", kKT410, kInternalMemory, BankRange, 0, 0xF000, 0x1001, false},
      {"compare a KT530 bank", kKT530, kInternalMemory, BankCompare, 0, 0xE000, 0x1800, true},
      {"compare a KT530 bank past its end", kKT530, kInternalMemory, BankCompare, 0, 0xE000, 0x2001, false},
  };
  unsigned seed = 0;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const Bytes data = Pattern(r.length, ++seed);
    if (r.use == BankRange || r.use == BankCompare) {
      BankImageRig rig(static_cast<ChipModel>(r.model));
      // What the bank holds of the file: a file past the bank's end is refused, not partly compared.
      const std::size_t inBank = std::min<std::size_t>(data.size(), rig.bank->flash.size() - r.start);
      if (r.use == BankCompare) std::copy_n(data.begin(), inBank, rig.bank->flash.begin() + r.start);
      const std::size_t sent = rig.bank->hostBytes.size();
      EXPECT_EQ(Transfer(rig, r.use, rig.Write("f.bin", data), r.block, r.start), r.fits ? Result::Ok : Result::OverSize);
      EXPECT_TRUE(!r.fits || std::equal(data.begin(), data.end(), rig.bank->flash.begin() + r.start));
      EXPECT_TRUE(r.fits || rig.bank->hostBytes.size() == sent);
      EXPECT_EQ(rig.messages.messages, r.fits ? Messages{} : Messages{kOverSize});
      continue;
    }
    SimImageRig rig(r.model, r.mode);
    ASSERT_TRUE(rig.Connect());
    ASSERT_TRUE(r.block == 0 || r.use != Block || !SharesBlockAddresses(r.model) || rig.engine.SelectBlock1());
    const Bytes block0 = rig.Flash(0, 0, rig.record.BlockSize(0));
    const Bytes block1 = rig.Flash(1, 0, rig.record.BlockSize(1));
    if (r.use == Compare && r.fits)
      for (std::size_t i = 0; i < data.size(); ++i)
        if (const auto home = Home(rig.record, r.block, r.start + static_cast<std::uint32_t>(i)))
          rig.SetFlash(home->first, static_cast<std::uint32_t>(home->second), {data[i]});
    rig.ClearWire();
    if (r.differsAt >= 0) {  // reported at its own address, past block 0 too
      const std::uint8_t chip = data[std::size_t(r.differsAt - r.start)] ^ 0x80;
      const auto home = Home(rig.record, r.block, std::uint32_t(r.differsAt));
      rig.SetFlash(home->first, static_cast<std::uint32_t>(home->second), {chip});
      long address = -1;
      int pair = -1;
      EXPECT_EQ(WithFile(brisko::CompareFileWithRange, rig.ctx, rig.Write("f.bin", data), r.block, r.start, address, pair),
                Result::ProgramFailed);
      EXPECT_EQ(address, r.differsAt);
      EXPECT_EQ(pair, chip * 256 + (chip ^ 0x80));
      EXPECT_EQ(rig.messages.messages, Messages{"Failed to Verify Data!!!"});
      continue;
    }
    EXPECT_EQ(Transfer(rig, r.use, rig.Write("f.bin", data), r.block, r.start), r.fits ? Result::Ok : Result::OverSize);
    if (!r.fits) {
      EXPECT_EQ(rig.messages.messages, Messages{kOverSize});
      EXPECT_TRUE(rig.Wire().empty());
      EXPECT_EQ(rig.Flash(0, 0, block0.size()), block0);
      continue;
    }
    EXPECT_TRUE(rig.messages.messages.empty());
    Bytes want0 = block0, want1 = block1;
    for (std::size_t i = 0; i < data.size(); ++i)
      if (const auto home = Home(rig.record, r.block, r.start + static_cast<std::uint32_t>(i)))
        (home->first == 0 ? want0 : want1)[home->second] = data[i];
    // Bytes past the file in its last sector are erased or padded; the rest is kept.
    auto outside = [&](int b, std::size_t off) {
      const std::uint32_t end = r.start + static_cast<std::uint32_t>(r.length);
      const std::uint32_t sector = rig.record.SectorSize(b);
      const auto at = static_cast<std::uint32_t>(b == 1 ? off + rig.record.BaseAddress(1) : off);
      return !(at >= end && at < (end + sector - 1) / sector * sector);
    };
    const Bytes got0 = rig.Flash(0, 0, block0.size()), got1 = rig.Flash(1, 0, block1.size());
    for (std::size_t i = 0; i < got0.size(); ++i)
      if (outside(0, i) && got0[i] != want0[i]) ADD_FAILURE() << "block 0 at " << i;
    for (std::size_t i = 0; i < got1.size(); ++i)
      if (outside(1, i) && got1[i] != want1[i]) ADD_FAILURE() << "block 1 at " << i;
  }
}

TEST(DownloadToRange, ErasesAndProgramsPaddedChunksConvertsHexInMemoryAndSkipsUnchangedSectors) {
  SimImageRig rig(kKT420);
  ASSERT_TRUE(rig.Connect());
  const Bytes data = Pattern(100, 1);
  rig.SetFlash(0, 0, Bytes(128, 0x00));
  ASSERT_EQ(WithFile(brisko::DownloadFileToRange, rig.ctx, rig.Write("app.bin", data), 0, 0x0000), Result::Ok);

  Bytes chunk = data;
  chunk.resize(128, 0xFF);
  EXPECT_EQ(rig.Wire(), Cat({Frame(0x0B, 0x0000, 0x01), Frame(0x0E, 0x0000, 0x80), chunk,
                             Frame(0x0C, 0x0000, 0x80)}));
  EXPECT_EQ(rig.Flash(0, 0, 128), chunk);

  // A HEX file is converted in memory: nothing is left in the user's folders.
  const std::string hex = rig.Write("fw.HEX", std::string(":10010000000102030405060708090A0B0C0D0E0F77\n:00000001FF\n"));
  ASSERT_EQ(WithFile(brisko::DownloadFileToRange, rig.ctx, hex, 0, 0x0200), Result::Ok);
  EXPECT_TRUE(std::filesystem::is_empty(rig.dirs.Dir().File("cache")));
  Bytes expected(0x100, 0xFF);
  for (std::uint8_t i = 0; i < 16; ++i) expected.push_back(i);
  EXPECT_EQ(rig.Flash(0, 0x200, 272), expected);

  // Skipping unchanged sectors: the range is read first, and only the sector
  // that differs is erased, written and verified.
  const Bytes old = Pattern(3 * 128, 7);
  rig.SetFlash(0, 0x0400, old);
  Bytes changed = old;
  changed[200] ^= 0x55;
  std::size_t skipped = 0;
  rig.ClearWire();
  ASSERT_EQ(WithFile(brisko::DownloadChangedSectorsToRange, rig.ctx, rig.Write("app.bin", changed), 0, 0x0400u, skipped), Result::Ok);
  EXPECT_EQ(skipped, 2u);
  EXPECT_EQ(rig.Flash(0, 0x0400, 3 * 128), changed);
  EXPECT_EQ(rig.Wire(), Cat({Frame(0x0C, 0x0400, 0x80), Frame(0x0C, 0x0480, 0x80), Frame(0x0C, 0x0500, 0x80),
                             Frame(0x0B, 0x0480, 0x01), Frame(0x0E, 0x0480, 0x80), Bytes(changed.begin() + 128, changed.begin() + 256),
                             Frame(0x0C, 0x0480, 0x80)}));
}

TEST(DownloadToBank, ErasesWholeBankSectorsAndProgramsIn128ByteChunks) {
  BankImageRig rig(kKT410);  // the bank, not the chip's 16 KB block, sets the limit
  const Bytes data = Pattern(5000, 7);
  ASSERT_EQ(WithFile(brisko::DownloadFileToRange, rig.ctx, rig.Write("ext.bin", data), 0, 0x1000), Result::Ok);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), rig.bank->flash.begin() + 0x1000));
  const Bytes& wire = rig.bank->hostBytes;
  const Bytes start = Cat({Frame(0x04, 0x1000, 0x01), Frame(0x04, 0x2000, 0x01), Frame(0x06, 0x1000, 0x80)});
  ASSERT_GE(wire.size(), start.size());
  EXPECT_TRUE(std::equal(start.begin(), start.end(), wire.begin()));
  // 5000 bytes are 40 chunks of 128 with data; the padding to 8192 is blank.
  std::size_t programFrames = 0;
  for (std::size_t i = 8; i + 4 <= wire.size(); i += 4 + (wire[i] == 0x06 ? 128 : 0)) {
    ASSERT_TRUE(wire[i] == 0x06 || wire[i] == 0x03) << i;
    programFrames += wire[i] == 0x06;
  }
  EXPECT_EQ(programFrames, 40u);
}

// The program step verifies each chunk with the first 0Ch; the full read-back
// after the file is the second.
TEST(DownloadFailures, EachNamesItsStep) {
  struct Row {
    Use use;
    int mode;
    int refuseErase;
    sim::ReplyFault fault;
    Result result;
    Messages messages;
  } rows[] = {
      // Block 0 in internal memory mode: the command tells what failed.
      {Range, kInternalMemory, 1, {}, Result::Failed, {}},
      {Range, kInternalMemory, 0, {Kind::Corrupt, 0x0C, 1, 7, 0x01, Millis{0}}, Result::ProgramFailed, {}},
      {Block, kExternalMemory, 1, {}, Result::Failed, {"Sector erase failed!!!"}},
      {Block, kExternalMemory, 0, {Kind::Corrupt, 0x0C, 1, 0, 0x01, Millis{0}}, Result::ProgramFailed,
       {"Failed to Download Data!!!"}},
      {Block, kExternalMemory, 0, {Kind::Corrupt, 0x0C, 2, 5, 0x10, Millis{0}}, Result::ProgramFailed,
       {"Failed to Verify Data!!!"}},
      {Block, kExternalMemory, 0, {Kind::Drop, 0x0C, 2, 0, 0x01, Millis{0}}, Result::NoReply,
       {"Failed to Read Data!!!"}},
  };
  for (const Row& r : rows) {
    SimImageRig rig(kKT420, r.mode);
    ASSERT_TRUE(rig.Connect());
    rig.target->Faults().refuseEraseOccurrence = r.refuseErase;
    if (r.fault.command != 0) rig.target->Faults().replyFaults.push_back(r.fault);
    EXPECT_EQ(Transfer(rig, r.use, rig.Write("a.bin", Pattern(128, 12)), 0, 0), r.result) << TransferStepName(r.result);
    EXPECT_EQ(rig.messages.messages, r.messages) << TransferStepName(r.result);
  }
}

// Block 1 in internal memory mode, through the programmer parked in block 0
// at 2000h and started at 2027h: sector by sector, or all at once for a
// loader update; a refused erase is told twice.
TEST(DownloadToBlock1, ProgramsThroughTheParkedProgrammerSectorBySectorOrAllAtOnce) {
  const auto parked = [](SimImageRig& rig, int model) {
    const auto& programmer = IsKT400(model) ? firmware::Block1ProgrammerKT400 : firmware::Block1ProgrammerKT500;
    ASSERT_TRUE(rig.Connect());
    ASSERT_TRUE(IsKT400(model) || rig.engine.SelectBlock0());
    ASSERT_EQ(rig.engine.EraseSectors(0x2000, 128, 3), Result::Ok);
    ASSERT_EQ(rig.engine.ProgramRange(0x2000, 128, programmer.data(), programmer.size()), Result::Ok);
    ASSERT_EQ(rig.engine.SendStartCommand(0x2027, 0x10), Result::Ok);
    ASSERT_EQ(rig.target->CurrentPhase(), Phase::Programmer);
    rig.ClearWire();
  };
  for (const auto& [model, start] : {std::pair{kKT410, 0xF400u}, {kKT530, 0xE480u}, {kKT540, 0x0480u}}) {
    SCOPED_TRACE(DescribeChip(model).chipTypeText);
    SimImageRig rig(model);
    parked(rig, model);
    const auto offset = [&rig](std::uint32_t address) { return address - rig.record.BaseAddress(1); };
    const auto firstFrame = [&rig] { return Bytes(rig.Wire().begin(), rig.Wire().begin() + 4); };
    const std::uint32_t unit = rig.record.SectorSize(1);
    const std::size_t padded = RoundUp(1000, unit);
    const Bytes data = Pattern(1000, 1);
    const Bytes after = rig.Flash(1, offset(start) + padded, 64);

    ASSERT_EQ(WithFile(brisko::DownloadFileToBlock1, rig.ctx, rig.Write("b1.bin", data), start), Result::Ok);
    EXPECT_EQ(rig.Flash(1, offset(start), 1000), data);
    EXPECT_EQ(rig.Flash(1, offset(start) + 1000, padded - 1000), Bytes(padded - 1000, 0xFF));
    EXPECT_EQ(rig.Flash(1, offset(start) + padded, 64), after);
    EXPECT_EQ(firstFrame(), Frame(0x0B, start, 0x01));  // erased sector by sector
    EXPECT_TRUE(rig.messages.messages.empty());

    // A loader update leaves the erase of all its sectors to the programmer.
    rig.ClearWire();
    rig.state.loaderUpdateInProgress = true;
    const std::uint32_t second = start + static_cast<std::uint32_t>(padded + unit);
    const Bytes update = Pattern(3 * unit, 2);
    ASSERT_EQ(WithFile(brisko::DownloadFileToBlock1, rig.ctx, rig.Write("update.bin", update), second), Result::Ok);
    EXPECT_EQ(firstFrame(), Frame(0x0B, second, 0x03));
    EXPECT_EQ(rig.Flash(1, offset(second), update.size()), update);
    EXPECT_EQ(rig.target->CurrentPhase(), Phase::Programmer);  // handing back is the caller's step

    SimImageRig refused(model);
    parked(refused, model);
    refused.target->Faults().refuseEraseOccurrence = 4;  // the parking took three erase frames
    EXPECT_EQ(WithFile(brisko::DownloadFileToBlock1, refused.ctx, refused.Write("a.bin", Pattern(64, 4)), start),
              Result::Failed);
    EXPECT_EQ(refused.messages.messages, (Messages{"Sector erase failed!!!", "Erase failed on talon51!"}));
  }
}

}  // namespace
}  // namespace brisko::test
