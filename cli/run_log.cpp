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
  ssize_t written;
  do {
    written = ::write(fd_, whole.data(), whole.size());
  } while (written < 0 && errno == EINTR);
  if (written == static_cast<ssize_t>(whole.size())) return true;
  const int error = written < 0 ? errno : ENOSPC;
  if (written > 0) {
    // Only a full disk (or a file size limit) writes part of a line: take it back.
    const off_t end = ::lseek(fd_, 0, SEEK_CUR);
    if (end >= written) [[maybe_unused]] const int cut = ::ftruncate(fd_, end - written);
  }
  whyNot = "the log line is lost: " + path_ + ": " + std::strerror(error);
  return false;
}

}  // namespace brisko::cli
