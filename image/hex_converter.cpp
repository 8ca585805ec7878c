#include "image/hex_converter.hpp"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "image/intel_hex_image.hpp"
#include "link/report_texts.hpp"
#include "link/user_paths.hpp"

namespace brisko {
namespace {

std::string LowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool WriteAll(int fd, const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes beside the target and renames over it, so that the target holds
// either its old content or the whole new image, never a part.
bool ReplaceFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  if (path.empty()) return false;
  std::string staging = path + ".XXXXXX";
  int fd = ::mkstemp(staging.data());
  if (fd < 0) return false;
  bool written = WriteAll(fd, bytes);
  bool closed = ::close(fd) == 0;
  if (written && closed && std::rename(staging.c_str(), path.c_str()) == 0) return true;
  std::remove(staging.c_str());
  return false;
}

}  // namespace

bool IsHexFileName(const std::string& name) {
  std::string lower = LowerCase(name);
  return EndsWith(lower, "hex") || EndsWith(lower, ".ihx");
}

int ConvertHexToBinary(const std::string& hexName, const std::string& binName, MessageSink& messages) {
  if (!IsHexFileName(hexName)) return 0;
  std::error_code ignored;
  std::ifstream source(hexName, std::ios::binary);
  if (!source || std::filesystem::is_directory(hexName, ignored)) {
    messages.Tell(text::kCannotOpenFile);
    return 0;
  }
  HexImage image = BuildImageFromHex(source, BaseName(hexName));
  source.close();
  if (!image.ok) {
    messages.Tell(image.error);
    return 0;
  }
  if (!ReplaceFile(binName, image.bytes)) {
    messages.Tell("Can't write the converted image to \"" + binName + "\"");
    return 0;
  }
  return 1;
}

}  // namespace brisko
