#include "shell/flash/file_lock_rule.hpp"

#include "chip/chip_catalogue.hpp"

namespace brisko {

FileLockRule FileLockRuleFor(const SessionRecord& record, std::uint8_t bits) {
  if (!record.IsInternalMode()) return bits == 0 ? FileLockRule::Open : FileLockRule::Refused;
  const int model = record.GetChipModel();
  // The hard-lock bit is bit 6 on the KT500 family and bit 7 on the KT400.
  const bool hardLocked = FamilyOf(model) == ChipFamily::KT500
                              ? bits == 0x60 || bits == 0xA0 || bits == 0xE0
                              : IsKT400(model) && (bits == 0x80 || bits == 0xA0 || bits == 0xC0 || bits == 0xE0);
  return hardLocked ? FileLockRule::Block1Only : FileLockRule::Open;
}

}  // namespace brisko
