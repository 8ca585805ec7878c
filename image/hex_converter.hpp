#pragma once
#include <string>

#include "link/message_sink.hpp"

namespace brisko {

// True for names whose last three characters are "hex" in any case, and for
// ".ihx" files; every other name is a raw binary image.
bool IsHexFileName(const std::string& name);

// Converts an Intel HEX file into a binary image whose offset 0 is address
// 0000h of the records' 64 KB window; bytes no record covers are FFh. A bad
// record (checksum, non-hex digit, short line) or data spread over more than
// one 64 KB window is refused with a message naming the file and line, and
// nothing is written. 1 on success, 0 on failure.
int ConvertHexToBinary(const std::string& hexName, const std::string& binName, MessageSink& messages);

}  // namespace brisko
