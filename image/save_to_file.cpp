#include "image/save_to_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <system_error>
#include <memory>

#include "image/image_file.hpp"
#include "image/listing.hpp"
#include "link/result_codes.hpp"

namespace brisko {
namespace {

constexpr std::size_t kLineBytes = 16;
constexpr const char* kUnchanged = "; the file is unchanged";

bool WriteBinary(std::FILE* file, const std::uint8_t* bytes, std::size_t length) {
  return std::fwrite(bytes, 1, length, file) == length;
}

bool WriteListing(std::FILE* file, const std::uint8_t* bytes, std::size_t length, std::uint32_t address,
                  bool highBank) {
  for (std::size_t done = 0; done < length; done += kLineBytes, address += kLineBytes) {
    const std::string line =
        Listing(bytes + done, std::min(kLineBytes, length - done), address, highBank);
    if (std::fputs(line.c_str(), file) == EOF) return false;
  }
  return true;
}

std::string Because(const char* what, int error) {
  return std::string(what) + (error ? std::string(": ") + std::generic_category().message(error) : std::string());
}

// The new file beside the one it will replace: same folder, so that the
// final rename cannot cross file systems. It takes the old file's permission
// bits, or the usual ones under the user's umask.
class PendingFile {
 public:
  ~PendingFile() {
    if (file_) std::fclose(file_);
    if (!name_.empty()) ::unlink(name_.c_str());
  }

  bool Create(const std::string& target, std::string& whyNot) {
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
      name_ = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
      fd = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
      whyNot = Because("cannot be created", errno);
      name_.clear();
      return false;
    }
    if (exists && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 07777);
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
      whyNot = Because("cannot be created", errno);
      ::close(fd);
      return false;
    }
    return true;
  }

  std::FILE* Stream() const { return file_; }

  // Everything on the disk, then the rename; a full disk shows in the write,
  // at the flush, the sync or the close at the latest. A write that failed
  // left its reason in errno.
  bool Commit(bool written, const std::string& target, std::string& whyNot) {
    if (written) errno = 0;
    bool ok = written && std::fflush(file_) == 0 && ::fsync(::fileno(file_)) == 0;
    int error = errno;
    if (std::fclose(file_) != 0 && ok) {
      ok = false;
      error = errno;
    }
    file_ = nullptr;
    if (!ok) {
      whyNot = Because("cannot be written", error) + kUnchanged;
      return false;
    }
    if (::rename(name_.c_str(), target.c_str()) != 0) {
      whyNot = Because("cannot be replaced", errno) + kUnchanged;
      return false;
    }
    name_.clear();
    return true;
  }

 private:
  std::string name_;
  std::FILE* file_ = nullptr;
};

// Only a regular file the user may write is replaced: the rename would put
// a plain file in place of a link, a FIFO or a device node (/dev/null, as
// root), and would replace a read-only file behind the user's back. Empty
// when `path` may be written; else why not.
std::string WhyNotReplaceable(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    if (errno != ENOENT) return Because("cannot be created", errno);
    // A new file: its folder must take it (checked before the chip is read).
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    return ::access(folder.c_str(), W_OK) == 0 ? "" : Because("cannot be created", errno);
  }
  if (S_ISLNK(st.st_mode)) return "is a symbolic link and is not replaced";
  if (S_ISDIR(st.st_mode)) return Because("cannot be created", EISDIR);
  if (!S_ISREG(st.st_mode)) return "is not a regular file and is not replaced";
  if ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0)
    return "is read-only and is not replaced";
  return "";
}

}  // namespace

Result SaveToFile(FileRoutineContext& ctx, const std::string& path, std::uint32_t startAddress,
                  std::size_t length, std::uint32_t chunkSize, bool textMode) {
  std::string whyNot;
  auto fail = [&] {
    ctx.messages.Tell(path + ": " + whyNot);
    return Result::Failed;
  };
  // No name at all is the operator's choice, not a fault to explain.
  if (path.empty()) return Result::Failed;
  whyNot = WhyNotReplaceable(path);
  if (!whyNot.empty()) return fail();
  ImageBuffer bytes;
  if (!bytes.Allocate(length + 128)) return Result::NoMemory;
  const Result read =
      chunkSize == 0 ? Result::NoReply : ctx.engine.ReadRange(bytes.Data(), startAddress, length, chunkSize);
  // A cancelled save leaves `path` as it was.
  if (read == Result::Cancelled) return read;
  if (read != Result::Ok) {
    whyNot = std::string("the chip could not be read") + kUnchanged;
    return fail();
  }
  // The new file exists only while it is written: the read, which takes
  // long, is over, so an interrupted save hardly ever leaves one behind.
  PendingFile file;
  if (!file.Create(path, whyNot)) return fail();

  errno = 0;
  const bool written = textMode ? WriteListing(file.Stream(), bytes.Data(), length, startAddress,
                                               ctx.state.externalHighBankSelected)
                                : WriteBinary(file.Stream(), bytes.Data(), length);
  if (!file.Commit(written, path, whyNot)) return fail();
  return Result::Ok;
}

}  // namespace brisko
