#include "cli/run_log.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace brisko::cli {

RunLog::~RunLog() {
  if (fd_ >= 0) ::close(fd_);
}

bool RunLog::Open(const std::string& path, std::string& whyNot) {
  path_ = path;
  fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) whyNot = "cannot write the log " + path + ": " + std::strerror(errno);
  return fd_ >= 0;
}

bool RunLog::Append(const std::string& line, std::string& whyNot) {
  const std::string whole = line + "\n";
  std::size_t done = 0;
  int error = 0;
  while (done < whole.size()) {
    const ssize_t written = ::write(fd_, whole.data() + done, whole.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      error = written < 0 ? errno : ENOSPC;
      break;
    }
    done += static_cast<std::size_t>(written);
  }
  if (done == whole.size()) return true;
  // Only a full disk or a file size limit stops a line part way: take the
  // part back, so that the log holds whole lines only.
  if (done > 0) {
    const off_t end = ::lseek(fd_, 0, SEEK_CUR);
    if (end >= static_cast<off_t>(done)) {
      [[maybe_unused]] const int cut = ::ftruncate(fd_, end - static_cast<off_t>(done));
    }
  }
  whyNot = "the log line is lost: " + path_ + ": " + std::strerror(error);
  return false;
}

}  // namespace brisko::cli
