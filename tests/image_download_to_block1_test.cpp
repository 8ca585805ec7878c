// DownloadFileToBlock1: block 1 in internal memory mode, through the
// programmer parked in block 0 at 2000h and started at 2027h.
#include <gtest/gtest.h>

#include "firmware/firmware.hpp"
#include "image/image_file.hpp"
#include "image_rig.hpp"

namespace brisko::test {
namespace {

using Phase = sim::SimTarget::Phase;
using Messages = std::vector<std::string>;

struct Block1Case {
  int model;
  std::uint32_t start;  // past the loader's sectors
};

class DownloadToBlock1 : public ::testing::TestWithParam<Block1Case> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(rig.Connect());
    const bool kt400 = IsKT400(GetParam().model);
    const auto& programmer = kt400 ? firmware::Block1ProgrammerKT400 : firmware::Block1ProgrammerKT500;
    ASSERT_TRUE(kt400 || rig.engine.SelectBlock0());
    ASSERT_EQ(rig.engine.EraseSectors(0x2000, 128, 3), Result::Ok);
    ASSERT_EQ(rig.engine.ProgramRange(0x2000, 128, programmer.data(), programmer.size()), Result::Ok);
    ASSERT_EQ(rig.engine.SendStartCommand(0x2027, 0x10), Result::Ok);
    ASSERT_EQ(rig.target->CurrentPhase(), Phase::Programmer);
    rig.ClearWire();
  }
  Bytes FirstFrame() const { return Bytes(rig.Wire().begin(), rig.Wire().begin() + 4); }
  std::size_t Offset(std::uint32_t address) const { return address - rig.record.BaseAddress(1); }

  SimImageRig rig{GetParam().model};
};

TEST_P(DownloadToBlock1, ProgramsThroughTheParkedProgrammerSectorBySectorOrAllAtOnce) {
  const std::uint32_t start = GetParam().start, unit = rig.record.SectorSize(1);
  const std::size_t padded = RoundUp(1000, unit);
  const Bytes data = Pattern(1000, 1);
  const Bytes after = rig.Flash(1, Offset(start) + padded, 64);

  ASSERT_EQ(DownloadFileToBlock1(rig.ctx, rig.Write("b1.bin", data), start), Result::Ok);
  EXPECT_EQ(rig.Flash(1, Offset(start), 1000), data);
  EXPECT_EQ(rig.Flash(1, Offset(start) + 1000, padded - 1000), Bytes(padded - 1000, 0xFF));
  EXPECT_EQ(rig.Flash(1, Offset(start) + padded, 64), after);
  EXPECT_EQ(FirstFrame(), FrameOf(0x0B, start, 0x01));  // erased sector by sector
  EXPECT_TRUE(rig.messages.messages.empty());

  // A loader update leaves the erase of all its sectors to the programmer.
  rig.ClearWire();
  rig.state.loaderUpdateInProgress = true;
  const std::uint32_t second = start + static_cast<std::uint32_t>(padded + unit);
  const Bytes update = Pattern(3 * unit, 2);
  ASSERT_EQ(DownloadFileToBlock1(rig.ctx, rig.Write("update.bin", update), second), Result::Ok);
  EXPECT_EQ(FirstFrame(), FrameOf(0x0B, second, 0x03));
  EXPECT_EQ(rig.Flash(1, Offset(second), update.size()), update);
  EXPECT_EQ(rig.target->CurrentPhase(), Phase::Programmer);  // handing back is the caller's step
}

TEST_P(DownloadToBlock1, RefusalsSendNothingAndAFailedEraseIsReported) {
  const std::uint32_t base = rig.record.BaseAddress(1);
  const std::size_t size = rig.record.BlockSize(1);
  for (const auto& [start, bytes] : {std::pair{base, size + 1}, {static_cast<std::uint32_t>(base + size - 0x100), 0x101}})
    EXPECT_EQ(DownloadFileToBlock1(rig.ctx, rig.Write("over.bin", Pattern(bytes, 3)), start), Result::OverSize);
  EXPECT_EQ(DownloadFileToBlock1(rig.ctx, rig.Path("missing.hex"), GetParam().start), Result::Failed);
  EXPECT_EQ(rig.messages.messages, (Messages{"The selected file is over size!!!", "The selected file is over size!!!",
                                             "Can't open the selected file!!!"}));
  EXPECT_TRUE(rig.Wire().empty());

  rig.messages.messages.clear();
  rig.target->Faults().refuseEraseOccurrence = 4;  // the parking took three erase frames
  EXPECT_EQ(DownloadFileToBlock1(rig.ctx, rig.Write("a.bin", Pattern(64, 4)), GetParam().start), Result::Failed);
  EXPECT_EQ(rig.messages.messages, (Messages{"Sector erase failed!!!", "Erase failed on talon51!"}));
}

INSTANTIATE_TEST_SUITE_P(Models, DownloadToBlock1,
                         ::testing::Values(Block1Case{kKT410, 0xF400}, Block1Case{kKT530, 0xE480},
                                           Block1Case{kKT540, 0x0480}),
                         [](const auto& info) { return std::string(DescribeChip(info.param.model).chipTypeText); });

}  // namespace
}  // namespace brisko::test
