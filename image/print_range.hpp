#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "image/file_routines.hpp"

namespace brisko {

// Hands a listing to the printer: true when printed or when the operator
// cancelled the print dialog, false when the printer failed.
using ListingPrinter = std::function<bool(const std::string& listing)>;

// Reads `length` bytes from `startAddress` in chunks and prints them as the
// text listing, always with four-digit addresses. Ok (also when the print
// dialog was cancelled), NoReply (a short read: nothing is printed),
// NoMemory, Failed (the printer failed), Cancelled (during the read).
Result PrintRange(FileRoutineContext& ctx, std::uint32_t startAddress, std::size_t length, std::uint32_t chunkSize,
                  const ListingPrinter& print);

}  // namespace brisko
