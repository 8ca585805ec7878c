#pragma once
#include <string>

#include "shell/session/session.hpp"

namespace brisko {

// Puts the window's caption back on every way out of a command.
class CaptionKeeper {
 public:
  explicit CaptionKeeper(Session& session) : session_(session), saved_(session.Window().Caption()) {}
  ~CaptionKeeper() { session_.Window().SetCaption(saved_); }
  CaptionKeeper(const CaptionKeeper&) = delete;
  CaptionKeeper& operator=(const CaptionKeeper&) = delete;

 private:
  Session& session_;
  std::string saved_;
};

}  // namespace brisko
