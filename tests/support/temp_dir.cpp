#include "support/temp_dir.hpp"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace brisko::test {
namespace {
const char* const kVars[3] = {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"};
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "brisko-test-XXXXXX").string();
  if (char* made = ::mkdtemp(pattern.data())) path_ = made;
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

UserDirsInTemp::UserDirsInTemp() {
  const char* subdirs[3] = {"config", "cache", "data"};
  for (int i = 0; i < 3; ++i) {
    if (const char* old = std::getenv(kVars[i])) {
      had_[i] = true;
      saved_[i] = old;
    }
    std::string dir = dir_.File(subdirs[i]);
    std::filesystem::create_directories(dir);
    ::setenv(kVars[i], dir.c_str(), 1);
  }
}

UserDirsInTemp::~UserDirsInTemp() {
  for (int i = 0; i < 3; ++i) {
    if (had_[i])
      ::setenv(kVars[i], saved_[i].c_str(), 1);
    else
      ::unsetenv(kVars[i]);
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

}  // namespace brisko::test
