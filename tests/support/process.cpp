#include "support/process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace brisko::test {
namespace {

using Clock = std::chrono::steady_clock;

pid_t Spawn(const std::vector<std::string>& argv, int outFd, int errFd, int inFd = -1) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  const int devNull = ::open("/dev/null", O_RDONLY);
  ::dup2(inFd >= 0 ? inFd : devNull, 0);
  ::dup2(outFd, 1);
  ::dup2(errFd, 2);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  ::execv(args[0], args.data());
  ::_exit(127);
}

void Drain(int fd, std::string& into, bool& open) {
  char buffer[4096];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  if (n > 0)
    into.append(buffer, static_cast<std::size_t>(n));
  else
    open = false;
}

}  // namespace

ProcessResult RunProcess(const std::vector<std::string>& argv, std::chrono::milliseconds limit) {
  ProcessResult result;
  int out[2], err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) return result;
  const auto start = Clock::now();
  const pid_t pid = Spawn(argv, out[1], err[1]);
  ::close(out[1]);
  ::close(err[1]);
  bool outOpen = true, errOpen = true, killed = false;
  while (outOpen || errOpen) {
    const auto left = limit - std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    if (left.count() <= 0) {
      ::kill(pid, SIGKILL);
      killed = true;
      break;
    }
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    if (::poll(fds, 2, static_cast<int>(left.count())) <= 0) continue;
    if (outOpen && (fds[0].revents & (POLLIN | POLLHUP))) Drain(out[0], result.out, outOpen);
    if (errOpen && (fds[1].revents & (POLLIN | POLLHUP))) Drain(err[0], result.err, errOpen);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(out[0]);
  ::close(err[0]);
  result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  result.exitCode = (!killed && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
  return result;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv) {
  int out[2];
  int in[2];
  if (::pipe(out) != 0) return;
  if (::pipe2(in, O_CLOEXEC) != 0) return;
  const int devNull = ::open("/dev/null", O_WRONLY);
  pid_ = Spawn(argv, out[1], devNull, in[0]);
  ::close(devNull);
  ::close(out[1]);
  ::close(in[0]);
  out_ = out[0];
  in_ = in[1];
}

bool BackgroundProcess::WriteInput(const std::string& text) {
  return in_ >= 0 && ::write(in_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

BackgroundProcess::~BackgroundProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 100; ++i) {
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        break;
      }
      ::usleep(10000);
    }
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  if (out_ >= 0) ::close(out_);
  if (in_ >= 0) ::close(in_);
}

std::string BackgroundProcess::ReadLine(std::chrono::milliseconds limit) {
  std::string line;
  const auto start = Clock::now();
  while (Clock::now() - start < limit) {
    pollfd fd{out_, POLLIN, 0};
    if (::poll(&fd, 1, 50) <= 0) continue;
    char c;
    if (::read(out_, &c, 1) != 1) break;
    if (c == '\n') return line;
    line += c;
  }
  return line;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
  // Everything execve needs is built before the fork: after it, in a process
  // with threads, only async-signal-safe calls are allowed.
  std::vector<std::string> environment = env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const std::string& mine : env) replaced = replaced || mine.rfind(name + "=", 0) == 0;
    if (!replaced) environment.push_back(entry);
  }
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = argv;
  std::vector<char*> argp;
  for (std::string& a : args) argp.push_back(a.data());
  argp.push_back(nullptr);
  const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(devNull, 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::execve(argp[0], argp.data(), envp.data());
    ::_exit(127);
  }
  ::close(devNull);
  ::close(out[1]);
  ::close(err[1]);
  reader_ = std::thread([this, o = out[0], e = err[0]] { Collect(o, e); });
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (reader_.joinable()) reader_.join();
}

void ChildProcess::Collect(int out, int err) {
  bool outOpen = true, errOpen = true;
  while (outOpen || errOpen) {
    pollfd fds[2] = {{outOpen ? out : -1, POLLIN, 0}, {errOpen ? err : -1, POLLIN, 0}};
    if (::poll(fds, 2, 100) <= 0) continue;
    std::string outPart, errPart;
    if (outOpen && (fds[0].revents & (POLLIN | POLLHUP))) Drain(out, outPart, outOpen);
    if (errOpen && (fds[1].revents & (POLLIN | POLLHUP))) Drain(err, errPart, errOpen);
    std::lock_guard lock(mutex_);
    out_ += outPart;
    err_ += errPart;
    grew_.notify_all();
  }
  ::close(out);
  ::close(err);
}

bool ChildProcess::WaitForOutput(const std::string& text, int count, std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return grew_.wait_for(lock, limit, [&] {
    int found = 0;
    for (const std::string* all : {&out_, &err_})
      for (std::size_t at = all->find(text); at != std::string::npos; at = all->find(text, at + 1)) ++found;
    return found >= count;
  });
}

void ChildProcess::Signal(int signal) {
  if (pid_ > 0) ::kill(pid_, signal);
}

ProcessResult ChildProcess::Wait(std::chrono::milliseconds limit, int* signal) {
  ProcessResult result;
  const auto start = Clock::now();
  int status = 0;
  bool ended = false;
  while (pid_ > 0 && !ended) {
    ended = ::waitpid(pid_, &status, WNOHANG) == pid_;
    if (!ended && Clock::now() - start > limit) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      ended = true;
    }
    if (!ended) ::usleep(2000);
  }
  pid_ = -1;
  if (reader_.joinable()) reader_.join();
  result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (signal) *signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  std::lock_guard lock(mutex_);
  result.out = out_;
  result.err = err_;
  return result;
}

std::string ChildProcess::Output() const {
  std::lock_guard lock(mutex_);
  return out_ + err_;
}

}  // namespace brisko::test
