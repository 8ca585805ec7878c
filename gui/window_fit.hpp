#pragma once
#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

namespace brisko::gui {

// The main window's size where the screen has room: wide enough for the
// memory dump's three columns side by side.
inline constexpr QSize kPreferredWindowSize(1000, 640);

// Where a top-level window goes on a screen and how small it may become.
struct WindowFit {
  QRect client;     // the window without its frame
  QSize minimum;    // the smallest client size the operator may give it
};

// Fits a window into a screen's available area (task bars and panels taken
// off), in logical pixels: `frame` is what the window manager adds around the
// client (title bar, borders). The minimum is the layout's own, but never
// more than the area holds; the size is the preferred one within the same
// bounds; the frame is centred and never leaves the area's top or left edge,
// so the title bar and the menus stay on the screen.
WindowFit FitToScreen(const QRect& available, const QMargins& frame, const QSize& preferred, const QSize& minimumHint);

// Applies FitToScreen to `window` on its screen (the primary one before it
// is shown), with the frame it has, or an estimate of the title bar before
// the window manager has framed it.
void FitWindowToScreen(QWidget* window, const QSize& preferred);

}  // namespace brisko::gui
