#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace brisko {

// Record types of the Intel HEX format.
namespace hexrec {
inline constexpr std::uint8_t kData = 0x00;
inline constexpr std::uint8_t kEndOfFile = 0x01;
inline constexpr std::uint8_t kExtendedSegmentAddress = 0x02;
inline constexpr std::uint8_t kStartSegmentAddress = 0x03;
inline constexpr std::uint8_t kExtendedLinearAddress = 0x04;
inline constexpr std::uint8_t kStartLinearAddress = 0x05;
}  // namespace hexrec

struct IntelHexRecord {
  std::uint8_t type = 0;
  std::uint16_t address = 0;
  std::vector<std::uint8_t> data;
};

enum class HexRecordError { None, TooShort, NotHexDigit, ChecksumMismatch };

// Words the operator reads after "Bad Intel HEX record at line N of ...: ".
const char* HexRecordErrorText(HexRecordError error);

// Upper- and lower-case digits both count.
bool HexDigitValue(char c, std::uint8_t& value);

struct HexRecordParse {
  HexRecordError error = HexRecordError::None;
  IntelHexRecord record;
  // Characters of `text` the record took, checksum included.
  std::size_t consumed = 0;
};

// Parses one record from the characters that follow its ':'. The record must
// be complete within `text` (one line); what follows its checksum is left to
// the caller.
HexRecordParse ParseHexRecord(std::string_view text);

}  // namespace brisko
