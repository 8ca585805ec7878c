#include <gtest/gtest.h>

#include "shell/flash/dialog_lists.hpp"
#include "support/recording_sink.hpp"

namespace brisko {
namespace {

class DialogListsTest : public ::testing::Test {
 protected:
  SessionRecord& Model(ChipModel code) {
    record.SetChipModel(code);
    record.applyGeometry();
    return record;
  }

  test::RecordingSink sink;
  SessionRecord record{sink, [](const std::string&, std::string&) { return std::unique_ptr<SerialDevice>(); }};
};

TEST_F(DialogListsTest, StartEntriesListBlock0ThenBlock1OrTheBankSectors) {
  struct Case {
    ChipModel model;
    BankView view;
    std::size_t size;
    std::size_t index;
    const char* text;
  } cases[] = {
      {kKT420, BankView::None, 256 + 64, 255, "Sector 255    Addr=7F80"},
      {kKT420, BankView::None, 256 + 64, 257, "B1 Str 001    Addr=F040"},  // 64-byte sectors
      {kKT540, BankView::None, 512 + 64, 513, "B1 Str 001    Addr=0080"},
      {kKT580, BankView::None, 64 + 64, 64, "B1 Str 000    Addr=E000"},
      {kKT540, BankView::Low, 16, 15, "Sector 015    Addr=F000"},
      {kKT540, BankView::High, 16, 15, "Sector 031    Addr=1F000"},
  };
  for (const auto& c : cases) {
    const auto entries = StartSectorList(Model(c.model), true, c.view);
    ASSERT_EQ(entries.size(), c.size) << c.text;
    const SectorEntry& entry = entries[c.index];
    EXPECT_EQ(entry.label, c.text);
    // The block and the address are the ones the label shows.
    const std::string text = c.text;
    EXPECT_EQ(entry.block, c.view != BankView::None ? -1 : text.rfind("B1", 0) == 0 ? 1 : 0) << c.text;
    EXPECT_EQ(entry.address, std::stoul(text.substr(text.find('=') + 1), nullptr, 16)) << c.text;
  }
  EXPECT_EQ(StartSectorList(Model(kKT420), false, BankView::None).size(), 256u);
}

TEST_F(DialogListsTest, RangeListStopsOneShortOfTheBlock) {
  auto ranges = RangeList(Model(kKT420), BankView::None);
  ASSERT_EQ(ranges.size(), 256u);
  EXPECT_EQ(ranges[0], "All Sectors");
  EXPECT_EQ(ranges[1], "001 sectors");
  EXPECT_EQ(ranges[255], "255 sectors");
  EXPECT_EQ(RangeList(Model(kKT580), BankView::None).back(), "063 sectors");
}

TEST_F(DialogListsTest, ChoicesTurnIntoBlockAddressAndSectorCountClippedAtTheBlockEnd) {
  struct Case {
    ChipModel model;
    int start;
    int range;
    int block;
    std::uint32_t address;
    std::size_t sectors;
  } cases[] = {
      {kKT530, 250, 0, 0, 0x7D00, 6},       {kKT530, 0, 0, 0, 0x0000, 256},
      {kKT530, 256, 0, 1, 0xE000, 64},      // block 1 counts its own sectors
      {kKT530, 256 + 60, 200, 1, 0xFE00, 4}, {kKT570, 120, 0, 0, 0x3C00, 8},
      {kKT410, 128 + 60, 0, 1, 0xFF00, 4},  {kKT540, 512 + 10, 5, 1, 0x0500, 5},
      {kKT420, -1, -1, 0, 0x0000, 256},  // no selection: the first entry
  };
  for (const auto& c : cases) {
    const StartChoice start = ResolveStartIndex(Model(c.model), c.start);
    EXPECT_EQ(start.block, c.block) << c.model << " entry " << c.start;
    EXPECT_EQ(start.address, c.address) << c.model << " entry " << c.start;
    EXPECT_EQ(ResolveSectorCount(record, start, c.range), c.sectors) << c.model << " entry " << c.start;
  }
}

}  // namespace
}  // namespace brisko
