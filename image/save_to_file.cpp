#include "image/save_to_file.hpp"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "image/image_file.hpp"
#include "image/listing.hpp"
#include "link/result_codes.hpp"

namespace brisko {
namespace {

struct Closer {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, Closer>;

constexpr std::size_t kLineBytes = 16;

bool WriteBinary(std::FILE* file, const std::uint8_t* bytes, std::size_t length) {
  return std::fwrite(bytes, 1, length, file) == length;
}

bool WriteListing(std::FILE* file, const std::uint8_t* bytes, std::size_t length, std::uint32_t address,
                  bool highBank) {
  for (std::size_t done = 0; done < length; done += kLineBytes, address += kLineBytes) {
    const std::string line =
        Listing(bytes + done, std::min(kLineBytes, length - done), address, highBank);
    if (std::fputs(line.c_str(), file) == EOF) return false;
  }
  return true;
}

}  // namespace

int SaveToFile(FileRoutineContext& ctx, const std::string& path, std::uint32_t startAddress,
               std::size_t length, std::uint32_t chunkSize, bool textMode) {
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) return kResultFail;
  ImageBuffer bytes;
  if (!bytes.Allocate(length + 128)) return kResultNoMemory;
  if (chunkSize == 0 || ctx.engine.ReadRange(bytes.Data(), startAddress, length, chunkSize) != length)
    return kResultFail;

  const bool written = textMode ? WriteListing(file.get(), bytes.Data(), length, startAddress,
                                               ctx.state.externalHighBankSelected)
                                : WriteBinary(file.get(), bytes.Data(), length);
  // Data still in the stream's buffer reach the disk only at the close.
  const bool closed = std::fclose(file.release()) == 0;
  return written && closed ? kResultOk : kResultFail;
}

}  // namespace brisko
