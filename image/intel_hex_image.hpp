#pragma once
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace brisko {

struct HexImage {
  bool ok = false;
  // Offset 0 is address 0000h of the 64 KB window the data lie in.
  std::vector<std::uint8_t> bytes;
  // How many bytes the data records carried (an image can be all gap).
  std::size_t dataBytes = 0;
  // Why the text was refused; names the file and the line.
  std::string error;
};

// Builds the binary image that the records of an Intel HEX text describe.
// Text before a ':' is skipped; the end-of-file record (type 01, no data)
// ends the image. A text without one is refused: it is how a build output
// cut short looks. Bytes no record covers
// are FFh; the image is as long as the highest address written. Extended
// segment (02) and linear (04) address records are followed, and all data
// must fall into one 64 KB window. `fileName` is the name used in errors.
HexImage BuildImageFromHex(std::istream& text, const std::string& fileName);

}  // namespace brisko
