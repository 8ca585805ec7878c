#pragma once
#include <QTableView>
#include <vector>

namespace brisko::gui {

// A memory view (sector table or memory dump): fixed-pitch font, columns in
// fixed proportions of the view's width, none narrower than its header and
// cells (the view scrolls sideways rather than cut a cell). A left click on a row does not select it:
// it is reported as RowClicked and swallowed; a click below the last row is
// the view's own.
class MemoryView final : public QTableView {
  Q_OBJECT
 public:
  // Each column's share of the client width; -1 for one share that also
  // takes what integer division leaves.
  MemoryView(std::vector<int> shares, QWidget* parent = nullptr);
  void setModel(QAbstractItemModel* model) override;

 signals:
  void RowClicked(int row);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void LayColumns();
  int HeaderWidth(int column) const;
  std::vector<int> shares_;
};

// Column widths for a client width: W/n per share, n being the sum of the
// shares, and the rest of W for -1. The sector table's five columns are
// fifths of W; the dump's three (1, 4, 2) fit W in the same proportions.
// Where a column would be narrower than its entry in `minimums`, each gets
// its minimum and shares out what is left of W; beyond that the view scrolls.
std::vector<int> ColumnWidths(int clientWidth, const std::vector<int>& shares, const std::vector<int>& minimums = {});

}  // namespace brisko::gui
