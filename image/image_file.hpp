#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "link/message_sink.hpp"

namespace brisko {

// The file a download or compare reads: the named binary file, or the image
// converted from a HEX file into a temporary file. The file is open for as
// long as the object lives and closed with it.
class ImageFile {
 public:
  // Converts a HEX file into `tempPath` first. 10, or -1 once the operator
  // has been told why.
  int Open(const std::string& fileName, const std::string& tempPath, MessageSink& messages);
  std::uint64_t Length() const { return length_; }
  // Copies `count` bytes from file offset `offset`; false on a short read.
  bool Read(std::uint64_t offset, std::uint8_t* out, std::size_t count);

 private:
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file_;
  std::uint64_t length_ = 0;
};

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

// `padded` bytes of FFh with `count` bytes of the file from `offset` at the
// start: 10, 7 (no memory) or -1 (the file could not be read, told).
int LoadImage(ImageFile& file, std::uint64_t offset, std::size_t count, std::size_t padded,
              ImageBuffer& buffer, MessageSink& messages);

std::size_t RoundUp(std::size_t n, std::size_t unit);

}  // namespace brisko
