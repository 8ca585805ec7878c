#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brisko {

// The pure part of "Byte Edit in Block 0": the address and new-data texts as
// the operator types them, and the display text.

inline constexpr std::size_t kEditMaxBytes = 16;
inline constexpr std::size_t kEditMaxText = 48;
inline constexpr std::uint32_t kEditSectorSize = 128;

// The first address past block 0 of the model (0 for a model of neither family).
std::uint32_t Block0End(int model);

// The address of a four-character hexadecimal text (either case), or the
// message that refuses it: not four characters, a character that is no
// hexadecimal digit, or an address at or past the end of block 0.
struct EditAddress {
  std::uint32_t address = 0;
  std::uint32_t count = 0;  // bytes Display Data shows: 16, fewer at the end of block 0
  std::string refusal;      // "" when the address can be used
};
EditAddress ParseEditAddress(const std::string& text, int model);

// "72 4F 5D 00 ": each byte as two digits and a blank.
std::string FormatEditBytes(std::span<const std::uint8_t> bytes);

// The new data, checked against the display text just shown.
struct EditData {
  enum class Verdict { Ok, ClearField, Refused };
  Verdict verdict = Verdict::Ok;
  std::vector<std::uint8_t> bytes;
  std::string refusal;
};
// Each byte is two digits and the next starts after one blank ("72 4F 5D",
// a blank at the end allowed); a last byte given with one digit only (the
// "4" of "72 4") is that digit's value, 04h. A digit where a blank belongs,
// or a blank where a digit does, is the wrong format: no byte is guessed.
EditData ParseEditData(const std::string& text, std::size_t displayLength);

// The command line's byte edit, as the dialog's texts: an address of 1 to 4
// hexadecimal digits ("3E6" gives "03E6"), and 1 to 16 bytes of 1 or 2
// digits separated by blanks ("7 4f" gives "07 4F"). None, with the reason in
// `whyNot`, for anything else.
std::optional<std::string> EditAddressText(const std::string& argument, std::string& whyNot);
std::optional<std::string> EditDataText(const std::string& argument, std::string& whyNot);

// The sectors an edit of `count` bytes at `address` touches.
struct EditSpan {
  std::uint32_t firstSector = 0;
  std::uint32_t offset = 0;
  bool twoSectors = false;
};
EditSpan SpanOfEdit(std::uint32_t address, std::size_t count);

}  // namespace brisko
