#include <gtest/gtest.h>

#include "shell/dialog_lists.hpp"
#include "support/recording_sink.hpp"

namespace brisko {
namespace {

class DialogListsTest : public ::testing::Test {
 protected:
  SessionRecord& Model(int code) {
    record.SetChipModel(code);
    record.applyGeometry();
    return record;
  }

  test::RecordingSink sink;
  SessionRecord record{sink, [](const std::string&, std::string&) { return std::unique_ptr<SerialDevice>(); }};
};

TEST_F(DialogListsTest, BlockZeroThenBlockOneEntries) {
  const auto entries = StartSectorList(Model(kKT420), true, BankView::None);
  ASSERT_EQ(entries.size(), 256u + 64u);
  EXPECT_EQ(entries[0], "Sector 000    Addr=0000");
  EXPECT_EQ(entries[1], "Sector 001    Addr=0080");
  EXPECT_EQ(entries[255], "Sector 255    Addr=7F80");
  EXPECT_EQ(entries[256], "B1 Str 000    Addr=F000");
  EXPECT_EQ(entries[319], "B1 Str 063    Addr=FFC0");  // 64-byte sectors

  EXPECT_EQ(StartSectorList(record, false, BankView::None).size(), 256u);
}

TEST_F(DialogListsTest, BlockOneStartFollowsTheModel) {
  auto entries = StartSectorList(Model(kKT410), true, BankView::None);
  ASSERT_EQ(entries.size(), 128u + 64u);
  EXPECT_EQ(entries[128], "B1 Str 000    Addr=F000");
  EXPECT_EQ(entries[129], "B1 Str 001    Addr=F040");

  entries = StartSectorList(Model(kKT540), true, BankView::None);
  ASSERT_EQ(entries.size(), 512u + 64u);
  EXPECT_EQ(entries[511], "Sector 511    Addr=FF80");
  EXPECT_EQ(entries[512], "B1 Str 000    Addr=0000");
  EXPECT_EQ(entries[513], "B1 Str 001    Addr=0080");

  entries = StartSectorList(Model(kKT530), true, BankView::None);
  EXPECT_EQ(entries[300], "B1 Str 044    Addr=F600");

  entries = StartSectorList(Model(kKT580), true, BankView::None);
  ASSERT_EQ(entries.size(), 64u + 64u);
  EXPECT_EQ(entries[64], "B1 Str 000    Addr=E000");
  EXPECT_EQ(entries[127], "B1 Str 063    Addr=FF80");
}

TEST_F(DialogListsTest, BankViewsListSixteenSectorsOfFourKilobytes) {
  Model(kKT540);
  const auto low = StartSectorList(record, true, BankView::Low);
  ASSERT_EQ(low.size(), 16u);
  EXPECT_EQ(low[0], "Sector 000    Addr=0000");
  EXPECT_EQ(low[1], "Sector 001    Addr=1000");
  EXPECT_EQ(low[15], "Sector 015    Addr=F000");

  const auto high = StartSectorList(record, false, BankView::High);
  ASSERT_EQ(high.size(), 16u);
  EXPECT_EQ(high[0], "Sector 016    Addr=10000");
  EXPECT_EQ(high[15], "Sector 031    Addr=1F000");
}

TEST_F(DialogListsTest, RangeListStopsOneShortOfTheBlock) {
  auto ranges = RangeList(Model(kKT420), BankView::None);
  ASSERT_EQ(ranges.size(), 256u);
  EXPECT_EQ(ranges[0], "All Sectors");
  EXPECT_EQ(ranges[1], "001 sectors");
  EXPECT_EQ(ranges[255], "255 sectors");

  ranges = RangeList(Model(kKT580), BankView::None);
  ASSERT_EQ(ranges.size(), 64u);
  EXPECT_EQ(ranges.back(), "063 sectors");

  ranges = RangeList(Model(kKT540), BankView::High);
  ASSERT_EQ(ranges.size(), 16u);
  EXPECT_EQ(ranges.back(), "015 sectors");
}

TEST_F(DialogListsTest, StartIndexTurnsIntoBlockAndAddress) {
  Model(kKT530);
  StartChoice start = ResolveStartIndex(record, 250);
  EXPECT_EQ(start.block, 0);
  EXPECT_EQ(start.address, 0x7D00u);
  start = ResolveStartIndex(record, 300);
  EXPECT_EQ(start.block, 1);
  EXPECT_EQ(start.address, 0xF600u);
  start = ResolveStartIndex(record, 256);
  EXPECT_EQ(start.block, 1);
  EXPECT_EQ(start.address, 0xE000u);

  start = ResolveStartIndex(Model(kKT410), 128 + 15);
  EXPECT_EQ(start.block, 1);
  EXPECT_EQ(start.address, 0xF3C0u);

  start = ResolveStartIndex(Model(kKT540), 512 + 9);
  EXPECT_EQ(start.block, 1);
  EXPECT_EQ(start.address, 0x0480u);
}

TEST_F(DialogListsTest, SectorCountIsClippedAtTheEndOfTheBlock) {
  Model(kKT530);
  const StartChoice s250 = ResolveStartIndex(record, 250);
  EXPECT_EQ(ResolveSectorCount(record, s250, 10), 6u);  // 250..255
  EXPECT_EQ(ResolveSectorCount(record, s250, 3), 3u);
  EXPECT_EQ(ResolveSectorCount(record, s250, 0), 6u);
  EXPECT_EQ(ResolveSectorCount(record, ResolveStartIndex(record, 0), 0), 256u);
  // Block 1 counts its own sectors, whatever the range list offered.
  EXPECT_EQ(ResolveSectorCount(record, ResolveStartIndex(record, 256), 0), 64u);
  EXPECT_EQ(ResolveSectorCount(record, ResolveStartIndex(record, 256 + 60), 200), 4u);

  EXPECT_EQ(ResolveSectorCount(Model(kKT570), ResolveStartIndex(record, 120), 0), 8u);

  Model(kKT410);
  EXPECT_EQ(ResolveSectorCount(record, ResolveStartIndex(record, 128 + 60), 0), 4u);

  Model(kKT540);
  const StartChoice b1 = ResolveStartIndex(record, 512 + 10);
  EXPECT_EQ(b1.address, 0x0500u);
  EXPECT_EQ(ResolveSectorCount(record, b1, 5), 5u);
}

TEST_F(DialogListsTest, NoSelectionCountsAsTheFirstEntry) {
  Model(kKT420);
  const StartChoice start = ResolveStartIndex(record, -1);
  EXPECT_EQ(start.block, 0);
  EXPECT_EQ(start.address, 0u);
  EXPECT_EQ(ResolveSectorCount(record, start, -1), 256u);
}

}  // namespace
}  // namespace brisko
