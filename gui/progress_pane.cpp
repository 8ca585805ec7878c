#include "gui/progress_pane.hpp"

#include <QPainter>

namespace brisko::gui {

QString ProgressText(int position, int max, qint64 elapsedMs) {
  // A bar at its start has nothing to tell yet (and a finished command puts
  // its bar back there).
  if (max <= 0 || position <= 0) return {};
  const int clamped = std::min(position, max);
  QString text = QStringLiteral("%1 %").arg(static_cast<int>(100LL * clamped / max));
  // Too early a guess swings wildly: wait for a second and a step.
  if (clamped == max || elapsedMs < 1000) return text;
  const qint64 leftSeconds = (elapsedMs * (max - clamped) / clamped + 999) / 1000;
  return text + QStringLiteral(" · %1:%2 left").arg(leftSeconds / 60).arg(leftSeconds % 60, 2, 10, QLatin1Char('0'));
}

ProgressPane::ProgressPane(QWidget* parent) : QWidget(parent), bar_(new QProgressBar(this)) {
  bar_->setRange(0, 1000);
  bar_->setTextVisible(true);
  bar_->setAlignment(Qt::AlignCenter);
  bar_->hide();
}

QSize ProgressPane::sizeHint() const {
  // Room for the longest of the engine's words and a bar that holds its
  // percentage and time left on one line.
  const int label = fontMetrics().horizontalAdvance(QStringLiteral("Comparing "));
  const int bar = bar_->fontMetrics().horizontalAdvance(ProgressText(99, 100, 599999)) + 16;
  return {label + bar, fontMetrics().height() + 4};
}

void ProgressPane::SetLabel(const QString& label) {
  if (label == label_) return;
  label_ = label;
  LayOut();
  update();
}

void ProgressPane::SetProgress(int max, int position, bool visible) {
  // A new range, or a bar back at its start, is a new piece of work to time.
  if (max != max_ || position < position_ || !started_.isValid() || (visible && !visible_)) started_.start();
  max_ = max;
  position_ = position;
  visible_ = visible;
  Show();
}

void ProgressPane::SetBusy(bool busy, const QString& searching) {
  busy_ = busy;
  searching_ = busy ? searching : QString();
  Show();
  LayOut();
  update();
}

void ProgressPane::Show() {
  const bool indicator = busy_ && !visible_;
  if (indicator) {
    bar_->setRange(0, 0);
    bar_->setFormat(QString());
  } else {
    bar_->setRange(0, max_);
    bar_->setValue(position_);
    // The time left belongs to work under way, not to a command that ended.
    bar_->setFormat(ProgressText(position_, max_, busy_ && started_.isValid() ? started_.elapsed() : 0));
  }
  bar_->setVisible(visible_ || indicator);
}

void ProgressPane::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, label_.isEmpty() ? searching_ : label_);
}

void ProgressPane::resizeEvent(QResizeEvent*) { LayOut(); }

void ProgressPane::LayOut() {
  const PaneRect pane{0, 0, width(), height()};
  const QString& shown = label_.isEmpty() ? searching_ : label_;
  const int labelWidth = shown.isEmpty() ? 0 : fontMetrics().horizontalAdvance(shown);
  const PaneRect r = ProgressBarRect(pane, labelWidth, fontMetrics().horizontalAdvance(QLatin1Char(' ')));
  if (r == last_) return;
  last_ = r;
  bar_->setGeometry(r.left, r.top, r.Width(), r.Height());
}

}  // namespace brisko::gui
