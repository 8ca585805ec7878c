#pragma once
#include <cstdint>
#include <string>

#include "image/file_routines.hpp"

namespace brisko {

// Reads `length` bytes from `startAddress` in chunks and writes them to
// `path`, raw or as the text listing. Ok, Failed, NoMemory, or Cancelled
// (a cancel during the read: nothing is told and `path` is not touched).
//
// The bytes go to a new file beside `path`, which replaces `path` only once
// every byte was read from the chip and is on the disk; a failed save leaves
// a file already at `path` as it was. On failure the reason is told to
// ctx.messages as "<path>: <why>" (cannot be created, cannot be written with
// the system's reason such as a full disk, the chip could not be read, cannot
// be replaced, is not a regular file, is a symbolic link, is read-only:
// only a regular file the user may write is replaced); NoMemory and an empty
// `path` are not told. The new file is created only once the chip was read.
Result SaveToFile(FileRoutineContext& ctx, const std::string& path, std::uint32_t startAddress,
                  std::size_t length, std::uint32_t chunkSize, bool textMode);

}  // namespace brisko
