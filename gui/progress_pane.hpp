#pragma once
#include <QElapsedTimer>
#include <QProgressBar>
#include <QWidget>

#include "gui/progress_layout.hpp"

namespace brisko::gui {

// The text inside the progress bar: the percentage done and, once there is
// enough to go by, the time left at the pace so far ("45 % · 0:12 left").
QString ProgressText(int position, int max, qint64 elapsedMs);

// Status-bar pane 1: the flash operations' progress label, drawn at the
// pane's left, and the progress bar beside it (ProgressBarRect). While a
// command works with no bar of its own (a detection searching for the
// loader), the bar runs as a busy indicator.
class ProgressPane final : public QWidget {
  Q_OBJECT
 public:
  explicit ProgressPane(QWidget* parent = nullptr);

  void SetLabel(const QString& label);
  void SetProgress(int max, int position, bool visible);
  // Busy: a command runs. Without a bar of its own the pane shows a busy
  // bar and `searching`, if given, while its label is empty.
  void SetBusy(bool busy, const QString& searching = {});
  QString Label() const { return label_; }
  QProgressBar* Bar() { return bar_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LayOut();

  void Show();

  QString label_;
  QString searching_;
  QProgressBar* bar_;
  int max_ = 1000;
  int position_ = 0;
  bool visible_ = false;
  bool busy_ = false;
  QElapsedTimer started_;
  PaneRect last_;
};

}  // namespace brisko::gui
