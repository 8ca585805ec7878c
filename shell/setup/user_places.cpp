#include "shell/setup/user_places.hpp"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace brisko {
namespace {

std::string HomeDir() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "";
}

std::string UserDir(const char* variable, const char* defaultBelowHome) {
  if (const char* value = std::getenv(variable); value && value[0] == '/') return std::string(value) + "/brisko";
  const std::string home = HomeDir();
  return home.empty() ? "" : home + "/" + defaultBelowHome + "/brisko";
}

}  // namespace

SessionPlaces UserPlaces() {
  return SessionPlaces{UserDir("XDG_CONFIG_HOME", ".config"), UserDir("XDG_CACHE_HOME", ".cache"),
                       UserDir("XDG_DATA_HOME", ".local/share"), true};
}

}  // namespace brisko
