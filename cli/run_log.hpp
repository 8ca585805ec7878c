#pragma once
#include <string>

namespace brisko::cli {

// The run log of --log: JSON Lines appended to a file that other runs (other
// processes) may append to at the same time. Each line goes out in one
// write() on a descriptor opened with O_APPEND, so lines never interleave; a
// line the disk could take only in part is cut off again, so the file holds
// whole lines only. Safe to call from several threads.
class RunLog {
 public:
  RunLog() = default;
  ~RunLog();
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // False, with why in `whyNot`, when the file cannot be opened for appending.
  bool Open(const std::string& path, std::string& whyNot);
  // Appends `line` and a newline. False, with why, when it was not written.
  bool Append(const std::string& line, std::string& whyNot);

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace brisko::cli
