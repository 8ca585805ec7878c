#include "shell/flash/byte_edit_parsing.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "chip/chip_catalogue.hpp"

namespace brisko {
namespace {

constexpr const char* kIllegalHex = "Illegal Hex number detected!\nPlease verify your input.";
constexpr const char* kWrongFormat = "Wrong string format detected!\nPlease verify your input.";
constexpr const char* kOversize = "Input string is oversize!\nPlease shorten your input.";

std::optional<int> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper >= 'A' && upper <= 'F') return upper - 'A' + 10;
  return std::nullopt;
}

bool AllHex(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return HexDigit(c).has_value(); });
}

}  // namespace

std::uint32_t Block0End(int model) {
  switch (model) {
    case kKT410:
    case kKT570: return 0x4000;
    case kKT420:
    case kKT530:
    case kKT560: return 0x8000;
    case kKT540:
    case kKT550: return 0x10000;
    case kKT580: return 0x2000;
    default: return 0;
  }
}

EditAddress ParseEditAddress(const std::string& text, int model) {
  EditAddress result;
  if (text.size() != 4) {
    result.refusal = "Address string should be in 4-digit Hex format!";
    return result;
  }
  for (std::size_t i = 0; i < 4; ++i) {
    const auto digit = HexDigit(text[i]);
    // Other characters would give digits outside 0..F and an address past
    // block 0 on every model, so they are refused as an invalid address.
    if (!digit) {
      result.refusal = "Memory address is invalid!";
      return result;
    }
    result.address = result.address * 16 + static_cast<std::uint32_t>(*digit);
  }
  const std::uint32_t end = Block0End(model);
  if (result.address >= end) {
    result.refusal = "Memory address is invalid!";
    return result;
  }
  result.count = result.address + kEditMaxBytes >= end ? end - result.address : kEditMaxBytes;
  return result;
}

std::string FormatEditBytes(std::span<const std::uint8_t> bytes) {
  std::string text;
  char cell[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(cell, sizeof cell, "%02X ", b);
    text += cell;
  }
  return text;
}

EditData ParseEditData(const std::string& text, std::size_t displayLength) {
  EditData result;
  const std::size_t n = text.size();
  if (n < 2 || n > kEditMaxText) {
    result.verdict = EditData::Verdict::ClearField;
    return result;
  }
  auto refuse = [&result](const char* why) {
    result.verdict = EditData::Verdict::Refused;
    result.refusal = why;
    result.bytes.clear();
    return result;
  };
  for (char c : text)
    if (c != ' ' && !HexDigit(c)) return refuse(kIllegalHex);
  for (std::size_t p = 2; p < n; p += 3)
    if (text[p] != ' ') return refuse(kWrongFormat);
  for (std::size_t p = 0; p < n; p += 3) {
    const bool lastAlone = p + 1 == n;
    if (!HexDigit(text[p]) || (!lastAlone && !HexDigit(text[p + 1]))) return refuse(kWrongFormat);
  }
  if (n > displayLength) return refuse(kOversize);
  for (std::size_t p = 0; p < n && result.bytes.size() < kEditMaxBytes; p += 3) {
    const int high = *HexDigit(text[p]);
    result.bytes.push_back(static_cast<std::uint8_t>(p + 1 < n ? high * 16 + *HexDigit(text[p + 1]) : high));
  }
  return result;
}

EditSpan SpanOfEdit(std::uint32_t address, std::size_t count) {
  EditSpan span;
  span.offset = address % kEditSectorSize;
  span.firstSector = address - span.offset;
  span.twoSectors = span.offset + count > kEditSectorSize;
  return span;
}

std::optional<std::string> EditAddressText(const std::string& argument, std::string& whyNot) {
  if (argument.empty() || argument.size() > 4 || !AllHex(argument)) {
    whyNot = "\"" + argument + "\" is not an address of 1 to 4 hexadecimal digits";
    return std::nullopt;
  }
  std::string text = std::string(4 - argument.size(), '0') + argument;
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::optional<std::string> EditDataText(const std::string& argument, std::string& whyNot) {
  std::vector<std::string> bytes;
  std::size_t at = 0;
  while ((at = argument.find_first_not_of(" \t", at)) != std::string::npos) {
    const std::size_t end = std::min(argument.find_first_of(" \t", at), argument.size());
    bytes.push_back(argument.substr(at, end - at));
    at = end;
  }
  if (bytes.empty() || bytes.size() > kEditMaxBytes) {
    whyNot = "\"" + argument + "\" holds " + std::to_string(bytes.size()) + " bytes, not 1 to 16";
    return std::nullopt;
  }
  std::string text;
  for (const std::string& byte : bytes) {
    if (byte.size() > 2 || !AllHex(byte)) {
      whyNot = "\"" + byte + "\" is not a byte of 1 or 2 hexadecimal digits";
      return std::nullopt;
    }
    const int value = byte.size() == 1 ? *HexDigit(byte[0]) : *HexDigit(byte[0]) * 16 + *HexDigit(byte[1]);
    char cell[4];
    std::snprintf(cell, sizeof cell, "%02X", value);
    text += (text.empty() ? "" : " ") + std::string(cell);
  }
  return text;
}

}  // namespace brisko
