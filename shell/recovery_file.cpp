#include "shell/recovery_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <span>
#include <string>
#include <system_error>

#include "link/user_paths.hpp"

namespace brisko {
namespace {

static_assert(sizeof(SavedAreas::savedSector0) == kRecoverySector0Size);
static_assert(sizeof(SavedAreas::savedArea2000) == kRecoveryArea2000Size);

std::string CandidateName(const std::string& directory, std::time_t now, int attempt) {
  std::tm local{};
  ::localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  std::string name = directory + "/block0-recovery-" + stamp;
  if (attempt > 1) name += "-" + std::to_string(attempt);
  return name + ".bin";
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t count) {
  while (count > 0) {
    ssize_t written = ::write(fd, data, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

namespace {

std::string WriteRecoveryParts(const std::string& directory, std::span<const std::uint8_t> first,
                               std::span<const std::uint8_t> second, std::time_t now, std::string& whyNot) {
  if (!EnsureDir(directory, whyNot)) return "";
  constexpr int kMaxAttempts = 100;
  for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
    std::string path = CandidateName(directory, now, attempt);
    // O_EXCL: never reuse (and so overwrite) an older recovery file.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      whyNot = path + ": " + std::generic_category().message(errno);
      return "";
    }
    // The chip is erased right after this returns: the bytes must be on the
    // disk, not in a cache, before that.
    bool ok = WriteAll(fd, first.data(), first.size()) && WriteAll(fd, second.data(), second.size()) &&
              ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) return path;
    whyNot = path + ": " + std::generic_category().message(errno);
    ::unlink(path.c_str());
    return "";
  }
  whyNot = directory + ": no free recovery file name";
  return "";
}

}  // namespace

std::string WriteBlock0RecoveryFile(const std::string& directory, const SavedAreas& saved, std::time_t now,
                                    std::string& whyNot) {
  return WriteRecoveryParts(directory, saved.savedSector0, saved.savedArea2000, now, whyNot);
}

std::string WriteBlock0RecoveryFile(const std::string& directory, const SavedAreas& saved, std::time_t now) {
  std::string whyNot;
  return WriteBlock0RecoveryFile(directory, saved, now, whyNot);
}

std::string WriteUserCodeRecoveryFile(const std::string& directory, const SavedAreas& saved, std::time_t now,
                                      std::string& whyNot) {
  return WriteRecoveryParts(directory, saved.savedUserCode, {}, now, whyNot);
}

bool RemoveBlock0RecoveryFile(const std::string& path) { return !path.empty() && ::unlink(path.c_str()) == 0; }

}  // namespace brisko
