#include "cli/terminal_progress.hpp"

#include <algorithm>

namespace brisko::cli {

TerminalProgress::TerminalProgress(std::FILE* out) : out_(out) {}

void TerminalProgress::WindowChanged(WindowAspect aspect, const WindowState& state) {
  if (aspect != WindowAspect::Progress) return;
  const ProgressPane& p = state.progress;
  if (p.max != max_) {  // a new range opens a new phase; its label follows
    max_ = p.max;
    reached_ = 0;
    return;
  }
  if (p.label != label_) {
    // A new label gets a line of its own; the previous one stays as it was.
    if (drawn_) std::fputc('\n', out_);
    lastLine_.clear();
    label_ = p.label;
    // A label that opens a phase comes at position 0 after a reset; the
    // first step of the phase then starts its bar again.
  }
  if (p.position > 0 || reached_ == 0) reached_ = p.position;
  if (!label_.empty()) Draw(p.label, p.max, reached_);
}

void TerminalProgress::Draw(const std::string& label, int max, int position) {
  constexpr int kWidth = 40;
  const int filled = max > 0 ? std::clamp(position * kWidth / max, 0, kWidth) : 0;
  const int percent = max > 0 ? std::clamp(position * 100 / max, 0, 100) : 0;
  char line[128];
  std::snprintf(line, sizeof line, "\r%-12s [%s%s] %3d%%", label.c_str(), std::string(filled, '#').c_str(),
                std::string(kWidth - filled, '.').c_str(), percent);
  if (line == lastLine_) return;
  lastLine_ = line;
  std::fputs(line, out_);
  std::fflush(out_);
  drawn_ = true;
}

void TerminalProgress::Finish() {
  if (drawn_) std::fputc('\n', out_);
  drawn_ = false;
  lastLine_.clear();
  label_.clear();
  reached_ = 0;
}

}  // namespace brisko::cli
