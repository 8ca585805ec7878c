#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace brisko {

// Model codes as the session stores them.
enum ChipModel : int {
  kNoModel = 0,
  kKT410 = 1,
  kKT420 = 2,
  kKT540 = 3,
  kKT550 = 4,
  kKT530 = 5,
  kKT560 = 6,
  kKT570 = 7,
  kKT580 = 8,
};

enum MemoryMode : int {
  kNoMemoryMode = 0,
  kInternalMemory = 1,  // EA#=1
  kExternalMemory = 2,  // EA#=0
};

enum class ChipFamily { KT400, KT500, None };

struct BlockGeometry {
  std::uint32_t sectorCount = 0;
  std::uint32_t sectorSize = 0;
  std::uint32_t blockSize = 0;
  std::uint32_t rowCount = 0;
  std::uint32_t baseAddress = 0;
};

struct ChipDescription {
  int code;
  const char* chipTypeText;
  const char* flashSizeText;
  ChipFamily family;
  BlockGeometry blocks[2];
};

// The catalogue row of a model; any code outside 1..8 gets the fallback row
// ("????????", 512 x 128 and 64 x 64 at F000h).
const ChipDescription& DescribeChip(int model);
ChipFamily FamilyOf(int model);
bool IsKnownModel(int model);
// Parses "KT540" (any case) to its code.
std::optional<ChipModel> ModelFromName(const std::string& name);
const char* MemoryModeText(int mode);  // "Internal" / "External" / ""

// KT540 and KT550: block 1 shares 0000h with block 0.
bool SharesBlockAddresses(int model);
// KT530, KT560, KT570, KT580: block 1 at E000h.
bool HasBlock1AtE000(int model);
// KT410, KT420.
bool IsKT400(int model);

// Block-1 start used when a block-1 list entry is turned into an address:
// F000h (KT400), E000h (KT530/560/570/580), 0000h (KT540/550).
std::uint32_t Block1Start(int model);

// Address at which the loader is re-entered after the parked block-1
// programmer has done its work; none for KT580.
std::optional<std::uint16_t> LoaderReentryAddress(int model);

// Texts decoded from the status byte and the version answer.
std::string RemapText(int model, std::uint8_t status);  // "" for neither family
std::string FirmwareVersionText(std::uint8_t version, std::uint8_t letter);
inline constexpr const char* kAcceptedFirmwareText = "v1.1F";

struct SecurityStatus {
  std::string text;
  bool level4 = false;
};
// The security bar text for bits 7..5 of the status byte, or none where the
// model belongs to neither family and the row differs between families.
std::optional<SecurityStatus> SecurityStatusText(std::uint8_t bits, int model);

}  // namespace brisko
