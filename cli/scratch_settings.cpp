#include "cli/scratch_settings.hpp"

#include <stdlib.h>

#include <filesystem>

namespace brisko::cli {
namespace {
constexpr const char* kConfigVariable = "XDG_CONFIG_HOME";
}

ScratchSettings::ScratchSettings() {
  std::error_code error;
  const std::string base = std::filesystem::temp_directory_path(error).string();
  std::string pattern = (error ? std::string("/tmp") : base) + "/brisko-sim-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) return;
  dir_ = pattern;
  if (const char* old = std::getenv(kConfigVariable)) saved_ = old;
  ::setenv(kConfigVariable, dir_.c_str(), 1);
}

ScratchSettings::~ScratchSettings() {
  if (dir_.empty()) return;
  if (saved_) ::setenv(kConfigVariable, saved_->c_str(), 1);
  else ::unsetenv(kConfigVariable);
  std::error_code error;
  std::filesystem::remove_all(dir_, error);
}

}  // namespace brisko::cli
