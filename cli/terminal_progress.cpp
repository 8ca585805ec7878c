#include "cli/terminal_progress.hpp"

#include <algorithm>

#include "chip/engine_labels.hpp"

namespace brisko::cli {

TerminalProgress::TerminalProgress(std::FILE* out) : out_(out) {}

void TerminalProgress::WindowChanged(WindowAspect aspect, const WindowState& state) {
  if (aspect != WindowAspect::Progress) return;
  const ProgressPane& p = state.progress;
  if (p.ranges != ranges_) {
    EndPhase("");
    ranges_ = p.ranges;
    max_ = p.max;
    rangeUnused_ = true;
    staleLabel_ = p.label;
  }
  if (p.label == label::kDone) return EndPhase("");
  if (p.label == label::kAbort) return EndPhase(" Abort");
  if (p.label.empty()) return;
  if (!phaseOpen_) {
    // The word left from the phase before opens nothing until it changes or
    // the new phase moves.
    if (staleLabel_ && p.label == *staleLabel_ && p.position == 0) return;
    phaseOpen_ = true;
    ranged_ = rangeUnused_;
    rangeUnused_ = false;
    staleLabel_.reset();
    reached_ = 0;
    lastLine_.clear();
  }
  label_ = p.label;  // also a new word for the same phase, on the same line
  reached_ = std::max(reached_, std::min(p.position, max_));
  Draw();
}

void TerminalProgress::EndPhase(const char* tail) {
  if (lineOpen_) {
    if (*tail) Draw(tail);
    std::fputc('\n', out_);
    std::fflush(out_);
  }
  if (phaseOpen_) staleLabel_ = label_;
  lineOpen_ = false;
  phaseOpen_ = false;
  lastLine_.clear();
}

// The phase's word, with its bar once it has moved; padded over a longer
// line drawn before it.
void TerminalProgress::Draw(const char* tail) {
  constexpr int kWidth = 40;
  std::string line = label_;
  if (ranged_ && reached_ > 0 && max_ > 0) {
    const int filled = std::clamp(reached_ * kWidth / max_, 0, kWidth);
    char bar[160];
    std::snprintf(bar, sizeof bar, "%-12s [%s%s] %3d%%", label_.c_str(), std::string(filled, '#').c_str(),
                  std::string(kWidth - filled, '.').c_str(), std::clamp(reached_ * 100 / max_, 0, 100));
    line = bar;
  }
  line += tail;
  if (line == lastLine_) return;
  std::string shown = line;
  if (lastLine_.size() > shown.size()) shown.append(lastLine_.size() - shown.size(), ' ');
  std::fprintf(out_, "\r%s", shown.c_str());
  std::fflush(out_);
  lastLine_ = line;
  lineOpen_ = true;
}

void TerminalProgress::Finish() { EndPhase(""); }

}  // namespace brisko::cli
