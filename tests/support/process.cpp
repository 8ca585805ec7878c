#include "support/process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

namespace brisko::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env, bool input) {
  int out[2], err[2], in[2] = {-1, -1};
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
  if (input && ::pipe2(in, O_CLOEXEC) != 0) return;
  // Everything execve needs is built before the fork: after it, in a process
  // with threads, only async-signal-safe calls are allowed.
  std::vector<std::string> environment = env;
  const auto name = [](const std::string& entry) { return entry.substr(0, entry.find('=') + 1); };
  for (char** e = environ; *e != nullptr; ++e)
    if (std::none_of(env.begin(), env.end(), [&](const std::string& mine) { return name(mine) == name(*e); }))
      environment.push_back(*e);
  const auto pointers = [](std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (std::string& s : strings) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
  };
  std::vector<std::string> args = argv;
  std::vector<char*> envp = pointers(environment), argp = pointers(args);
  const int stdinFd = input ? in[0] : ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(stdinFd, 0);
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::execve(argp[0], argp.data(), envp.data());
    ::_exit(127);
  }
  ::close(stdinFd);
  ::close(out[1]);
  ::close(err[1]);
  in_ = in[1];
  reader_ = std::thread([this, o = out[0], e = err[0]] { Collect(o, e); });
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);  // brisko-sim removes its link on the way out
    Wait(std::chrono::seconds(1));
  }
  if (in_ >= 0) ::close(in_);
  if (reader_.joinable()) reader_.join();
}

void ChildProcess::Collect(int out, int err) {
  const int fd[2] = {out, err};
  std::string* into[2] = {&out_, &err_};
  bool open[2] = {true, true};
  while (open[0] || open[1]) {
    pollfd fds[2] = {{open[0] ? out : -1, POLLIN, 0}, {open[1] ? err : -1, POLLIN, 0}};
    if (::poll(fds, 2, 100) <= 0) continue;
    char buffer[4096];
    std::lock_guard lock(mutex_);
    for (int i = 0; i < 2; ++i) {
      if (!open[i] || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      const ssize_t n = ::read(fd[i], buffer, sizeof buffer);
      if (n > 0) into[i]->append(buffer, static_cast<std::size_t>(n));
      open[i] = n > 0;
    }
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

std::string ChildProcess::ReadLine(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  grew_.wait_for(lock, limit, [&] { return out_.find('\n', lineFrom_) != std::string::npos; });
  const std::size_t end = std::min(out_.find('\n', lineFrom_), out_.size());
  std::string line = out_.substr(lineFrom_, end - lineFrom_);
  lineFrom_ = std::min(end + 1, out_.size());
  return line;
}

bool ChildProcess::WriteInput(const std::string& text) {
  return in_ >= 0 && ::write(in_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

void ChildProcess::Signal(int signal) {
  if (pid_ > 0) ::kill(pid_, signal);
}

ProcessResult ChildProcess::Wait(std::chrono::milliseconds limit, int* signal) {
  ProcessResult result;
  if (pid_ <= 0) return result;  // it never started, or was waited for
  const auto start = std::chrono::steady_clock::now();
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) != pid_) {
    if (std::chrono::steady_clock::now() - start > limit) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    ::usleep(2000);
  }
  pid_ = -1;
  if (reader_.joinable()) reader_.join();
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
