#include "shell/block0/image_at_2000.hpp"

#include <algorithm>
#include <array>
#include <vector>

#include "chip/chip_catalogue.hpp"
#include "chip/flash_engine.hpp"
#include "link/read_routines.hpp"
#include "link/result_codes.hpp"
#include "shell/block0/block1_programmer.hpp"
#include "shell/session/session.hpp"
#include "shell/block0/recovery_offer.hpp"
#include "shell/block0/recovery_record.hpp"

namespace brisko {
namespace {

constexpr std::uint32_t kSector = 128;
constexpr std::uint32_t kArea2000 = 0x2000;
constexpr std::uint32_t kArea2000Sectors = 3;

}  // namespace

InstallResults InstallImageAt2000(FlashEngine& engine, std::span<const std::uint8_t> image) {
  // Whole sectors, padded with FFh as erased flash holds them anyway.
  std::array<std::uint8_t, kSector * kArea2000Sectors> padded;
  padded.fill(0xFF);
  std::copy_n(image.begin(), std::min(image.size(), padded.size()), padded.begin());
  InstallResults r;
  for (int attempt = 0; attempt < kParkAttempts && !r.AllOk(); ++attempt) {
    r.erase0 = engine.EraseSectors(0x0000, kSector, 1);
    r.erase2000 = engine.EraseSectors(kArea2000, kSector, kArea2000Sectors);
    r.program = engine.ProgramRange(kArea2000, kSector, padded.data(), padded.size());
  }
  return r;
}

bool SaveParkingArea(Session& session, const std::string& flow, const RangeReader& read, RecoveryRecord& recovery) {
  std::vector<RecoveryArea> areas{{0x0000, std::vector<std::uint8_t>(kSector)},
                                  {kArea2000, std::vector<std::uint8_t>(kSector * kArea2000Sectors)}};
  if (const auto waiting =
          UnrestoredRecoveriesFor(session.Places().dataDir, session.Record()->GetChipModel(), read, areas);
      !waiting.empty()) {
    session.Op().Tell(UnrestoredRecoveryText(waiting.front().record));
    return false;
  }
  if (!ReadAreasAgreed(read, areas)) {
    session.Op().Tell(Block0BackupFailedText());
    return false;
  }
  SavedAreas& saved = session.State().saved;
  std::copy(areas[0].bytes.begin(), areas[0].bytes.end(), saved.savedSector0.begin());
  std::copy(areas[1].bytes.begin(), areas[1].bytes.end(), saved.savedArea2000.begin());
  std::string whyNot;
  if (!KeepForRecovery(*session.Record(), session.Places().dataDir, flow, std::move(areas), read, recovery, whyNot)) {
    session.Op().Tell(RecoveryFileFailedText(whyNot));
    return false;
  }
  return true;
}

bool LoaderReplaceableUnderLock(int model, std::uint8_t bits) {
  if (IsKT400(model)) return bits == 0x00 || bits == 0x40;
  return bits == 0x00 || bits == 0x80 || bits == 0x40;
}

}  // namespace brisko
