#include "image/print_range.hpp"

#include "image/image_file.hpp"
#include "image/listing.hpp"
#include "link/result_codes.hpp"

namespace brisko {

int PrintRange(FileRoutineContext& ctx, std::uint32_t startAddress, std::size_t length, std::uint32_t chunkSize,
               const ListingPrinter& print) {
  ImageBuffer bytes;
  if (!bytes.Allocate(length + 128)) return kResultNoMemory;
  if (chunkSize == 0 || ctx.engine.ReadRange(bytes.Data(), startAddress, length, chunkSize) != length)
    return kResultNoReply;
  return print(Listing(bytes.Data(), length, startAddress, false)) ? kResultOk : kResultFail;
}

}  // namespace brisko
