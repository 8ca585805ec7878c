#include "image/image_file.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <new>

#include "image/flash_image.hpp"
#include "image/hex_converter.hpp"
#include "link/report_texts.hpp"
#include "link/result_codes.hpp"

namespace brisko {

int ImageFile::Open(const std::string& fileName, const std::string& tempPath, MessageSink& messages) {
  std::string path = fileName;
  if (IsHexFileName(fileName)) {
    if (ConvertHexToBinary(fileName, tempPath, messages) != 1) return kResultFail;
    path = tempPath;
  }
  file_.reset(std::fopen(path.c_str(), "rb"));
  struct stat status {};
  // Only a regular file has a length to size the image by.
  if (!file_ || ::fstat(::fileno(file_.get()), &status) != 0 || !S_ISREG(status.st_mode)) {
    file_.reset();
    messages.Tell(text::kCannotOpenFile);
    return kResultFail;
  }
  length_ = static_cast<std::uint64_t>(status.st_size);
  return kResultOk;
}

bool ImageFile::Read(std::uint64_t offset, std::uint8_t* out, std::size_t count) {
  if (!file_ || ::fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0) return false;
  return std::fread(out, 1, count, file_.get()) == count;
}

bool ImageBuffer::Allocate(std::size_t size) {
  bytes_.reset(new (std::nothrow) std::uint8_t[size == 0 ? 1 : size]);
  if (!bytes_) return false;
  size_ = size;
  std::fill_n(bytes_.get(), size_, FlashImage::kErased);
  return true;
}

int LoadImage(ImageFile& file, std::uint64_t offset, std::size_t count, std::size_t padded,
              ImageBuffer& buffer, MessageSink& messages) {
  if (!buffer.Allocate(std::max(count, padded))) return kResultNoMemory;
  if (count > 0 && !file.Read(offset, buffer.Data(), count)) {
    messages.Tell(text::kCannotOpenFile);
    return kResultFail;
  }
  return kResultOk;
}

std::size_t RoundUp(std::size_t n, std::size_t unit) { return unit == 0 ? n : (n + unit - 1) / unit * unit; }

}  // namespace brisko
