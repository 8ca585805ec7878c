#pragma once
#include <QTableView>
#include <vector>

namespace brisko::gui {

// A memory view (sector table or memory dump): fixed-pitch font, columns as
// fractions of the view's width. A left click on a row does not select it:
// it is reported as RowClicked and swallowed; a click below the last row is
// the view's own.
class MemoryView final : public QTableView {
  Q_OBJECT
 public:
  // Each column's width in fifths of the client width; -1 for "what is left".
  MemoryView(std::vector<int> fifths, QWidget* parent = nullptr);
  void setModel(QAbstractItemModel* model) override;

 signals:
  void RowClicked(int row);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LayColumns();
  std::vector<int> fifths_;
};

// Column widths for a client width: W/5 per fifth, "the rest" for -1.
std::vector<int> ColumnWidths(int clientWidth, const std::vector<int>& fifths);

}  // namespace brisko::gui
