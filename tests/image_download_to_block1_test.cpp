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
  std::uint32_t start;    // past the loader's sectors
  std::uint16_t reentry;  // where the programmer hands back to the loader
};

class DownloadToBlock1 : public ::testing::TestWithParam<Block1Case> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(rig.Connect());
    ParkProgrammer();
  }

  void ParkProgrammer() {
    const auto& programmer = IsKT400(GetParam().model) ? firmware::Block1ProgrammerKT400
                                                       : firmware::Block1ProgrammerKT500;
    if (!IsKT400(GetParam().model)) {
      ASSERT_TRUE(rig.engine.SelectBlock0());
    }
    ASSERT_EQ(rig.engine.EraseSectors(0x2000, 128, 3), kResultOk);
    ASSERT_EQ(rig.engine.ProgramRange(0x2000, 128, programmer.data(), programmer.size()), kResultOk);
    ASSERT_EQ(rig.engine.SendStartCommand(0x2027, 0x10), kResultOk);
    ASSERT_EQ(rig.target->CurrentPhase(), Phase::Programmer);
    rig.ClearWire();
  }

  Bytes FirstFrame() const {
    const Bytes wire = rig.Wire();
    return Bytes(wire.begin(), wire.begin() + static_cast<long>(std::min<std::size_t>(4, wire.size())));
  }

  std::size_t Offset() const { return GetParam().start - rig.record.BaseAddress(1); }

  SimImageRig rig{GetParam().model};
};

TEST_P(DownloadToBlock1, ProgramsThroughTheParkedProgrammerAndComparesAfterwards) {
  const std::uint32_t unit = rig.record.SectorSize(1);
  const Bytes data = RandomData(1000, 1);
  const std::string file = rig.WriteBytes("b1.bin", data);
  const Bytes after = rig.Flash(1, Offset() + RoundUp(1000, unit), 64);

  ASSERT_EQ(DownloadFileToBlock1(rig.ctx, file, GetParam().start), kResultOk);

  EXPECT_EQ(rig.Flash(1, Offset(), 1000), data);
  EXPECT_EQ(rig.Flash(1, Offset() + 1000, RoundUp(1000, unit) - 1000), Bytes(RoundUp(1000, unit) - 1000, 0xFF));
  EXPECT_EQ(rig.Flash(1, Offset() + RoundUp(1000, unit), 64), after);
  // Sector by sector first, then once more in the programmer's own frame.
  EXPECT_EQ(FirstFrame(), FrameOf(0x0B, GetParam().start, 0x01));
  EXPECT_TRUE(rig.messages.messages.empty());

  ASSERT_EQ(rig.engine.SendStartCommand(GetParam().reentry, 0x01), kResultOk);
  ASSERT_EQ(rig.target->CurrentPhase(), Phase::Loader);
  if (!IsKT400(GetParam().model)) {
    ASSERT_TRUE(rig.engine.SelectBlock1());
  }
  long address = -1;
  int pair = -1;
  EXPECT_EQ(CompareFileWithRange(rig.ctx, file, 1, GetParam().start, address, pair), kResultOk);
}

TEST_P(DownloadToBlock1, LoaderUpdateLeavesTheEraseToTheProgrammer) {
  rig.state.loaderUpdateInProgress = true;
  const Bytes data = RandomData(3 * rig.record.SectorSize(1), 2);
  ASSERT_EQ(DownloadFileToBlock1(rig.ctx, rig.WriteBytes("b1.bin", data), GetParam().start), kResultOk);
  EXPECT_EQ(FirstFrame(), FrameOf(0x0B, GetParam().start, 0x03));
  EXPECT_EQ(rig.Flash(1, Offset(), data.size()), data);
}

TEST_P(DownloadToBlock1, RefusalsAndAFailedErase) {
  const std::uint32_t base = rig.record.BaseAddress(1);
  const std::size_t size = rig.record.BlockSize(1);
  EXPECT_EQ(DownloadFileToBlock1(rig.ctx, rig.WriteBytes("over.bin", RandomData(size + 1, 3)), base),
            kResultOverSize);
  EXPECT_EQ(DownloadFileToBlock1(rig.ctx, rig.Path("missing.hex"), GetParam().start), kResultFail);
  EXPECT_TRUE(rig.Wire().empty());

  rig.messages.messages.clear();
  // Three erase frames parked the programmer; the fourth is the first here.
  rig.target->Faults().refuseEraseOccurrence = 4;
  EXPECT_EQ(DownloadFileToBlock1(rig.ctx, rig.WriteBytes("a.bin", RandomData(64, 4)), GetParam().start),
            kResultFail);
  EXPECT_EQ(rig.messages.messages, (Messages{"Sector erase failed!!!", "Erase failed on talon51!"}));
}

INSTANTIATE_TEST_SUITE_P(Models, DownloadToBlock1,
                         ::testing::Values(Block1Case{kKT410, 0xF400, 0xF080}, Block1Case{kKT530, 0xE480, 0xE2CA},
                                           Block1Case{kKT540, 0x0480, 0x02CA}),
                         [](const auto& info) { return std::string(DescribeChip(info.param.model).chipTypeText); });

TEST(DownloadToBlock1Limits, Kt410Block1TakesAtMost4096BytesFromF000) {
  SimImageRig rig(kKT410);
  ASSERT_TRUE(rig.Connect());
  EXPECT_EQ(DownloadFileToBlock1(rig.ctx, rig.WriteBytes("over.bin", RandomData(4097, 5)), 0xF000),
            kResultOverSize);
  EXPECT_EQ(DownloadFileToBlock1(rig.ctx, rig.WriteBytes("late.bin", RandomData(0x101, 5)), 0xFF00),
            kResultOverSize);
  EXPECT_EQ(rig.messages.messages, (Messages{"The selected file is over size!!!", "The selected file is over size!!!"}));
  EXPECT_TRUE(rig.Wire().empty());
}

}  // namespace
}  // namespace brisko::test
