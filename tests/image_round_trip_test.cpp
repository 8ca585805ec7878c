// Download, read back and compare on every model, in both memory modes.
#include <gtest/gtest.h>

#include "image_rig.hpp"

namespace brisko::test {
namespace {

class RoundTrip : public ::testing::TestWithParam<int> {
 protected:
  static Bytes ReadBack(ImageRig& rig, std::uint32_t start, std::size_t n, std::uint32_t chunk) {
    Bytes bytes(n);
    EXPECT_EQ(rig.engine.ReadRange(bytes.data(), start, n, chunk), n);
    return bytes;
  }
  static int Compare(ImageRig& rig, const std::string& file, int block, std::uint32_t start) {
    long address = -1;
    int pair = -1;
    return CompareFileWithRange(rig.ctx, file, block, start, address, pair);
  }
};

TEST_P(RoundTrip, Block0InInternalMemoryMode) {
  SimImageRig rig(GetParam());
  ASSERT_TRUE(rig.Connect());
  const Bytes data = RandomData(1000, static_cast<unsigned>(GetParam()));
  const std::string file = rig.WriteBytes("b0.bin", data);

  ASSERT_EQ(DownloadFileToRange(rig.ctx, file, 0, 3 * 128), kResultOk);

  Bytes expected = data;
  expected.resize(1024, 0xFF);
  EXPECT_EQ(ReadBack(rig, 3 * 128, 1024, 128), expected);
  EXPECT_EQ(Compare(rig, file, 0, 3 * 128), kResultOk);
  EXPECT_TRUE(rig.messages.messages.empty());
}

TEST_P(RoundTrip, BothBlocksInExternalMemoryMode) {
  SimImageRig rig(GetParam(), kExternalMemory);
  ASSERT_TRUE(rig.Connect());
  const Bytes data0 = RandomData(700, 10 + static_cast<unsigned>(GetParam()));
  const Bytes data1 = RandomData(300, 20 + static_cast<unsigned>(GetParam()));
  const std::string file0 = rig.WriteBytes("b0.bin", data0);
  const std::string file1 = rig.WriteBytes("b1.bin", data1);
  const std::uint32_t start1 = rig.record.BaseAddress(1) + 2 * rig.record.SectorSize(1);
  const bool shared = SharesBlockAddresses(GetParam());

  ASSERT_EQ(DownloadFileToBlock(rig.ctx, file0, 0, 0x180), kResultOk);
  if (shared) {
    ASSERT_TRUE(rig.engine.SelectBlock1());
  }
  ASSERT_EQ(DownloadFileToBlock(rig.ctx, file1, 1, start1), kResultOk);

  EXPECT_EQ(Compare(rig, file1, 1, start1), kResultOk);
  EXPECT_EQ(rig.Flash(1, start1 - rig.record.BaseAddress(1), data1.size()), data1);
  if (shared) {
    ASSERT_TRUE(rig.engine.SelectBlock0());
  }
  EXPECT_EQ(Compare(rig, file0, 0, 0x180), kResultOk);
  EXPECT_EQ(rig.Flash(0, 0x180, data0.size()), data0);
  EXPECT_TRUE(rig.messages.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Models, RoundTrip,
                         ::testing::Values(kKT410, kKT420, kKT530, kKT540, kKT550, kKT560, kKT570, kKT580),
                         [](const auto& info) { return std::string(DescribeChip(info.param).chipTypeText); });

}  // namespace
}  // namespace brisko::test
