#include "chip/status_decoding.hpp"

namespace brisko {
namespace {

void Set(ButtonChanges& changes, IapButton button, bool on) { changes[static_cast<int>(button)] = on; }

bool WritableKT500(std::uint8_t bits) {
  return bits == 0x00 || bits == 0x20 || bits == 0x40 || bits == 0x80 || bits == 0xC0;
}
bool WritableKT400(std::uint8_t bits) { return bits == 0x00 || bits == 0x20 || bits == 0x40; }

}  // namespace

ButtonChanges ButtonsAfterDetection(int memoryMode, int model, std::uint8_t securityBits) {
  ButtonChanges changes{};
  Set(changes, IapButton::Read, true);
  if (memoryMode == kExternalMemory) {
    const bool unlocked = securityBits == 0x00;
    Set(changes, IapButton::ChipErase, true);
    Set(changes, IapButton::LockChip, unlocked);
    Set(changes, IapButton::MemoryRemap, unlocked);
    Set(changes, IapButton::Download, unlocked);
    Set(changes, IapButton::SectorErase, unlocked);
    Set(changes, IapButton::DownloadRun, false);
    return changes;
  }
  Set(changes, IapButton::ChipErase, false);
  const ChipFamily family = FamilyOf(model);
  if (family == ChipFamily::None) return changes;
  const bool writable = family == ChipFamily::KT500 ? WritableKT500(securityBits) : WritableKT400(securityBits);
  Set(changes, IapButton::LockChip, family == ChipFamily::KT500);
  Set(changes, IapButton::MemoryRemap, family == ChipFamily::KT500);
  Set(changes, IapButton::Download, writable);
  Set(changes, IapButton::SectorErase, writable);
  Set(changes, IapButton::DownloadRun, writable);
  return changes;
}

}  // namespace brisko
