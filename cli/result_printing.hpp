#pragma once
#include <cstdio>
#include <string>

#include "shell/session/window_state.hpp"

namespace brisko::cli {

// The Chip Information panel and the security bar, one "Label: value" a line.
// A model the operator selected (the 1.1F loader does not tell it) is
// marked as such, so it is never taken for a detected one.
void PrintChipInformation(const WindowState& state, bool modelSelected, std::FILE* out);
// The sector table, then the dump of the hot sector.
void PrintViews(const WindowState& state, std::FILE* out);
// The dump's character column as a terminal may show it: control bytes and
// bytes 7Fh..FFh become '.', so flash contents never reach the terminal raw.
std::string PrintableText(const std::string& bytes);

}  // namespace brisko::cli
