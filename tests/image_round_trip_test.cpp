// Download and compare on every model in external memory mode, both blocks.
#include <gtest/gtest.h>

#include "image_rig.hpp"

namespace brisko::test {
namespace {

Result Compare(RoutineParts& rig, const std::string& file, int block, std::uint32_t start) {
  long address = -1;
  int pair = -1;
  return CompareFileWithRange(rig.ctx, file, block, start, address, pair);
}

class RoundTrip : public ::testing::TestWithParam<int> {};

// Internal memory mode round trips run through the shell's commands.
TEST_P(RoundTrip, BothBlocksInExternalMode) {
  const auto seed = static_cast<unsigned>(GetParam());
  SimImageRig rig(GetParam(), kExternalMemory);
  ASSERT_TRUE(rig.Connect());
  const Bytes data0 = Pattern(700, seed + 10), data1 = Pattern(300, seed + 20);
  const std::string file0 = rig.Write("b0.bin", data0), file1 = rig.Write("b1.bin", data1);
  const std::uint32_t start1 = rig.record.BaseAddress(1) + 2 * rig.record.SectorSize(1);
  const bool shared = SharesBlockAddresses(GetParam());
  ASSERT_EQ(DownloadFileToBlock(rig.ctx, file0, 0, 0x180), Result::Ok);
  ASSERT_TRUE(!shared || rig.engine.SelectBlock1());
  ASSERT_EQ(DownloadFileToBlock(rig.ctx, file1, 1, start1), Result::Ok);
  EXPECT_EQ(Compare(rig, file1, 1, start1), Result::Ok);
  EXPECT_EQ(rig.Flash(1, start1 - rig.record.BaseAddress(1), data1.size()), data1);
  ASSERT_TRUE(!shared || rig.engine.SelectBlock0());
  EXPECT_EQ(Compare(rig, file0, 0, 0x180), Result::Ok);
  EXPECT_EQ(rig.Flash(0, 0x180, data0.size()), data0);
  EXPECT_TRUE(rig.messages.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Models, RoundTrip,
                         ::testing::Values(kKT410, kKT420, kKT530, kKT540, kKT550, kKT560, kKT570, kKT580),
                         [](const auto& info) { return std::string(DescribeChip(info.param).chipTypeText); });

}  // namespace
}  // namespace brisko::test
