#include "gui/window_fit.hpp"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>

namespace brisko::gui {

WindowFit FitToScreen(const QRect& available, const QMargins& frame, const QSize& preferred, const QSize& minimumHint) {
  const QSize room(std::max(1, available.width() - frame.left() - frame.right()),
                   std::max(1, available.height() - frame.top() - frame.bottom()));
  WindowFit fit;
  fit.minimum = minimumHint.boundedTo(room);
  const QSize size = preferred.boundedTo(room).expandedTo(fit.minimum);
  const QPoint framed(available.left() + std::max(0, (room.width() - size.width()) / 2),
                      available.top() + std::max(0, (room.height() - size.height()) / 2));
  fit.client = QRect(framed + QPoint(frame.left(), frame.top()), size);
  return fit;
}

void FitWindowToScreen(QWidget* window, const QSize& preferred) {
  const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  QMargins frame(window->geometry().left() - window->frameGeometry().left(),
                 window->geometry().top() - window->frameGeometry().top(),
                 window->frameGeometry().right() - window->geometry().right(),
                 window->frameGeometry().bottom() - window->geometry().bottom());
  if (frame.isNull() && !window->isVisible()) {
    const int titleBar = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
    frame = QMargins(4, titleBar + 4, 4, 4);
  }
  const WindowFit fit = FitToScreen(screen->availableGeometry(), frame, preferred, window->minimumSizeHint());
  window->setMinimumSize(fit.minimum);
  window->resize(fit.client.size());
  window->move(fit.client.topLeft() - QPoint(frame.left(), frame.top()));
}

}  // namespace brisko::gui
