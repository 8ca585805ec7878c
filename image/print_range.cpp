#include "image/print_range.hpp"

#include "image/image_file.hpp"
#include "image/listing.hpp"
#include "link/result_codes.hpp"

namespace brisko {

Result PrintRange(FileRoutineContext& ctx, std::uint32_t startAddress, std::size_t length, std::uint32_t chunkSize,
                  const ListingPrinter& print) {
  ImageBuffer bytes;
  if (!bytes.Allocate(length + 128)) return Result::NoMemory;
  if (chunkSize == 0) return Result::NoReply;
  const Result read = ctx.engine.ReadRange(bytes.Data(), startAddress, length, chunkSize);
  if (read != Result::Ok) return read;
  return print(Listing(bytes.Data(), length, startAddress, false)) ? Result::Ok : Result::Failed;
}

}  // namespace brisko
