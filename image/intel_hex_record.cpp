#include "image/intel_hex_record.hpp"

namespace brisko {

const char* HexRecordErrorText(HexRecordError error) {
  switch (error) {
    case HexRecordError::None: return "no error";
    case HexRecordError::TooShort: return "record too short";
    case HexRecordError::NotHexDigit: return "not a hexadecimal digit";
    case HexRecordError::ChecksumMismatch: return "checksum mismatch";
  }
  return "unknown error";
}

bool HexDigitValue(char c, std::uint8_t& value) {
  if (c >= '0' && c <= '9') {
    value = static_cast<std::uint8_t>(c - '0');
  } else if (c >= 'A' && c <= 'F') {
    value = static_cast<std::uint8_t>(c - 'A' + 10);
  } else if (c >= 'a' && c <= 'f') {
    value = static_cast<std::uint8_t>(c - 'a' + 10);
  } else {
    return false;
  }
  return true;
}

namespace {

// Reads the byte written as two digits at text[pos]; advances pos.
HexRecordError ReadHexByte(std::string_view text, std::size_t& pos, std::uint8_t& byte) {
  std::uint8_t high = 0;
  std::uint8_t low = 0;
  for (int i = 0; i < 2; ++i) {
    if (pos + static_cast<std::size_t>(i) >= text.size()) return HexRecordError::TooShort;
    if (!HexDigitValue(text[pos + i], i == 0 ? high : low)) return HexRecordError::NotHexDigit;
  }
  pos += 2;
  byte = static_cast<std::uint8_t>(high << 4 | low);
  return HexRecordError::None;
}

}  // namespace

HexRecordParse ParseHexRecord(std::string_view text) {
  HexRecordParse result;
  std::size_t pos = 0;
  std::uint8_t sum = 0;
  auto next = [&](std::uint8_t& byte) {
    result.error = ReadHexByte(text, pos, byte);
    sum = static_cast<std::uint8_t>(sum + byte);
    return result.error == HexRecordError::None;
  };

  std::uint8_t count = 0;
  std::uint8_t addressHigh = 0;
  std::uint8_t addressLow = 0;
  if (!next(count) || !next(addressHigh) || !next(addressLow) || !next(result.record.type))
    return result;
  result.record.address = static_cast<std::uint16_t>(addressHigh << 8 | addressLow);
  result.record.data.resize(count);
  for (auto& byte : result.record.data)
    if (!next(byte)) return result;
  std::uint8_t checksum = 0;
  if (!next(checksum)) return result;
  // The checksum byte makes the sum of all record bytes 0 modulo 256.
  if (sum != 0) result.error = HexRecordError::ChecksumMismatch;
  result.consumed = pos;
  return result;
}

}  // namespace brisko
