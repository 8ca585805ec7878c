#include "image/intel_hex_image.hpp"

#include <optional>

#include "chip/flash_image.hpp"
#include "image/intel_hex_record.hpp"

namespace brisko {
namespace {

constexpr std::uint64_t kWindowSize = 0x10000;

class HexImageBuilder {
 public:
  explicit HexImageBuilder(const std::string& fileName) : fileName_(fileName) {}

  // Returns false when the text is refused; error() then says why.
  bool Line(std::string_view line, std::size_t lineNumber) {
    lineNumber_ = lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::size_t pos = 0;
    while (!ended_) {
      std::size_t colon = line.find(':', pos);
      if (colon == std::string_view::npos) return true;
      HexRecordParse parsed = ParseHexRecord(line.substr(colon + 1));
      if (parsed.error != HexRecordError::None) return BadRecord(HexRecordErrorText(parsed.error));
      if (!Record(parsed.record)) return false;
      pos = colon + 1 + parsed.consumed;
    }
    return true;
  }

  bool Ended() const { return ended_; }
  const std::string& Error() const { return error_; }
  std::vector<std::uint8_t> TakeImage() { return std::move(image_); }
  std::size_t DataBytes() const { return dataBytes_; }

 private:
  bool Record(const IntelHexRecord& record) {
    switch (record.type) {
      case hexrec::kData:
        return Data(record);
      case hexrec::kEndOfFile:
        // A type-01 record that carries data is not an end record and is
        // passed over like any record without data.
        if (record.data.empty()) ended_ = true;
        return true;
      case hexrec::kExtendedSegmentAddress:
      case hexrec::kExtendedLinearAddress:
        return ExtendedAddress(record);
      default:
        return true;
    }
  }

  bool ExtendedAddress(const IntelHexRecord& record) {
    if (record.data.size() != 2) return BadRecord("extended address record without two data bytes");
    std::uint64_t value = static_cast<std::uint64_t>(record.data[0]) << 8 | record.data[1];
    segmented_ = record.type == hexrec::kExtendedSegmentAddress;
    base_ = segmented_ ? value << 4 : value << 16;
    return true;
  }

  // Segment addressing wraps the 16-bit offset inside its segment; linear
  // addressing counts on into the next 64 KB.
  std::uint64_t AbsoluteAddress(std::uint16_t address, std::size_t index) const {
    std::uint64_t offset = static_cast<std::uint64_t>(address) + index;
    return base_ + (segmented_ ? offset % kWindowSize : offset);
  }

  bool Data(const IntelHexRecord& record) {
    if (record.data.empty()) {
      // Nothing to write, but the image still reaches the record's address.
      std::uint64_t absolute = AbsoluteAddress(record.address, 0);
      if (!InWindow(absolute)) return false;
      Reach(static_cast<std::size_t>(absolute % kWindowSize));
      return true;
    }
    for (std::size_t i = 0; i < record.data.size(); ++i) {
      std::uint64_t absolute = AbsoluteAddress(record.address, i);
      if (!InWindow(absolute)) return false;
      auto offset = static_cast<std::size_t>(absolute % kWindowSize);
      Reach(offset + 1);
      image_[offset] = record.data[i];
    }
    dataBytes_ += record.data.size();
    return true;
  }

  bool InWindow(std::uint64_t absolute) {
    std::uint64_t window = absolute / kWindowSize;
    if (!window_) window_ = window;
    if (*window_ == window) return true;
    error_ = "Intel HEX file \"" + fileName_ + "\" has data in more than one 64 KB window (line " +
             std::to_string(lineNumber_) + "); it cannot be loaded as one image";
    return false;
  }

  void Reach(std::size_t size) {
    if (image_.size() < size) image_.resize(size, FlashImage::kErased);
  }

  bool BadRecord(const char* reason) {
    error_ = "Bad Intel HEX record at line " + std::to_string(lineNumber_) + " of \"" + fileName_ +
             "\": " + reason;
    return false;
  }

  const std::string& fileName_;
  std::size_t lineNumber_ = 0;
  std::uint64_t base_ = 0;
  bool segmented_ = false;
  std::optional<std::uint64_t> window_;
  bool ended_ = false;
  std::size_t dataBytes_ = 0;
  std::vector<std::uint8_t> image_;
  std::string error_;
};

}  // namespace

HexImage BuildImageFromHex(std::istream& text, const std::string& fileName) {
  HexImageBuilder builder(fileName);
  HexImage result;
  std::string line;
  for (std::size_t lineNumber = 1; !builder.Ended() && std::getline(text, line); ++lineNumber) {
    if (!builder.Line(line, lineNumber)) {
      result.error = builder.Error();
      return result;
    }
  }
  if (!builder.Ended()) {
    result.error = "Intel HEX file \"" + fileName + "\" has no end record; it may be cut short";
    return result;
  }
  result.ok = true;
  result.dataBytes = builder.DataBytes();
  result.bytes = builder.TakeImage();
  return result;
}

}  // namespace brisko
