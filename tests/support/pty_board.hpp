#pragma once
// A simulated chip served on a pseudo-terminal by a thread of the test, as
// brisko-sim serves one: the host opens it as a real port, through the port
// map or by its path.
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "sim/pty_server.hpp"

namespace brisko::test {

class PtyBoard {
 public:
  // `link`: a symbolic link to the terminal, made for the test.
  PtyBoard(std::shared_ptr<sim::SimTarget> target, const std::string& link) : server_(std::move(target)) {
    if (!server_.Start(link, whyNot_)) return;
    thread_ = std::thread([this] { server_.Run(stop_); });
  }
  ~PtyBoard() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  PtyBoard(const PtyBoard&) = delete;
  PtyBoard& operator=(const PtyBoard&) = delete;

  bool Serving() const { return thread_.joinable(); }
  const std::string& WhyNot() const { return whyNot_; }

 private:
  sim::PtyServer server_;
  std::string whyNot_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace brisko::test
