#pragma once
#include <istream>
#include <map>
#include <optional>
#include <string>

namespace brisko {

// "COM<n>" names stay the operator's names for ports; on this platform each
// resolves to a device: an explicit mapping in the user's configuration
// ("COM5=/dev/ttyUSB0", one per line, in <config dir>/ports.conf) wins, else
// /dev/ttyS<n-1>. Anything that is not "COM<n>" is taken as a device path.

std::optional<int> ParseComName(const std::string& name);
std::string ComName(int portNumber);
// The mapping's lines ("COM5=/dev/ttyUSB0"; blank lines, '#' comments and
// lines that are not of that form are skipped).
std::map<int, std::string> ParsePortMap(std::istream& text);
std::map<int, std::string> ReadPortMap(const std::string& path);
std::string ResolvePortName(const std::string& name, const std::map<int, std::string>& map);

// Maps "COM<portNumber>" to `device` (a full path) in the port map file at
// `path`; an empty device drops the entry, so the port resolves to its default
// again. Other lines, comments included, stay. The file is replaced whole, so
// a failure (said in `whyNot`) leaves the old map as it was.
bool SavePortMapping(const std::string& path, int portNumber, const std::string& device, std::string& whyNot);

}  // namespace brisko
