#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/message_sink.hpp"
#include "link/result_codes.hpp"

namespace brisko {

// The image a download or compare works from: the named binary file, or the
// image converted in memory from a HEX file. It is read whole before the chip
// is touched, so a missing, unreadable, malformed or empty file costs nothing
// on the chip, and no two sessions ever share a converted file.
class ImageFile {
 public:
  // Longer files are over size wherever they start; only this much is kept.
  static constexpr std::uint64_t kLongestImage = 0x10000;

  // Ok, or Failed once the operator has been told why (cannot open, bad HEX
  // record, no data bytes).
  Result Open(const std::string& fileName, MessageSink& messages);
  const std::string& Name() const { return name_; }
  // The file's length (a HEX file's: its image's), also when over long.
  std::uint64_t Length() const { return length_; }
  // Copies `count` bytes from offset `offset`; false past what was kept.
  bool Read(std::uint64_t offset, std::uint8_t* out, std::size_t count) const;

 private:
  Result OpenBinary(MessageSink& messages);
  Result OpenHex(MessageSink& messages);

  std::string name_;
  std::vector<std::uint8_t> bytes_;
  std::uint64_t length_ = 0;
};

// Told when an image holds no data bytes.
std::string NoDataText(const std::string& fileName);

// A transient image: FFh throughout, with file bytes copied to its start.
class ImageBuffer {
 public:
  // Makes `size` bytes of FFh; false when there is no memory for them.
  bool Allocate(std::size_t size);
  std::uint8_t* Data() { return bytes_.get(); }
  const std::uint8_t* Data() const { return bytes_.get(); }
  std::size_t Size() const { return size_; }

 private:
  std::unique_ptr<std::uint8_t[]> bytes_;
  std::size_t size_ = 0;
};

// `padded` bytes of FFh with `count` bytes of the image from `offset` at the
// start: Ok, NoMemory, or OverSize (told) when the bytes lie beyond what an
// image can hold.
Result LoadImage(const ImageFile& file, std::uint64_t offset, std::size_t count, std::size_t padded,
              ImageBuffer& buffer, MessageSink& messages);

std::size_t RoundUp(std::size_t n, std::size_t unit);

}  // namespace brisko
