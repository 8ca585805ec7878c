#include "gui/progress_pane.hpp"

#include <QPainter>

namespace brisko::gui {

QString ProgressText(int position, int max, qint64 elapsedMs) {
  if (max <= 0) return {};
  const int clamped = std::clamp(position, 0, max);
  QString text = QStringLiteral("%1 %").arg(static_cast<int>(100LL * clamped / max));
  // Too early a guess swings wildly: wait for a second and a step.
  if (clamped == 0 || clamped == max || elapsedMs < 1000) return text;
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
  // Sized like its indicator prompt, "Progress" followed by blanks.
  return {fontMetrics().horizontalAdvance(QStringLiteral("Progress")) * 3, fontMetrics().height() + 4};
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
    bar_->setFormat(ProgressText(position_, max_, started_.isValid() ? started_.elapsed() : 0));
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
