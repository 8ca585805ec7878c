#include "shell/block0/recovery_record.hpp"

#include <algorithm>
#include <array>
#include <ctime>

#include "link/read_routines.hpp"
#include "shell/session/session.hpp"

namespace brisko {
namespace {

constexpr std::uint32_t kSector = 128;
// Where a user's program most likely has bytes: right after the areas the
// flows displace, then further up. At most kCandidateReads of them are read.
constexpr std::array<std::uint32_t, 14> kCandidates = {0x0080, 0x0100, 0x0180, 0x0200, 0x0500, 0x0580, 0x0600,
                                                       0x0800, 0x1000, 0x2180, 0x2200, 0x3000, 0x4000, 0x6000};
constexpr std::size_t kCandidateReads = 8;

bool Overlaps(std::uint32_t address, std::uint32_t length, const std::vector<RecoveryArea>& areas) {
  return std::any_of(areas.begin(), areas.end(), [&](const RecoveryArea& a) {
    const std::uint32_t end = a.address + static_cast<std::uint32_t>(a.bytes.size());
    return address < end && a.address < address + length;
  });
}

bool Blank(std::span<const std::uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0xFF; });
}

}  // namespace

std::vector<FingerprintSector> TakeFingerprint(const RangeReader& read, std::uint32_t blockEnd,
                                               const std::vector<RecoveryArea>& touched) {
  std::vector<FingerprintSector> found;
  std::vector<FingerprintSector> blank;
  std::size_t reads = 0;
  for (std::uint32_t address : kCandidates) {
    if (found.size() == kFingerprintSectors || reads == kCandidateReads) break;
    if (address + kSector > blockEnd || Overlaps(address, kSector, touched)) continue;
    ++reads;
    std::array<std::uint8_t, kSector> bytes{};
    if (!ReadUntilTwoAgree(read, address, bytes)) return {};
    const FingerprintSector sector{address, kSector, Crc32(bytes)};
    (Blank(bytes) ? blank : found).push_back(sector);
  }
  if (found.empty()) found.assign(blank.begin(), blank.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(2, blank.size())));
  return found;
}

FingerprintCheck CheckFingerprint(const RangeReader& read, const std::vector<FingerprintSector>& fingerprint) {
  if (fingerprint.empty()) return FingerprintCheck::Differs;
  for (const FingerprintSector& f : fingerprint) {
    std::vector<std::uint8_t> bytes(f.length);
    // One read that matches settles it; a differing one is read again, so
    // that a corrupted byte on the line does not hide the chip's own file.
    if (read(f.address, bytes) && Crc32(bytes) == f.crc) continue;
    if (!ReadUntilTwoAgree(read, f.address, bytes)) return FingerprintCheck::Unreadable;
    if (Crc32(bytes) != f.crc) return FingerprintCheck::Differs;
  }
  return FingerprintCheck::Matches;
}

bool ReadAreasAgreed(const RangeReader& read, std::vector<RecoveryArea>& areas) {
  return std::all_of(areas.begin(), areas.end(),
                     [&](RecoveryArea& a) { return ReadUntilTwoAgree(read, a.address, a.bytes); });
}

bool KeepForRecovery(const SessionRecord& chip, const std::string& dataDir, const std::string& flow,
                     std::vector<RecoveryArea> areas, const RangeReader& read, RecoveryRecord& record,
                     std::string& whyNot) {
  record = RecoveryRecord{};
  record.flow = flow;
  record.port = chip.Port().DeviceName();
  record.model = chip.GetChipModel();
  record.created = std::time(nullptr);
  record.fingerprint = TakeFingerprint(read, chip.BlockSize(0), areas);
  record.areas = std::move(areas);
  if (record.fingerprint.empty()) {
    whyNot = "the bytes that identify this chip could not be read";
    return false;
  }
  return WriteRecoveryFile(dataDir, record, whyNot);
}

RangeReader LoaderReader(SerialPort& port) {
  return [&port](std::uint32_t address, std::span<std::uint8_t> out) { return ReadLoaderBytes(port, address, out); };
}

}  // namespace brisko
