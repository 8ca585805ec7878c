#include <gtest/gtest.h>

#include <vector>

#include "shell/session/session.hpp"
#include "shell/session/memory_views.hpp"
#include "support/scripted_operator.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

using Cells = std::array<std::string, 5>;

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t value) { return std::vector<std::uint8_t>(n, value); }

// A sector of zeros is "All Zeros" only when it was read just now: erased
// flash reads FFh, so zeros elsewhere may be an image never read.
TEST(BuildSectorTable, RowsCarryNumbersAddressesAndTheReadRange) {
  auto bytes = Bytes(5 * 128, 0xFF);
  std::fill(bytes.begin() + 128, bytes.begin() + 384, 0x00);  // sectors 1 and 2 zero
  bytes[3 * 128 + 77] = 0x00;
  std::fill(bytes.begin() + 4 * 128, bytes.end() - 1, 0x00);  // sector 4 zero but its last byte
  const SectorTableLayout layout{5, 128, 0x0000, 0, false};
  const auto rows = BuildSectorTable(bytes, layout, 4, 1);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0].cells, (Cells{"000", "0000", "007F", "00000", "Blank"}));
  EXPECT_EQ(rows[1].cells, (Cells{"001", "0080", "00FF", "00128", "All Zeros"}));
  EXPECT_EQ(rows[3].cells, (Cells{"003", "0180", "01FF", "00384", "Not Blank"}));
  EXPECT_EQ(rows[4].cells[4], "Not Blank");
  const auto unread = BuildSectorTable(bytes, layout, 1, 3);
  EXPECT_EQ(unread[0].cells[4], "Blank");
  EXPECT_EQ(unread[1].cells[4], "Unknown");
  EXPECT_EQ(unread[2].cells[4], "Unknown");
  EXPECT_EQ(BuildSectorTable(bytes, layout, -1, -1)[1].cells[4], "Unknown");
}

TEST(BuildSectorDump, HexCellsAndAsciiUpToTheFirstZero) {
  auto sector = Bytes(64, 0xFF);
  const std::uint8_t row0[16] = {0x41, 0x42, 0x00, 0x43, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  std::copy(std::begin(row0), std::end(row0), sector.begin());
  const auto rows = BuildSectorDump(sector, 0xF040, false);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].cells[0], "F040 - F04F");
  EXPECT_EQ(rows[0].cells[1], "41 42 00 43 04 05 06 07 - 08 09 0A 0B 0C 0D 0E 0F");
  EXPECT_EQ(rows[0].cells[2], "AB");
  EXPECT_EQ(rows[3].cells[0], "F070 - F07F");
  EXPECT_EQ(rows[3].cells[2], std::string(16, '\xFF'));
}

class MemoryViews : public ::testing::Test {
 protected:
  void Use(ChipModel model) {
    window.Record()->SetChipModel(model);
    window.Record()->applyGeometry();
    window.Record()->AllocateImages();
  }

  test::UserDirsInTemp dirs;
  test::ScriptedOperator op;
  Session window{op, [](const std::string&, std::string&) { return std::unique_ptr<SerialDevice>(); }};
};

TEST_F(MemoryViews, ReadRangeShowsItsFirstSectorAndLaterFillsKeepTheOtherView) {
  Use(kKT410);
  window.Record()->BlockImage(1).Fill(3 * 64, 64, 0x00);
  ShowReadRange(window, 1, 3, 2);
  WindowState state = window.Window().Snapshot();
  ASSERT_EQ(state.sectorTable.size(), 64u);
  EXPECT_EQ(state.sectorTable[3].cells[4], "All Zeros");
  ASSERT_EQ(state.dump.size(), 4u);
  EXPECT_EQ(state.dump[0].cells[0], "F0C0 - F0CF");

  // A fill without a read range (the tab switch) shows the zeros as unknown
  // and leaves the dump alone.
  FillSectorTable(window, 1, -1, -1);
  state = window.Window().Snapshot();
  EXPECT_EQ(state.sectorTable[3].cells[4], "Unknown");
  EXPECT_EQ(state.hotSectorRow, 0);
  EXPECT_EQ(state.dumpHeader, "SECTOR 003");

  ShowSectorDump(window, 0, 127);
  state = window.Window().Snapshot();
  EXPECT_EQ(state.dumpHeader, "SECTOR 127");
  EXPECT_EQ(state.dump[7].cells[0], "3FF0 - 3FFF");
  EXPECT_EQ(state.sectorTable[0].cells[1], "F000");
  ShowSectorDump(window, 0, 128);  // no such sector: nothing changes
  EXPECT_EQ(window.Window().Snapshot().dumpHeader, "SECTOR 127");
}

TEST_F(MemoryViews, ExternalBankViewsFollowTheSelectedBank) {
  Use(kKT540);
  FlashImage& bank = window.Record()->ExternalBankImage();
  bank[2 * 4096] = 'Z';
  bank[2 * 4096 + 1] = 0x00;
  window.State().externalHighBankSelected = true;
  ShowExternalReadRange(window, 2, 1);
  WindowState state = window.Window().Snapshot();
  // The high bank is numbered on from the low one, with wide addresses.
  EXPECT_EQ(state.sectorTable[2].cells, (Cells{"018", "12000", "12FFF", "073728", "Not Blank"}));
  EXPECT_EQ(state.hotSectorRow, 2);
  EXPECT_EQ(state.dumpHeader, "SECTOR 018");
  EXPECT_EQ(state.dump[0].cells[0], "12000 - 1200F");
  EXPECT_EQ(state.dump[0].cells[2], "Z");

  window.State().externalHighBankSelected = false;
  window.State().externalLowBankSelected = true;
  FillExternalSectorTable(window, -1, -1);
  ShowExternalSectorDump(window, 15);
  state = window.Window().Snapshot();
  EXPECT_EQ(state.sectorTable[15].cells, (Cells{"015", "F000", "FFFF", "61440", "Blank"}));
  EXPECT_EQ(state.dumpHeader, "SECTOR 015");
  EXPECT_EQ(state.dump.back().cells[0], "FFF0 - FFFF");
}

}  // namespace
}  // namespace brisko
