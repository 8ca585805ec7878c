#pragma once
#include <string>

namespace brisko {

// True for names whose last three characters are "hex" in any case, and for
// ".ihx" files; every other name is a raw binary image.
bool IsHexFileName(const std::string& name);

}  // namespace brisko
