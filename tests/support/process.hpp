#pragma once
#include <chrono>
#include <string>
#include <vector>

namespace brisko::test {

struct ProcessResult {
  int exitCode = -1;  // -1 when it had to be killed
  std::string out;
  std::string err;
  std::chrono::milliseconds elapsed{0};
};

// Runs a program with arguments and no standard input, collecting its output;
// kills it after `limit`.
ProcessResult RunProcess(const std::vector<std::string>& argv, std::chrono::milliseconds limit);

// A program running in the background for the length of a test; killed
// (SIGTERM, then SIGKILL) when the object goes.
class BackgroundProcess {
 public:
  explicit BackgroundProcess(const std::vector<std::string>& argv);
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;
  // The next line it writes to stdout, waiting at most `limit` (what came
  // of it so far when the limit passes).
  std::string ReadLine(std::chrono::milliseconds limit);
  bool Running() const { return pid_ > 0; }
  // Writes to its standard input.
  bool WriteInput(const std::string& text);

 private:
  int pid_ = -1;
  int out_ = -1;
  int in_ = -1;
};

}  // namespace brisko::test
