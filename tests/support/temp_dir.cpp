#include "support/temp_dir.hpp"

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
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

FileSizeLimit::FileSizeLimit(unsigned long bytes) {
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  savedCurrent_ = limit.rlim_cur;
  savedMax_ = limit.rlim_max;
  savedSignal_ = std::signal(SIGXFSZ, SIG_IGN);
  limit.rlim_cur = bytes;
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
  const rlimit limit{savedCurrent_, savedMax_};
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, savedSignal_);
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
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
