#include <gtest/gtest.h>

#include "support/recording_sink.hpp"
#include "chip/chip_catalogue.hpp"
#include "chip/session_record.hpp"
#include "chip/status_decoding.hpp"

namespace brisko {
namespace {

// The defaults and each model's geometry are checked through the settings file
// and the dialogs' sector lists.
TEST(SessionRecord, UnknownModelsTakeTheFallbackGeometryAndNewImagesAreBlank) {
  test::RecordingSink sink;
  SessionRecord record(sink, [](const std::string&, std::string&) { return std::unique_ptr<SerialDevice>(); });
  EXPECT_TRUE(record.BlockImage(0).Empty());
  record.SetChipModel(static_cast<ChipModel>(42));
  record.applyGeometry();
  EXPECT_EQ(record.SectorCount(0), 512u);
  EXPECT_EQ(record.SectorSize(1), 64u);
  EXPECT_EQ(record.BaseAddress(1), 0xF000u);

  record.SetChipModel(kKT580);
  record.applyGeometry();
  record.AllocateImages();
  for (const FlashImage* image : {&record.BlockImage(0), &record.BlockImage(1), &record.ExternalBankImage()}) {
    ASSERT_EQ(image->Size(), image == &record.ExternalBankImage() ? 65580u : 8192u + 16u);
    for (std::size_t i = 0; i < image->Size(); ++i) ASSERT_EQ((*image)[i], 0xFF) << i;
  }
}

// The texts the detection shows for the common cases are checked through the
// detect command; these are the rows that differ by family or model.
TEST(ChipCatalogue, FamiliesLoaderAddressesAndTheRarerTexts) {
  EXPECT_EQ(FamilyOf(kKT420), ChipFamily::KT400);
  EXPECT_EQ(FamilyOf(kKT530), ChipFamily::KT500);
  EXPECT_EQ(FamilyOf(9), ChipFamily::None);
  EXPECT_STREQ(DescribeChip(0).chipTypeText, "????????");
  EXPECT_EQ(ModelFromName("kt560"), kKT560);
  EXPECT_FALSE(ModelFromName("KT590").has_value());
  EXPECT_EQ(Block1Start(kKT410), 0xF000u);
  EXPECT_EQ(Block1Start(kKT570), 0xE000u);
  EXPECT_EQ(Block1Start(kKT550), 0x0000u);
  EXPECT_EQ(LoaderReentryAddress(kKT550), 0x02CA);
  EXPECT_EQ(LoaderReentryAddress(kKT570), 0xE2CA);
  EXPECT_EQ(LoaderReentryAddress(kKT420), 0xF080);
  EXPECT_FALSE(LoaderReentryAddress(kKT580).has_value());

  EXPECT_EQ(RemapText(kKT420, 0x03), "4 KByte");
  EXPECT_EQ(RemapText(0, 0x01), "");
  EXPECT_EQ(FirmwareVersionText(0x12, 'F'), "?????");
  EXPECT_EQ(SecurityStatusText(0x80, kKT420)->text, "SECURITY : CHIP IS LEVEL2 HARDLOCKED (FSTAT[7:5]:100)");
  EXPECT_EQ(SecurityStatusText(0x80, kKT570)->text, "SECURITY : CHIP IS LEVEL2 SOFTLOCKED (FSTAT[7:5]:100)");
  EXPECT_TRUE(SecurityStatusText(0xE0, kKT580)->level4);
  EXPECT_EQ(SecurityStatusText(0x00, 0)->text, "SECURITY : CHIP IS UNLOCKED (FSTAT[7:5]:000)");
  // Rows that differ between the families have no text for an unknown model.
  for (std::uint8_t bits : {0x60, 0x80, 0xC0}) EXPECT_FALSE(SecurityStatusText(bits, 0).has_value()) << int(bits);
}

TEST(ButtonsAfterDetection, InternalModeFollowsTheLockLevelExternalModeOnlyUnlocked) {
  auto on = [](int mode, int model, std::uint8_t bits, IapButton button) {
    return ButtonsAfterDetection(mode, model, bits)[static_cast<int>(button)];
  };
  EXPECT_EQ(on(kInternalMemory, kKT540, 0xC0, IapButton::Download), true);
  EXPECT_EQ(on(kInternalMemory, kKT420, 0x80, IapButton::Download), false);
  EXPECT_EQ(on(kInternalMemory, kKT420, 0x00, IapButton::LockChip), false);
  EXPECT_EQ(on(kInternalMemory, kKT560, 0x60, IapButton::ChipErase), false);
  EXPECT_FALSE(on(kInternalMemory, 0, 0x00, IapButton::Download).has_value());
  EXPECT_EQ(on(kInternalMemory, 0, 0x00, IapButton::Read), true);

  for (IapButton enabled : {IapButton::ChipErase, IapButton::Download, IapButton::LockChip})
    EXPECT_EQ(on(kExternalMemory, kKT410, 0x00, enabled), true) << static_cast<int>(enabled);
  EXPECT_EQ(on(kExternalMemory, kKT410, 0x00, IapButton::DownloadRun), false);
  EXPECT_EQ(on(kExternalMemory, kKT540, 0x20, IapButton::ChipErase), true);
  EXPECT_EQ(on(kExternalMemory, kKT540, 0x20, IapButton::Download), false);
  EXPECT_EQ(on(kExternalMemory, kKT540, 0x20, IapButton::MemoryRemap), false);
}

}  // namespace
}  // namespace brisko
