#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace brisko::test {

struct ProcessResult {
  int exitCode = -1;  // -1 when it was ended by a signal (or killed at the limit)
  std::string out;
  std::string err;
};

// A program started with environment variables of its own ("NAME=value",
// added to the test's), whose stdout and stderr are collected as they come,
// so that a test can wait for a line, signal it at that moment and collect
// how it ended. Its standard input is /dev/null, or a pipe the test writes
// to when `input` is set. Ended (SIGTERM, then SIGKILL) when the object goes
// and it still runs.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                        bool input = false);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // True once stdout or stderr so far holds `text` at least `count` times.
  bool WaitForOutput(const std::string& text, int count, std::chrono::milliseconds limit);
  // The next line of stdout, waiting at most `limit` (what came of it so far
  // when the limit passes).
  std::string ReadLine(std::chrono::milliseconds limit);
  bool WriteInput(const std::string& text);
  void Signal(int signal);
  // Waits for the end (killing it after `limit`): exitCode is -1 when it was
  // ended by a signal, and `signal` says which.
  ProcessResult Wait(std::chrono::milliseconds limit, int* signal = nullptr);
  std::string Output() const;

 private:
  void Collect(int out, int err);

  int pid_ = -1;
  int in_ = -1;
  mutable std::mutex mutex_;
  std::condition_variable grew_;
  std::string out_;
  std::string err_;
  std::size_t lineFrom_ = 0;  // where ReadLine goes on in out_
  std::thread reader_;
};

// A program the test talks to for its length (brisko-sim): input by pipe.
struct BackgroundProcess : ChildProcess {
  explicit BackgroundProcess(const std::vector<std::string>& argv) : ChildProcess(argv, {}, true) {}
};

// Runs a program with arguments and no standard input, collecting its output;
// kills it after `limit`.
inline ProcessResult RunProcess(const std::vector<std::string>& argv, std::chrono::milliseconds limit) {
  return ChildProcess(argv).Wait(limit);
}

}  // namespace brisko::test
