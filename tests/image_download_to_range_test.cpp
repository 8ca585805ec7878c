// DownloadFileToRange: block 0 in internal memory mode, or an external bank.
#include <gtest/gtest.h>

#include <filesystem>

#include "image_rig.hpp"
#include "link/user_paths.hpp"

namespace brisko::test {
namespace {

using Messages = std::vector<std::string>;

class DownloadToRange : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(rig.Connect()); }
  SimImageRig rig{kKT420};
};

TEST_F(DownloadToRange, HundredBytesEraseOneSectorAndProgramOnePaddedChunk) {
  const Bytes data = Pattern(100, 1);
  rig.SetFlash(0, 0, Bytes(128, 0x00));
  ASSERT_EQ(DownloadFileToRange(rig.ctx, rig.Write("app.bin", data), 0, 0x0000), Result::Ok);

  Bytes chunk = data;
  chunk.resize(128, 0xFF);
  EXPECT_EQ(rig.Wire(), Cat({FrameOf(0x0B, 0x0000, 0x01), FrameOf(0x0E, 0x0000, 0x80), chunk,
                             FrameOf(0x0C, 0x0000, 0x80)}));
  EXPECT_EQ(rig.Flash(0, 0, 128), chunk);
  EXPECT_TRUE(rig.messages.messages.empty());
}

// Skipping unchanged sectors: the range is read first, and only the sector
// that differs is erased, written and verified.
TEST_F(DownloadToRange, SkipUnchangedWritesOnlyTheSectorsThatDiffer) {
  const Bytes data = Pattern(3 * 128, 7);
  rig.SetFlash(0, 0x0200, data);
  Bytes changed = data;
  changed[200] ^= 0x55;
  std::size_t skipped = 0;
  ASSERT_EQ(WithFile(brisko::DownloadChangedSectorsToRange, rig.ctx, rig.Write("app.bin", changed), 0, 0x0200u, skipped), Result::Ok);
  EXPECT_EQ(skipped, 2u);
  EXPECT_EQ(rig.Flash(0, 0x0200, 3 * 128), changed);
  EXPECT_EQ(rig.Wire(), Cat({FrameOf(0x0C, 0x0200, 0x80), FrameOf(0x0C, 0x0280, 0x80), FrameOf(0x0C, 0x0300, 0x80),
                             FrameOf(0x0B, 0x0280, 0x01), FrameOf(0x0E, 0x0280, 0x80), Bytes(changed.begin() + 128, changed.begin() + 256),
                             FrameOf(0x0C, 0x0280, 0x80)}));
}

TEST_F(DownloadToRange, HexFileIsConvertedInMemoryWithNothingLeftInTheUsersFolders) {
  // 16 bytes at 0100h: a 272-byte image, so three sectors from 0200h.
  const std::string hex = rig.Write("fw.HEX", std::string(":10010000000102030405060708090A0B0C0D0E0F77\n:00000001FF\n"));
  ASSERT_EQ(DownloadFileToRange(rig.ctx, hex, 0, 0x0200), Result::Ok);

  EXPECT_TRUE(std::filesystem::is_empty(rig.dirs.Dir().File("cache")));
  Bytes expected(0x100, 0xFF);
  for (std::uint8_t i = 0; i < 16; ++i) expected.push_back(i);
  EXPECT_EQ(rig.Flash(0, 0x200, 272), expected);
}

TEST_F(DownloadToRange, RefusedFilesChangeNothingOnTheChip) {
  const Bytes before = rig.Flash(0, 0, 0x8000);
  EXPECT_EQ(DownloadFileToRange(rig.ctx, rig.Write("big.bin", Pattern(0x8001, 2)), 0, 0x0000), Result::OverSize);
  EXPECT_EQ(DownloadFileToRange(rig.ctx, rig.Write("late.bin", Pattern(129, 3)), 0, 0x7F80), Result::OverSize);
  const std::string bad = rig.Write("bad.hex", std::string(":0100000011EE\n:0100010022FF\n"));
  EXPECT_EQ(DownloadFileToRange(rig.ctx, bad, 0, 0), Result::Failed);
  EXPECT_EQ(DownloadFileToRange(rig.ctx, rig.Path("missing.bin"), 0, 0), Result::Failed);
  EXPECT_EQ(DownloadFileToRange(rig.ctx, rig.dirs.Dir().Path(), 0, 0), Result::Failed);
  EXPECT_EQ(rig.messages.messages,
            (Messages{"The selected file is over size!!!", "The selected file is over size!!!",
                      "Bad Intel HEX record at line 2 of \"bad.hex\": checksum mismatch",
                      "Can't open the selected file!!!", "Can't open the selected file!!!"}));
  EXPECT_TRUE(rig.Wire().empty());
  EXPECT_EQ(rig.Flash(0, 0, 0x8000), before);

  // A file ending exactly at the block's end fits.
  const Bytes top = Pattern(3 * 128, 4);
  ASSERT_EQ(DownloadFileToRange(rig.ctx, rig.Write("top.bin", top), 0, 0x8000 - 3 * 128), Result::Ok);
  EXPECT_EQ(rig.Flash(0, 0x8000 - 3 * 128, top.size()), top);
}

TEST_F(DownloadToRange, FailedEraseIsMinusOneAndFailedProgramIsFour) {
  rig.target->Faults().refuseEraseOccurrence = 1;
  EXPECT_EQ(DownloadFileToRange(rig.ctx, rig.Write("a.bin", Pattern(300, 5)), 0, 0), Result::Failed);

  // The read-back of the second chunk comes back with one bit changed.
  rig.target->Faults().refuseEraseOccurrence = 0;
  rig.target->Faults().replyFaults.push_back({sim::ReplyFault::Kind::Corrupt, 0x0C, 2, 7, 0x01, Millis{0}});
  EXPECT_EQ(DownloadFileToRange(rig.ctx, rig.Write("b.bin", Pattern(300, 6)), 0, 0), Result::ProgramFailed);
}

TEST(DownloadToBank, ErasesWholeBankSectorsAndProgramsIn128ByteChunksUpToTheBankEnd) {
  BankImageRig rig(kKT410);  // the bank, not the chip's 16 KB block, sets the limit
  const Bytes data = Pattern(5000, 7);
  ASSERT_EQ(DownloadFileToRange(rig.ctx, rig.Write("ext.bin", data), 0, 0x1000), Result::Ok);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), rig.bank->flash.begin() + 0x1000));
  const Bytes& wire = rig.bank->hostBytes;
  const Bytes start = Cat({FrameOf(0x04, 0x1000, 0x01), FrameOf(0x04, 0x2000, 0x01), FrameOf(0x06, 0x1000, 0x80)});
  ASSERT_GE(wire.size(), start.size());
  EXPECT_TRUE(std::equal(start.begin(), start.end(), wire.begin()));
  // 5000 bytes are 40 chunks of 128 with data; the padding to 8192 is blank.
  std::size_t programFrames = 0;
  for (std::size_t i = 8; i + 4 <= wire.size(); i += 4 + (wire[i] == 0x06 ? 128 : 0)) {
    ASSERT_TRUE(wire[i] == 0x06 || wire[i] == 0x03) << i;
    programFrames += wire[i] == 0x06;
  }
  EXPECT_EQ(programFrames, 40u);

  EXPECT_EQ(DownloadFileToRange(rig.ctx, rig.Write("fit.bin", Pattern(0x1000, 8)), 0, 0xF000), Result::Ok);
  EXPECT_EQ(DownloadFileToRange(rig.ctx, rig.Write("over.bin", Pattern(0x1001, 9)), 0, 0xF000), Result::OverSize);
  EXPECT_EQ(rig.messages.messages, Messages{"The selected file is over size!!!"});
}

}  // namespace
}  // namespace brisko::test
