// Any text as the settings file: the reader must refuse or return values the
// writer accepts, and what the writer makes of them must read back the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include "shell/setup/settings_text.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brisko;
  std::string why;
  const auto settings = ParseSettings(std::string(reinterpret_cast<const char*>(data), size), why);
  if (!settings) {
    if (why.empty()) __builtin_trap();
    return 0;
  }
  if (!SettingsProblem(*settings).empty()) __builtin_trap();
  const std::string written = FormatSettings(settings->portNumber, settings->baudRate, settings->crystalMHz);
  const auto again = ParseSettings(written, why);
  if (!again || again->portNumber != settings->portNumber || again->baudRate != settings->baudRate)
    __builtin_trap();
  return 0;
}
