#pragma once
#include <optional>
#include <string>

namespace brisko::cli {

// A run on the simulated chip keeps the user's saved port, rate and crystal
// alone: while this object lives, the session's configuration directory is a
// fresh private one, removed afterwards. Made before the session, on the
// main thread, before any other thread starts.
class ScratchSettings {
 public:
  ScratchSettings();
  ~ScratchSettings();
  ScratchSettings(const ScratchSettings&) = delete;
  ScratchSettings& operator=(const ScratchSettings&) = delete;

 private:
  std::string dir_;
  std::optional<std::string> saved_;
};

}  // namespace brisko::cli
