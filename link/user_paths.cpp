#include "link/user_paths.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <system_error>

namespace brisko {

std::string SessionPlaces::SettingsFile() const {
  return keepSettings && !configDir.empty() ? configDir + "/OrvexBslComDft.txt" : "";
}

std::string SessionPlaces::PortMapFile() const { return configDir.empty() ? "" : configDir + "/ports.conf"; }

bool EnsureDir(const std::string& path, std::string& whyNot) {
  if (path.empty()) {
    whyNot = "no folder is set";
    return false;
  }
  for (std::size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos != path.size() && path[pos] != '/') continue;
    const std::string prefix = path.substr(0, pos);
    if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
      whyNot = prefix + ": " + std::generic_category().message(errno);
      return false;
    }
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    whyNot = path + ": not a folder";
    return false;
  }
  whyNot.clear();
  return true;
}

std::string BaseName(const std::string& path) {
  auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace brisko
