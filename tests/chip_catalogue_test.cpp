#include <gtest/gtest.h>

#include "chip/chip_catalogue.hpp"
#include "chip/status_decoding.hpp"

namespace brisko {
namespace {

// The texts the detection shows for the common cases are checked through the
// detect command, the block addresses and loader re-entry points through the
// dialog lists and the parked programmer; these are the rarer rows.
TEST(ChipCatalogue, UnknownModelsAndTheRarerTexts) {
  EXPECT_STREQ(DescribeChip(0).chipTypeText, "????????");
  EXPECT_EQ(ModelFromName("kt560"), kKT560);
  EXPECT_FALSE(ModelFromName("KT590").has_value());
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
