#include "gui/memory_view.hpp"

#include <QFont>
#include <QHeaderView>
#include <QMouseEvent>

namespace brisko::gui {

std::vector<int> ColumnWidths(int clientWidth, const std::vector<int>& fifths) {
  const int unit = clientWidth / 5;
  int used = 0;
  std::vector<int> widths;
  for (const int f : fifths) {
    widths.push_back(f < 0 ? 0 : f * unit);
    used += widths.back();
  }
  for (std::size_t i = 0; i < fifths.size(); ++i)
    if (fifths[i] < 0) widths[i] = std::max(0, clientWidth - used);
  return widths;
}

MemoryView::MemoryView(std::vector<int> fifths, QWidget* parent) : QTableView(parent), fifths_(std::move(fifths)) {
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPixelSize(14);
  setFont(font);
  setSelectionMode(QAbstractItemView::NoSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setFocusPolicy(Qt::NoFocus);
  setShowGrid(false);
  setWordWrap(false);
  verticalHeader()->setVisible(false);
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 2);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setSectionsClickable(false);
}

void MemoryView::setModel(QAbstractItemModel* model) {
  QTableView::setModel(model);
  // A reset may give the header its default widths back.
  connect(model, &QAbstractItemModel::modelReset, this, &MemoryView::LayColumns);
  connect(model, &QAbstractItemModel::headerDataChanged, this, &MemoryView::LayColumns);
  LayColumns();
}

void MemoryView::mousePressEvent(QMouseEvent* event) {
  const QModelIndex index = indexAt(event->position().toPoint());
  if (event->button() == Qt::LeftButton && index.isValid()) {
    emit RowClicked(index.row());
    event->accept();
    return;
  }
  QTableView::mousePressEvent(event);
}

void MemoryView::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  LayColumns();
}

void MemoryView::LayColumns() {
  const auto widths = ColumnWidths(viewport()->width(), fifths_);
  for (std::size_t i = 0; i < widths.size(); ++i)
    horizontalHeader()->resizeSection(static_cast<int>(i), widths[i]);
}

}  // namespace brisko::gui
