#include "cli/file_checks.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace brisko::cli {
namespace {

std::string Because(int error) { return std::generic_category().message(error); }

// Opened as the command will open it (a FIFO does not block the check).
std::string InputProblem(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return "cannot read " + path + ": " + Because(errno);
  struct stat st {};
  const bool stated = ::fstat(fd, &st) == 0;
  ::close(fd);
  if (stated && S_ISDIR(st.st_mode)) return "cannot read " + path + ": it is a folder";
  if (stated && !S_ISREG(st.st_mode)) return "cannot read " + path + ": it is not a regular file";
  return "";
}

std::string OutputFolderProblem(const std::string& path) {
  std::string folder = std::filesystem::path(path).parent_path().string();
  if (folder.empty()) folder = ".";
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return "cannot write " + path + ": " + folder + ": " + Because(errno);
  if (!S_ISDIR(st.st_mode)) return "cannot write " + path + ": " + folder + " is not a folder";
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return "cannot write " + path + ": " + folder + ": " + Because(errno);
  return "";
}

}  // namespace

std::string CommandFilesProblem(const Arguments& args) {
  if (!args.file) return "";
  return args.fileIsOutput ? OutputFolderProblem(*args.file) : InputProblem(*args.file);
}

}  // namespace brisko::cli
