#include "shell/block0/recovery_offer.hpp"

#include <algorithm>

#include "chip/chip_catalogue.hpp"
#include "firmware/firmware.hpp"
#include "link/result_codes.hpp"
#include "shell/block0/displaced_section.hpp"
#include "shell/session/session.hpp"
#include "shell/block0/recovery_record.hpp"

namespace brisko {
namespace {

constexpr std::uint32_t kSector = 128;
constexpr int kPutBackAttempts = 3;

bool StartsWith(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> image) {
  const std::size_t n = std::min<std::size_t>({bytes.size(), image.size(), kSector});
  return n > 0 && std::equal(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(n), bytes.begin());
}

bool Blank(std::span<const std::uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0xFF; });
}

// What an interruption leaves where it displaced bytes: an erased sector, or
// one of the helper programs the flows write there.
bool LooksDisplaced(std::span<const std::uint8_t> now, std::span<const std::uint8_t> saved) {
  for (std::size_t at = 0; at < now.size(); at += kSector) {
    const auto chip = now.subspan(at, std::min<std::size_t>(kSector, now.size() - at));
    const auto file = saved.subspan(at, chip.size());
    if (std::equal(chip.begin(), chip.end(), file.begin())) continue;
    if (Blank(chip) || StartsWith(chip, firmware::BankHelper) || StartsWith(chip, firmware::Block1ProgrammerKT400) ||
        StartsWith(chip, firmware::Block1ProgrammerKT500) || StartsWith(chip, firmware::LegacyInstallerImage))
      return true;
  }
  return false;
}

// The chip's bytes in the record's areas; none when they cannot be read.
std::optional<std::vector<RecoveryArea>> AreasNow(const RangeReader& read, const RecoveryRecord& r) {
  std::vector<RecoveryArea> now = r.areas;
  if (!ReadAreasAgreed(read, now)) return std::nullopt;
  return now;
}

bool Holds(const std::vector<RecoveryArea>& now, const RecoveryRecord& r) {
  for (std::size_t i = 0; i < now.size(); ++i)
    if (now[i].bytes != r.areas[i].bytes) return false;
  return true;
}

bool Displaced(const std::vector<RecoveryArea>& now, const RecoveryRecord& r) {
  for (std::size_t i = 0; i < now.size(); ++i)
    if (LooksDisplaced(now[i].bytes, r.areas[i].bytes)) return true;
  return false;
}

bool Overlap(const RecoveryRecord& r, const std::vector<RecoveryArea>& areas) {
  for (const RecoveryArea& a : r.areas)
    for (const RecoveryArea& b : areas)
      if (a.address < b.address + b.bytes.size() && b.address < a.address + a.bytes.size()) return true;
  return false;
}

std::string OfferText(const RecoveryRecord& r, RecoveryFit fit) {
  std::string text = "Block 0 of this chip does not hold the bytes that an interrupted " + r.flow + " displaced at " +
                     r.AreaText() + ".\nThey were saved in the file\n" + r.path + "\n";
  if (fit == RecoveryFit::BelongsWeakly)
    text += "(The bytes this file recognises its chip by are blank, so it cannot tell this chip from another one.)\n";
  if (fit == RecoveryFit::Unknown)
    text += "(The file was left by an earlier version and does not say which chip it came from.)\n";
  return text + "Put them back into block 0 now?";
}

void Offer(Session& session, const RecoveryRecord& r, RecoveryFit fit) {
  Operator& op = session.Op();
  const std::string question = OfferText(r, fit);
  const bool yes = fit == RecoveryFit::Belongs ? op.Ask(question) : op.AskInPerson(question);
  if (!yes) return;
  if (!PutRecordBack(session, r)) {
    op.Tell("Block 0 could not be restored!\nThe file\n" + r.path + "\nis kept.");
    return;
  }
  RemoveRecoveryFile(r.path);
  op.Tell("Block 0 has been restored from the file\n" + r.path);
}

}  // namespace

RecoveryFit FitOf(const RecoveryRecord& record, int model, const RangeReader& read) {
  if (record.legacy) return RecoveryFit::Unknown;
  if (record.model != model) return RecoveryFit::Foreign;
  if (CheckFingerprint(read, record.fingerprint) != FingerprintCheck::Matches) return RecoveryFit::Foreign;
  return record.WeakFingerprint() ? RecoveryFit::BelongsWeakly : RecoveryFit::Belongs;
}

std::optional<bool> AreasHoldRecord(const RangeReader& read, const RecoveryRecord& record) {
  // One read that matches settles it; a differing one is read again until
  // two reads agree, so that a corrupted byte does not pass for a difference.
  std::vector<RecoveryArea> once = record.areas;
  const bool same = std::all_of(once.begin(), once.end(), [&](RecoveryArea& a) { return read(a.address, a.bytes); }) &&
                    Holds(once, record);
  if (same) return true;
  const auto now = AreasNow(read, record);
  if (!now) return std::nullopt;
  return Holds(*now, record);
}

bool PutRecordBack(Session& session, const RecoveryRecord& r) {
  const DisplacedSection section(session, DisplacedText("block 0 at " + r.AreaText() + " was being put back", r.path),
                                 DisplacedSection::Kind::Restore);
  FlashEngine engine = section.Engine();
  const RangeReader read = LoaderReader(session.Record()->Port());
  for (int attempt = 0; attempt < kPutBackAttempts; ++attempt) {
    bool written = true;
    for (const RecoveryArea& a : r.areas) {
      const auto sectors = static_cast<std::uint32_t>(a.bytes.size() / kSector);
      written = written && engine.EraseSectors(a.address, kSector, sectors) == Result::Ok &&
                engine.ProgramRange(a.address, kSector, a.bytes.data(), a.bytes.size()) == Result::Ok;
    }
    // The program step checks what it wrote; the erased chunks it skips are
    // checked here, against the same copy.
    if (written && AreasHoldRecord(read, r) == true) return true;
  }
  return false;
}

void OfferRecoveryFiles(Session& session) {
  SessionRecord* record = session.Record();
  if (!record || !record->Port().IsLinkUp() || record->GetMemoryMode() != kInternalMemory) return;
  if (session.State().ExternalBankSelected()) return;
  const std::vector<RecoveryRecord> records = ListRecoveryFiles(session.Places().dataDir);
  if (records.empty()) return;
  if (record->SelectsBlocks() && !session.Engine().SelectBlock0()) return;
  const RangeReader read = LoaderReader(session.Record()->Port());
  const std::uint32_t blockEnd = record->BlockSize(0);
  std::string kept;
  for (const RecoveryRecord& r : records) {
    const bool inside = std::all_of(r.areas.begin(), r.areas.end(), [&](const RecoveryArea& a) {
      return a.address + a.bytes.size() <= blockEnd;
    });
    const RecoveryFit fit = inside ? FitOf(r, record->GetChipModel(), read) : RecoveryFit::Foreign;
    const auto now = fit == RecoveryFit::Foreign ? std::nullopt : AreasNow(read, r);
    if (fit == RecoveryFit::Foreign || !now) {
      kept += "\n" + r.path + " (" + r.Describe() + ")";
      continue;
    }
    if (Holds(*now, r)) {
      // Nothing of it is missing from the chip: the file is not needed.
      RemoveRecoveryFile(r.path);
      session.Op().Tell("The bytes of the recovery file\n" + r.path + "\nare in block 0 already; the file has been removed.");
      continue;
    }
    if (fit == RecoveryFit::Unknown && !Displaced(*now, r)) {
      kept += "\n" + r.path + " (" + r.Describe() + ")";
      continue;
    }
    Offer(session, r, fit);
  }
  if (!kept.empty()) session.Op().Tell("These recovery files do not belong to the chip detected now and are kept:" + kept);
}

std::vector<UnrestoredRecovery> UnrestoredRecoveriesFor(const std::string& dataDir, int model, const RangeReader& read,
                                                        const std::vector<RecoveryArea>& areas) {
  std::vector<UnrestoredRecovery> found;
  for (const RecoveryRecord& r : ListRecoveryFiles(dataDir)) {
    if (!Overlap(r, areas) || (!r.legacy && r.model != model)) continue;
    const RecoveryFit fit = FitOf(r, model, read);
    if (fit == RecoveryFit::Foreign) continue;
    const auto now = AreasNow(read, r);
    if (!now || Holds(*now, r)) continue;
    if (fit == RecoveryFit::Unknown && !Displaced(*now, r)) continue;
    found.push_back({r, fit});
  }
  return found;
}

std::string UnrestoredRecoveryText(const RecoveryRecord& r) {
  return "Block 0 of this chip still waits for the bytes that an interrupted " + r.flow + " displaced at " +
         r.AreaText() + ".\nThey are in the file\n" + r.path +
         "\nDetect the chip again and put them back first. Nothing has been erased.";
}

}  // namespace brisko
