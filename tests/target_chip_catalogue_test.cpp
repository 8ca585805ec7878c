#include <gtest/gtest.h>

#include "target/chip_catalogue.hpp"
#include "target/session_record.hpp"
#include "target/status_decoding.hpp"
#include "support/recording_sink.hpp"

namespace brisko {
namespace {

SessionRecord NewRecord(test::RecordingSink& sink) {
  return SessionRecord(sink, [](const std::string&, std::string& why) {
    why = "no device in this test";
    return std::unique_ptr<SerialDevice>();
  });
}

TEST(SessionRecord, NewRecordIsKT420InternalWithItsGeometry) {
  test::RecordingSink sink;
  SessionRecord record = NewRecord(sink);
  EXPECT_EQ(record.GetChipModel(), kKT420);
  EXPECT_EQ(record.GetMemoryMode(), kInternalMemory);
  EXPECT_EQ(record.SectorCount(0), 256u);
  EXPECT_EQ(record.SectorSize(0), 128u);
  EXPECT_EQ(record.BaseAddress(0), 0x0000u);
  EXPECT_EQ(record.SectorCount(1), 64u);
  EXPECT_EQ(record.SectorSize(1), 64u);
  EXPECT_EQ(record.BaseAddress(1), 0xF000u);
  EXPECT_DOUBLE_EQ(record.GetCrystal(), 11.0592);
  EXPECT_EQ(record.Port().GetPortNumber(), 1);
  EXPECT_EQ(record.Port().GetBaudRate(), 38400u);
  EXPECT_TRUE(record.BlockImage(0).Empty());
}

TEST(SessionRecord, GeometryFollowsTheModel) {
  test::RecordingSink sink;
  SessionRecord record = NewRecord(sink);
  record.SetChipModel(kKT540);
  record.applyGeometry();
  EXPECT_EQ(record.BaseAddress(1), 0x0000u);
  EXPECT_EQ(record.SectorSize(1), 128u);
  EXPECT_EQ(record.BlockSize(0), 65536u);
  record.SetChipModel(kKT530);
  record.applyGeometry();
  EXPECT_EQ(record.BaseAddress(1), 0xE000u);
  EXPECT_EQ(record.BlockSize(0), 32768u);
  EXPECT_EQ(record.RowCount(0), record.SectorCount(0));
  record.SetChipModel(42);  // unknown codes take the fallback row
  record.applyGeometry();
  EXPECT_EQ(record.SectorCount(0), 512u);
  EXPECT_EQ(record.SectorSize(1), 64u);
  EXPECT_EQ(record.BaseAddress(1), 0xF000u);
}

TEST(SessionRecord, AllocateImagesBlanksBothBlocksAndTheBank) {
  test::RecordingSink sink;
  SessionRecord record = NewRecord(sink);
  record.SetChipModel(kKT580);
  record.applyGeometry();
  record.AllocateImages();
  for (int b = 0; b < 2; ++b) {
    ASSERT_EQ(record.BlockImage(b).Size(), 8192u + 16u);
    for (std::size_t i = 0; i < 8192; ++i) ASSERT_EQ(record.BlockImage(b)[i], 0xFF);
  }
  ASSERT_EQ(record.ExternalBankImage().Size(), 65580u);
  for (std::size_t i = 0; i < 65580; ++i) ASSERT_EQ(record.ExternalBankImage()[i], 0xFF);
}

TEST(ChipCatalogue, TextsAndFamilies) {
  EXPECT_STREQ(DescribeChip(kKT410).flashSizeText, "16+4 KB");
  EXPECT_STREQ(DescribeChip(kKT580).flashSizeText, "8+8 KB");
  EXPECT_STREQ(DescribeChip(0).chipTypeText, "????????");
  EXPECT_EQ(FamilyOf(kKT420), ChipFamily::KT400);
  EXPECT_EQ(FamilyOf(kKT530), ChipFamily::KT500);
  EXPECT_EQ(FamilyOf(9), ChipFamily::None);
  EXPECT_EQ(ModelFromName("kt560"), kKT560);
  EXPECT_FALSE(ModelFromName("KT590").has_value());
  EXPECT_EQ(Block1Start(kKT410), 0xF000u);
  EXPECT_EQ(Block1Start(kKT570), 0xE000u);
  EXPECT_EQ(Block1Start(kKT550), 0x0000u);
  EXPECT_EQ(LoaderReentryAddress(kKT550), 0x02CA);
  EXPECT_EQ(LoaderReentryAddress(kKT570), 0xE2CA);
  EXPECT_EQ(LoaderReentryAddress(kKT420), 0xF080);
  EXPECT_FALSE(LoaderReentryAddress(kKT580).has_value());
}

TEST(ChipCatalogue, RemapAndVersionTexts) {
  EXPECT_EQ(RemapText(kKT410, 0x01), "1 KByte");
  EXPECT_EQ(RemapText(kKT420, 0x03), "4 KByte");
  EXPECT_EQ(RemapText(kKT560, 0x6B), "Block1 Invisible");
  EXPECT_EQ(RemapText(kKT540, 0x00), "8 KByte");
  EXPECT_EQ(RemapText(kKT540, 0x01), "0 KByte");
  EXPECT_EQ(RemapText(0, 0x01), "");
  EXPECT_EQ(FirmwareVersionText(0x11, 'F'), "v1.1F");
  EXPECT_EQ(FirmwareVersionText(0x11, 'E'), "v1.1?");
  EXPECT_EQ(FirmwareVersionText(0x12, 'F'), "?????");
}

TEST(ChipCatalogue, SecurityTextsDependOnTheFamily) {
  // 011 is level 3 on the KT500 family (with its odd blank) and level 4 on the KT400 family.
  auto kt500 = SecurityStatusText(0x60, kKT540);
  ASSERT_TRUE(kt500);
  EXPECT_EQ(kt500->text, "SECURITY : CHIP IS LEVEL3 HARDLOCKED (FSTAT[7:5]: 011)");
  EXPECT_FALSE(kt500->level4);
  auto kt400 = SecurityStatusText(0x60, kKT410);
  ASSERT_TRUE(kt400);
  EXPECT_EQ(kt400->text, "SECURITY : CHIP IS LEVEL4 HARDLOCKED (FSTAT[7:5]:011)");
  EXPECT_TRUE(kt400->level4);
  EXPECT_EQ(SecurityStatusText(0x80, kKT420)->text, "SECURITY : CHIP IS LEVEL2 HARDLOCKED (FSTAT[7:5]:100)");
  EXPECT_EQ(SecurityStatusText(0x80, kKT570)->text, "SECURITY : CHIP IS LEVEL2 SOFTLOCKED (FSTAT[7:5]:100)");
  EXPECT_TRUE(SecurityStatusText(0xE0, kKT580)->level4);
  EXPECT_EQ(SecurityStatusText(0x00, 0)->text, "SECURITY : CHIP IS UNLOCKED (FSTAT[7:5]:000)");
  // Rows that differ between the families have no text for an unknown model.
  EXPECT_FALSE(SecurityStatusText(0x60, 0).has_value());
  EXPECT_FALSE(SecurityStatusText(0x80, 0).has_value());
  EXPECT_FALSE(SecurityStatusText(0xC0, 0).has_value());
}

bool On(const ButtonChanges& changes, IapButton button) { return changes[static_cast<int>(button)].value(); }

TEST(ButtonsAfterDetection, InternalModeFollowsTheLockLevel) {
  // Status 6Bh on a KT560: level 3 hard lock, writing disabled, lock and remap enabled.
  auto kt560 = ButtonsAfterDetection(kInternalMemory, kKT560, 0x60);
  EXPECT_FALSE(On(kt560, IapButton::Download));
  EXPECT_FALSE(On(kt560, IapButton::SectorErase));
  EXPECT_FALSE(On(kt560, IapButton::DownloadRun));
  EXPECT_TRUE(On(kt560, IapButton::LockChip));
  EXPECT_TRUE(On(kt560, IapButton::MemoryRemap));
  EXPECT_TRUE(On(kt560, IapButton::Read));
  EXPECT_FALSE(On(kt560, IapButton::ChipErase));

  EXPECT_TRUE(On(ButtonsAfterDetection(kInternalMemory, kKT540, 0xC0), IapButton::Download));
  EXPECT_FALSE(On(ButtonsAfterDetection(kInternalMemory, kKT420, 0x80), IapButton::Download));
  EXPECT_FALSE(On(ButtonsAfterDetection(kInternalMemory, kKT420, 0x00), IapButton::LockChip));

  auto unknown = ButtonsAfterDetection(kInternalMemory, 0, 0x00);
  EXPECT_FALSE(unknown[static_cast<int>(IapButton::Download)].has_value());
  EXPECT_TRUE(On(unknown, IapButton::Read));
}

TEST(ButtonsAfterDetection, ExternalModeOnlyWhenUnlocked) {
  auto unlocked = ButtonsAfterDetection(kExternalMemory, kKT410, 0x00);
  EXPECT_TRUE(On(unlocked, IapButton::ChipErase));
  EXPECT_TRUE(On(unlocked, IapButton::Download));
  EXPECT_TRUE(On(unlocked, IapButton::LockChip));
  EXPECT_FALSE(On(unlocked, IapButton::DownloadRun));
  auto locked = ButtonsAfterDetection(kExternalMemory, kKT540, 0x20);
  EXPECT_TRUE(On(locked, IapButton::ChipErase));
  EXPECT_FALSE(On(locked, IapButton::Download));
  EXPECT_FALSE(On(locked, IapButton::MemoryRemap));
}

}  // namespace
}  // namespace brisko
