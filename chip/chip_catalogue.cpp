#include "chip/chip_catalogue.hpp"

#include <algorithm>
#include <cctype>

namespace brisko {
namespace {

constexpr BlockGeometry Geometry(std::uint32_t sectors, std::uint32_t size, std::uint32_t base) {
  return BlockGeometry{sectors, size, sectors * size, sectors, base};
}

// Rows in model-code order; the last row stands for every unknown code.
const ChipDescription kCatalogue[] = {
    {kKT410, "KT410", "16+4 KB", ChipFamily::KT400, {Geometry(128, 128, 0x0000), Geometry(64, 64, 0xF000)}},
    {kKT420, "KT420", "32+4 KB", ChipFamily::KT400, {Geometry(256, 128, 0x0000), Geometry(64, 64, 0xF000)}},
    {kKT540, "KT540", "64+8 KB", ChipFamily::KT500, {Geometry(512, 128, 0x0000), Geometry(64, 128, 0x0000)}},
    {kKT550, "KT550", "64+8 KB", ChipFamily::KT500, {Geometry(512, 128, 0x0000), Geometry(64, 128, 0x0000)}},
    {kKT530, "KT530", "32+8 KB", ChipFamily::KT500, {Geometry(256, 128, 0x0000), Geometry(64, 128, 0xE000)}},
    {kKT560, "KT560", "32+8 KB", ChipFamily::KT500, {Geometry(256, 128, 0x0000), Geometry(64, 128, 0xE000)}},
    {kKT570, "KT570", "16+8 KB", ChipFamily::KT500, {Geometry(128, 128, 0x0000), Geometry(64, 128, 0xE000)}},
    {kKT580, "KT580", "8+8 KB", ChipFamily::KT500, {Geometry(64, 128, 0x0000), Geometry(64, 128, 0xE000)}},
    {kNoModel, "????????", "????????", ChipFamily::None, {Geometry(512, 128, 0x0000), Geometry(64, 64, 0xF000)}},
};
constexpr int kFallbackRow = 8;

}  // namespace

const ChipDescription& DescribeChip(int model) {
  return IsKnownModel(model) ? kCatalogue[model - 1] : kCatalogue[kFallbackRow];
}

bool IsKnownModel(int model) { return model >= kKT410 && model <= kKT580; }

ChipFamily FamilyOf(int model) { return DescribeChip(model).family; }

std::optional<ChipModel> ModelFromName(const std::string& name) {
  std::string upper = name;
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  for (int code = kKT410; code <= kKT580; ++code)
    if (upper == kCatalogue[code - 1].chipTypeText) return static_cast<ChipModel>(code);
  return std::nullopt;
}

const char* MemoryModeText(int mode) {
  switch (mode) {
    case kInternalMemory: return "Internal";
    case kExternalMemory: return "External";
    default: return "";
  }
}

bool SharesBlockAddresses(int model) { return model == kKT540 || model == kKT550; }

bool HasBlock1AtE000(int model) {
  return model == kKT530 || model == kKT560 || model == kKT570 || model == kKT580;
}

bool IsKT400(int model) { return model == kKT410 || model == kKT420; }

std::uint32_t Block1Start(int model) {
  if (IsKT400(model)) return 0xF000;
  if (HasBlock1AtE000(model)) return 0xE000;
  return 0x0000;
}

std::optional<std::uint16_t> LoaderReentryAddress(int model) {
  if (SharesBlockAddresses(model)) return 0x02CA;
  if (model == kKT530 || model == kKT560 || model == kKT570) return 0xE2CA;
  if (IsKT400(model)) return 0xF080;
  return std::nullopt;
}

std::string RemapText(int model, std::uint8_t status) {
  static const char* const kKT400Texts[4] = {"0 KByte", "1 KByte", "2 KByte", "4 KByte"};
  static const char* const kKT500Texts[4] = {"8 KByte", "0 KByte", "Block1 Invisible", "Block1 Invisible"};
  switch (FamilyOf(model)) {
    case ChipFamily::KT400: return kKT400Texts[status & 0x03];
    case ChipFamily::KT500: return kKT500Texts[status & 0x03];
    case ChipFamily::None: break;
  }
  return "";
}

std::string FirmwareVersionText(std::uint8_t version, std::uint8_t letter) {
  if (version != 0x11) return "?????";
  return letter == 'F' ? "v1.1F" : "v1.1?";
}

std::optional<SecurityStatus> SecurityStatusText(std::uint8_t bits, int model) {
  const ChipFamily family = FamilyOf(model);
  switch (bits & 0xE0) {
    case 0x00: return SecurityStatus{"SECURITY : CHIP IS UNLOCKED (FSTAT[7:5]:000)", false};
    case 0x20:
      return SecurityStatus{"SECURITY : CHIP IS LEVEL3 SOFTLOCKED BLK0 & HARDLOCKED BLK1 (FSTAT[7:5]:001)", false};
    case 0x40: return SecurityStatus{"SECURITY : CHIP IS LEVEL3 SOFTLOCKED (FSTAT[7:5]:010)", false};
    case 0x60:
      if (family == ChipFamily::KT500)
        return SecurityStatus{"SECURITY : CHIP IS LEVEL3 HARDLOCKED (FSTAT[7:5]: 011)", false};
      if (family == ChipFamily::KT400)
        return SecurityStatus{"SECURITY : CHIP IS LEVEL4 HARDLOCKED (FSTAT[7:5]:011)", true};
      return std::nullopt;
    case 0x80:
      if (family == ChipFamily::KT500)
        return SecurityStatus{"SECURITY : CHIP IS LEVEL2 SOFTLOCKED (FSTAT[7:5]:100)", false};
      if (family == ChipFamily::KT400)
        return SecurityStatus{"SECURITY : CHIP IS LEVEL2 HARDLOCKED (FSTAT[7:5]:100)", false};
      return std::nullopt;
    case 0xA0: return SecurityStatus{"SECURITY : CHIP IS LEVEL3 HARDLOCKED (FSTAT[7:5]:101)", false};
    case 0xC0:
      if (family == ChipFamily::KT500)
        return SecurityStatus{"SECURITY : CHIP IS LEVEL3 SOFTLOCKED BLK0 & HARDLOCKED BLK1 (FSTAT[7:5]:110)", false};
      if (family == ChipFamily::KT400)
        return SecurityStatus{"SECURITY : CHIP IS LEVEL3 HARDLOCKED (FSTAT[7:5]:110)", false};
      return std::nullopt;
    default: return SecurityStatus{"SECURITY : CHIP IS LEVEL4 HARDLOCKED (FSTAT[7:5]:111)", true};
  }
}

}  // namespace brisko
