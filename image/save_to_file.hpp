#pragma once
#include <cstdint>
#include <string>

#include "image/file_routines.hpp"

namespace brisko {

// Reads `length` bytes from `startAddress` in chunks and writes them to
// `path`, raw or as the text listing. 10, -1 (file not created or a short
// read: the file is left empty), 7 (no memory).
int SaveToFile(FileRoutineContext& ctx, const std::string& path, std::uint32_t startAddress,
               std::size_t length, std::uint32_t chunkSize, bool textMode);

}  // namespace brisko
