#pragma once
#include <cstdio>
#include <string>

#include "shell/window_state.hpp"

namespace brisko::cli {

// Draws the engine's progress label and bar on a terminal, one line per
// label. A finished phase keeps its bar as it ended: the engine sets the
// position back to 0 before its closing label, and that label is drawn
// beside the bar the phase reached, not beside an empty one. Observer calls
// come on the runner's thread.
class TerminalProgress final : public WindowObserver {
 public:
  explicit TerminalProgress(std::FILE* out);
  void WindowChanged(WindowAspect aspect, const WindowState& state) override;
  // Ends a bar that is on the screen with a line feed.
  void Finish();

 private:
  void Draw(const std::string& label, int max, int position);

  std::FILE* out_;
  bool drawn_ = false;
  std::string lastLine_;
  std::string label_;
  int max_ = 0;
  int reached_ = 0;  // the furthest position of the current phase
};

}  // namespace brisko::cli
