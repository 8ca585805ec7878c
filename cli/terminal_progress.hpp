#pragma once
#include <cstdio>
#include <optional>
#include <string>

#include "shell/session/window_state.hpp"

namespace brisko::cli {

// Draws the engine's progress on a terminal: one line per phase (erasing,
// writing, reading...), redrawn in place as the phase moves on. A phase
// starts with a range and its first word, and its bar only grows: the engine
// sets the position back to 0 before its closing word, and that is not
// drawn. The closing "Done" ends the line without being drawn (the summary
// says how the command ended), so a log of the terminal shows each phase's
// line once and never "Done" twice; "Abort" is added to the line it stopped.
// A word set without a range of its own ("Start") is a line without a bar.
// Observer calls come on the runner's thread.
class TerminalProgress final : public WindowObserver {
 public:
  explicit TerminalProgress(std::FILE* out);
  void WindowChanged(WindowAspect aspect, const WindowState& state) override;
  // Ends a line that is on the screen with a line feed.
  void Finish();

 private:
  void EndPhase(const char* tail);
  void Draw(const char* tail = "");

  std::FILE* out_;
  bool lineOpen_ = false;   // a phase's line is on the screen, not yet ended
  bool phaseOpen_ = false;  // a phase runs: its closing word has not come
  unsigned ranges_ = 0;     // the ranges seen
  bool rangeUnused_ = false;                 // a range waits for its phase
  std::optional<std::string> staleLabel_;    // the word of the ended phase, still in the pane
  bool ranged_ = false;     // the phase has a range of its own: it has a bar
  std::string label_;
  int max_ = 0;
  int reached_ = 0;  // the furthest position of the phase
  std::string lastLine_;
};

}  // namespace brisko::cli
