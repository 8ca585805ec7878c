#pragma once
#include <string>
#include <vector>

#include "link/user_paths.hpp"

namespace brisko::test {

// A fresh directory below the system's temporary directory, removed with all
// its contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Points XDG_CONFIG_HOME, XDG_CACHE_HOME and XDG_DATA_HOME into a TempDir for
// the lifetime of the object (for the programs a test starts), and gives the
// same folders as a session's places, so tests never touch the user's files.
class UserDirsInTemp {
 public:
  UserDirsInTemp();
  ~UserDirsInTemp();
  const TempDir& Dir() const { return dir_; }
  SessionPlaces Places() const {
    return {dir_.File("config/brisko"), dir_.File("cache/brisko"), dir_.File("data/brisko"), true};
  }

 private:
  TempDir dir_;
  std::string saved_[3];
  bool had_[3] = {false, false, false};
};

// A full disk for this process, while the object lives: a write that would
// make a file longer than `bytes` fails (EFBIG) instead of ending the
// process.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(unsigned long bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  unsigned long savedCurrent_ = 0;
  unsigned long savedMax_ = 0;
  void (*savedSignal_)(int) = nullptr;
};

// The names in a folder, sorted (none when it does not exist).
std::vector<std::string> FolderNames(const std::string& folder);

// Whole-file helpers.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

// A text's lines, each with its newline.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find('\n', from)) != std::string::npos; from = at + 1)
    lines.push_back(text.substr(from, at - from + 1));
  return lines;
}

// A test's user directories in a TempDir, and the files it puts there.
class TestFiles {
 public:
  std::string Path(const std::string& name) const { return dirs.Dir().File(name); }
  template <class Bytes>
  std::string Write(const std::string& name, const Bytes& bytes) const {
    WriteFile(Path(name), std::string(bytes.begin(), bytes.end()));
    return Path(name);
  }

  UserDirsInTemp dirs;
};

}  // namespace brisko::test
