#include "gui/memory_view.hpp"

#include <QFont>
#include <QHeaderView>
#include <QMouseEvent>
#include <QStyle>

namespace brisko::gui {

namespace {

// `width` shared out by `shares`, the rest of integer division to the -1
// column.
std::vector<int> Shared(int width, const std::vector<int>& shares) {
  int total = 0;
  for (const int share : shares) total += share < 0 ? 1 : share;
  const int unit = total > 0 ? std::max(0, width) / total : 0;
  int used = 0;
  std::vector<int> widths;
  for (const int share : shares) {
    widths.push_back(share < 0 ? 0 : share * unit);
    used += widths.back();
  }
  for (std::size_t i = 0; i < shares.size(); ++i)
    if (shares[i] < 0) widths[i] = std::max(0, width - used);
  return widths;
}

}  // namespace

std::vector<int> ColumnWidths(int clientWidth, const std::vector<int>& shares, const std::vector<int>& minimums) {
  std::vector<int> widths = Shared(clientWidth, shares);
  std::vector<int> floor(shares.size(), 0);
  bool fits = true;
  int needed = 0;
  for (std::size_t i = 0; i < shares.size(); ++i) {
    if (i < minimums.size()) floor[i] = minimums[i];
    fits = fits && widths[i] >= floor[i];
    needed += floor[i];
  }
  if (fits) return widths;
  // Too narrow for the proportions: each column gets what it needs, and
  // what the view has beyond that goes out in the same proportions.
  const std::vector<int> extra = Shared(clientWidth - needed, shares);
  for (std::size_t i = 0; i < shares.size(); ++i) widths[i] = floor[i] + extra[i];
  return widths;
}

MemoryView::MemoryView(std::vector<int> shares, QWidget* parent) : QTableView(parent), shares_(std::move(shares)) {
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

int MemoryView::HeaderWidth(int column) const {
  if (!model()) return 0;
  const QString text = model()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
  const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, horizontalHeader());
  return horizontalHeader()->fontMetrics().horizontalAdvance(text) + 4 * margin;
}

void MemoryView::LayColumns() {
  std::vector<int> minimums;
  for (int column = 0; column < static_cast<int>(shares_.size()); ++column)
    minimums.push_back(std::max(sizeHintForColumn(column), HeaderWidth(column)));
  const auto widths = ColumnWidths(viewport()->width(), shares_, minimums);
  for (std::size_t i = 0; i < widths.size(); ++i)
    horizontalHeader()->resizeSection(static_cast<int>(i), widths[i]);
}

}  // namespace brisko::gui
