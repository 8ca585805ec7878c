#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
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

// A program started with environment variables of its own ("NAME=value",
// added to the test's), whose stdout and stderr are collected as they come,
// so that a test can wait for a line, signal it at that moment and collect
// how it ended. Killed when the object goes and it still runs.
class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // True once stdout or stderr so far holds `text` at least `count` times.
  bool WaitForOutput(const std::string& text, int count, std::chrono::milliseconds limit);
  void Signal(int signal);
  // Waits for the end (killing it after `limit`): exitCode is -1 when it was
  // ended by a signal, and `signal` says which.
  ProcessResult Wait(std::chrono::milliseconds limit, int* signal = nullptr);
  std::string Output() const;

 private:
  void Collect(int out, int err);

  int pid_ = -1;
  mutable std::mutex mutex_;
  std::condition_variable grew_;
  std::string out_;
  std::string err_;
  std::thread reader_;
};

}  // namespace brisko::test
