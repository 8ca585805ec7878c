#pragma once
#include <string>

#include "shell/session/main_window.hpp"

namespace brisko {

// Puts the window's caption back on every way out of a command.
class CaptionKeeper {
 public:
  explicit CaptionKeeper(MainWindow& w) : w_(w), saved_(w.Caption()) {}
  ~CaptionKeeper() { w_.SetCaption(saved_); }
  CaptionKeeper(const CaptionKeeper&) = delete;
  CaptionKeeper& operator=(const CaptionKeeper&) = delete;

 private:
  MainWindow& w_;
  std::string saved_;
};

}  // namespace brisko
