#pragma once

namespace brisko::gui {

// A rectangle in pixels; right and bottom are exclusive.
struct PaneRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const PaneRect&) const = default;
};

// Where the progress bar goes inside its status-bar pane. The label is drawn
// at the pane's left; a non-empty label pushes the bar right by its width
// plus two gap units (a gap unit is two blanks). The bar takes `sizePercent`
// of what is left and one tenth of the pane's height is kept free above and
// below. A label too long for the pane leaves the bar with no width at the
// pane's right edge, never past it.
PaneRect ProgressBarRect(const PaneRect& pane, int labelWidth, int blankWidth, int sizePercent = 100);

}  // namespace brisko::gui
