#include "image/image_file.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <new>

#include "chip/flash_image.hpp"
#include "image/hex_file_name.hpp"
#include "image/intel_hex_image.hpp"
#include "link/report_texts.hpp"
#include "link/result_codes.hpp"
#include "link/user_paths.hpp"

namespace brisko {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

bool IsRegularFile(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

std::string NoDataText(const std::string& fileName) {
  return "The file \"" + BaseName(fileName) + "\" holds no data bytes!!!";
}

Result ImageFile::Open(const std::string& fileName, MessageSink& messages) {
  name_ = fileName;
  bytes_.clear();
  length_ = 0;
  // Only a regular file has a length to size the image by.
  if (!IsRegularFile(fileName)) {
    messages.Tell(text::kCannotOpenFile);
    return Result::Failed;
  }
  return IsHexFileName(fileName) ? OpenHex(messages) : OpenBinary(messages);
}

Result ImageFile::OpenBinary(MessageSink& messages) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(name_.c_str(), "rb"));
  struct stat status {};
  if (!file || ::fstat(::fileno(file.get()), &status) != 0) {
    messages.Tell(text::kCannotOpenFile);
    return Result::Failed;
  }
  length_ = static_cast<std::uint64_t>(status.st_size);
  if (length_ == 0) {
    messages.Tell(NoDataText(name_));
    return Result::Failed;
  }
  bytes_.resize(static_cast<std::size_t>(std::min(length_, kLongestImage)));
  if (std::fread(bytes_.data(), 1, bytes_.size(), file.get()) != bytes_.size()) {
    messages.Tell(text::kCannotOpenFile);
    return Result::Failed;
  }
  return Result::Ok;
}

Result ImageFile::OpenHex(MessageSink& messages) {
  std::ifstream source(name_, std::ios::binary);
  if (!source) {
    messages.Tell(text::kCannotOpenFile);
    return Result::Failed;
  }
  HexImage image = BuildImageFromHex(source, BaseName(name_));
  if (!image.ok) {
    messages.Tell(image.error);
    return Result::Failed;
  }
  if (image.dataBytes == 0) {
    messages.Tell(NoDataText(name_));
    return Result::Failed;
  }
  bytes_ = std::move(image.bytes);
  length_ = bytes_.size();
  return Result::Ok;
}

bool ImageFile::Read(std::uint64_t offset, std::uint8_t* out, std::size_t count) const {
  if (offset > bytes_.size() || count > bytes_.size() - offset) return false;
  std::copy_n(bytes_.data() + offset, count, out);
  return true;
}

bool ImageBuffer::Allocate(std::size_t size) {
  bytes_.reset(new (std::nothrow) std::uint8_t[size == 0 ? 1 : size]);
  if (!bytes_) return false;
  size_ = size;
  std::fill_n(bytes_.get(), size_, FlashImage::kErased);
  return true;
}

Result LoadImage(const ImageFile& file, std::uint64_t offset, std::size_t count, std::size_t padded,
                 ImageBuffer& buffer, MessageSink& messages) {
  if (!buffer.Allocate(std::max(count, padded))) return Result::NoMemory;
  // The file was read whole when it was opened; only bytes past the longest
  // image are not there, and such an image fits nowhere.
  if (count > 0 && !file.Read(offset, buffer.Data(), count)) {
    messages.Tell(text::kFileOverSize);
    return Result::OverSize;
  }
  return Result::Ok;
}

std::size_t RoundUp(std::size_t n, std::size_t unit) { return unit == 0 ? n : (n + unit - 1) / unit * unit; }

}  // namespace brisko
