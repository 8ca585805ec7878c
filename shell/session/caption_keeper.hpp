#pragma once
#include <string>

#include "shell/session/window_model.hpp"

namespace brisko {

// Puts the window's caption back on every way out of a command.
class CaptionKeeper {
 public:
  explicit CaptionKeeper(WindowModel& window) : window_(window), saved_(window.Caption()) {}
  ~CaptionKeeper() { window_.SetCaption(saved_); }
  CaptionKeeper(const CaptionKeeper&) = delete;
  CaptionKeeper& operator=(const CaptionKeeper&) = delete;

 private:
  WindowModel& window_;
  std::string saved_;
};

}  // namespace brisko
