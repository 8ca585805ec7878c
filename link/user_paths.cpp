#include "link/user_paths.hpp"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace brisko {
namespace {

std::string HomeDir() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "";
}

// Creates every missing directory of `path`, each private to the user.
bool MakeDirs(const std::string& path) {
  for (std::size_t pos = 1; pos <= path.size(); ++pos) {
    if (pos != path.size() && path[pos] != '/') continue;
    std::string prefix = path.substr(0, pos);
    if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Base directories given by the user must be absolute; a relative one is
// ignored, as if it were not set.
std::string UserDir(const char* variable, const char* defaultBelowHome) {
  std::string base;
  if (const char* value = std::getenv(variable); value && value[0] == '/') {
    base = value;
  } else {
    std::string home = HomeDir();
    if (home.empty()) return "";
    base = home + "/" + defaultBelowHome;
  }
  std::string dir = base + "/brisko";
  return MakeDirs(dir) ? dir : "";
}

std::string FileIn(const std::string& dir, const char* name) {
  return dir.empty() ? "" : dir + "/" + name;
}

}  // namespace

std::string ConfigDir() { return UserDir("XDG_CONFIG_HOME", ".config"); }
std::string CacheDir() { return UserDir("XDG_CACHE_HOME", ".cache"); }
std::string DataDir() { return UserDir("XDG_DATA_HOME", ".local/share"); }

std::string SettingsFilePath() { return FileIn(ConfigDir(), "OrvexBslComDft.txt"); }
std::string TempImagePath() { return FileIn(CacheDir(), "orvextmp.bin"); }
std::string TempImage1Path() { return FileIn(CacheDir(), "orvextmp1.bin"); }

std::string BaseName(const std::string& path) {
  auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace brisko
