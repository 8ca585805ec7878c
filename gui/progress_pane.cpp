#include "gui/progress_pane.hpp"

#include <QPainter>

namespace brisko::gui {

ProgressPane::ProgressPane(QWidget* parent) : QWidget(parent), bar_(new QProgressBar(this)) {
  bar_->setRange(0, 1000);
  bar_->setTextVisible(false);
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
  bar_->setRange(0, max);
  bar_->setValue(position);
  bar_->setVisible(visible);
}

void ProgressPane::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, label_);
}

void ProgressPane::resizeEvent(QResizeEvent*) { LayOut(); }

void ProgressPane::LayOut() {
  const PaneRect pane{0, 0, width(), height()};
  const int labelWidth = label_.isEmpty() ? 0 : fontMetrics().horizontalAdvance(label_);
  const PaneRect r = ProgressBarRect(pane, labelWidth, fontMetrics().horizontalAdvance(QLatin1Char(' ')));
  if (r == last_) return;
  last_ = r;
  bar_->setGeometry(r.left, r.top, r.Width(), r.Height());
}

}  // namespace brisko::gui
