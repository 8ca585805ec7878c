#pragma once
#include <QProgressBar>
#include <QWidget>

#include "gui/progress_layout.hpp"

namespace brisko::gui {

// Status-bar pane 1: the flash operations' progress label, drawn at the
// pane's left, and the progress bar beside it (ProgressBarRect).
class ProgressPane final : public QWidget {
  Q_OBJECT
 public:
  explicit ProgressPane(QWidget* parent = nullptr);

  void SetLabel(const QString& label);
  void SetProgress(int max, int position, bool visible);
  QString Label() const { return label_; }
  QProgressBar* Bar() { return bar_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LayOut();

  QString label_;
  QProgressBar* bar_;
  PaneRect last_;
};

}  // namespace brisko::gui
