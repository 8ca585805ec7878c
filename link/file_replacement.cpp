#include "link/file_replacement.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "link/user_paths.hpp"

namespace brisko {
namespace {

std::string Reason(const std::string& path, int error) {
  return path + ": " + std::generic_category().message(error);
}

// A name of its own for each writer, so that two programs saving at once
// never write into the same new file.
int CreateBeside(const std::string& path, std::string& fresh) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    fresh = path + ".new" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    const int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool ReplaceFileText(const std::string& path, const std::string& text, std::string& whyNot) {
  if (path.empty()) {
    whyNot = "no file is set";
    return false;
  }
  const std::string folder = std::filesystem::path(path).parent_path().string();
  if (!folder.empty() && !EnsureDir(folder, whyNot)) return false;
  std::string fresh;
  const int fd = CreateBeside(path, fresh);
  if (fd < 0) {
    whyNot = Reason(path, errno);
    return false;
  }
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 07777);
  errno = 0;
  bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
  int error = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::rename(fresh.c_str(), path.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (ok) return true;
  ::unlink(fresh.c_str());
  whyNot = Reason(path, error != 0 ? error : EIO);
  return false;
}

}  // namespace brisko
