#pragma once
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <vector>

namespace brisko {

// Every flow that erases block-0 bytes it must put back first writes them to
// a recovery file, so that a failed put-back, a lost link or a killed host
// cannot lose them. The file also records the chip they came from, so that
// the next detection offers them only to that chip.
//
// Two files per record, in the user's data directory:
//   block0-recovery-YYYYMMDD-HHMMSS[-n].bin   the areas' bytes, one after the
//       other, nothing else (so a 512-byte file of the parking areas is laid
//       out as earlier versions wrote it, and they can still read it)
//   block0-recovery-YYYYMMDD-HHMMSS[-n].info  a text record:
//       Brisko recovery file
//       flow: block-1 operation
//       port: /dev/ttyUSB0
//       model: KT420
//       created: 1714560000 (2024-05-01 12:00:00)
//       area: 0000h 128
//       area: 2000h 384
//       fingerprint: 0080h 128 4A17C3D2
//   Areas in the order their bytes appear in the .bin; a fingerprint line is
//   a block-0 range the flow does not touch and the CRC-32 of its bytes.
// A .bin without .info was left by an earlier version: 512 bytes are
// 0000h-007Fh then 2000h-217Fh, 1280 bytes are 0000h-04FFh, and
// block0-edit-AAAA-*.bin holds the sector(s) from AAAAh.

struct RecoveryArea {
  std::uint32_t address = 0;
  std::vector<std::uint8_t> bytes;
};

struct FingerprintSector {
  std::uint32_t address = 0;
  std::uint32_t length = 0;
  std::uint32_t crc = 0;
};

struct RecoveryRecord {
  std::string flow;  // what displaced the bytes: "block-1 operation", "byte edit" ...
  std::string port;
  int model = 0;
  std::time_t created = 0;
  std::vector<RecoveryArea> areas;
  std::vector<FingerprintSector> fingerprint;
  // Left by an earlier version: no record of the chip it came from.
  bool legacy = false;
  std::string path;  // the .bin

  // Every fingerprint range was blank (FFh) when it was taken: any chip blank
  // there looks the same, so the fingerprint cannot tell two chips apart.
  bool WeakFingerprint() const;
  // "0000h-007Fh, 2000h-217Fh"
  std::string AreaText() const;
  // "KT420 on /dev/ttyUSB0, block-1 operation, 2024-05-01 12:00:00"
  std::string Describe() const;
  std::size_t ByteCount() const;
};

// Writes the record's two files (mode 0600, on the disk before it returns)
// and sets record.path; false with the reason in `whyNot`. A partial write
// leaves no file behind.
bool WriteRecoveryFile(const std::string& directory, RecoveryRecord& record, std::string& whyNot);

// Every recovery file in `directory`, newest first. Files that are neither a
// record nor an earlier version's layout are left out.
std::vector<RecoveryRecord> ListRecoveryFiles(const std::string& directory);

// Removes a record's files; false when its .bin was not there.
bool RemoveRecoveryFile(const std::string& binPath);

// The CRC-32 (IEEE 802.3) of the fingerprint ranges.
std::uint32_t Crc32(std::span<const std::uint8_t> bytes);

}  // namespace brisko
