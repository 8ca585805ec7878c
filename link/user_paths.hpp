#pragma once
#include <string>

namespace brisko {

// Per-user places of the host's files. Each directory is created (mode 0700)
// on first use; the result is "" when it cannot be made.
std::string ConfigDir();  // $XDG_CONFIG_HOME/brisko, default ~/.config/brisko
std::string CacheDir();   // $XDG_CACHE_HOME/brisko, default ~/.cache/brisko
std::string DataDir();    // $XDG_DATA_HOME/brisko, default ~/.local/share/brisko

std::string SettingsFilePath();   // <config>/OrvexBslComDft.txt
std::string TempImagePath();      // <cache>/orvextmp.bin  (HEX conversions)
std::string TempImage1Path();     // <cache>/orvextmp1.bin (HEX conversions for block 1)

// The text after the last '/' or '\' of a path.
std::string BaseName(const std::string& path);

}  // namespace brisko
