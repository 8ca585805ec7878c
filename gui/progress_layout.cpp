#include "gui/progress_layout.hpp"

#include <algorithm>

namespace brisko::gui {

PaneRect ProgressBarRect(const PaneRect& pane, int labelWidth, int blankWidth, int sizePercent) {
  PaneRect bar = pane;
  const int gap = 2 * blankWidth;
  if (labelWidth > 0) bar.left = std::min(bar.left + labelWidth + 2 * gap, pane.right);
  bar.right -= (bar.right - bar.left) * (100 - sizePercent) / 100;
  bar.right = std::max(bar.right, bar.left);
  const int inset = pane.Height() / 10;
  bar.top += inset;
  bar.bottom -= inset;
  return bar;
}

}  // namespace brisko::gui
