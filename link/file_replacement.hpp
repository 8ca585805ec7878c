#pragma once
#include <string>

namespace brisko {

// Replaces the whole file at `path` with `text`: the text goes into a new
// file in the same folder (made if missing), is flushed to the disk, and only
// then renamed over the old one. A full disk or any other failure leaves the
// old file as it was and says why in `whyNot` ("<path>: <reason>"). The new
// file keeps the old one's permission bits.
bool ReplaceFileText(const std::string& path, const std::string& text, std::string& whyNot);

}  // namespace brisko
