#pragma once
#include <QAbstractTableModel>
#include <QBrush>
#include <QPalette>
#include <QStringList>
#include <utility>
#include <vector>

#include "shell/session/window_state.hpp"

namespace brisko::gui {

// How the ASCII column shows a byte: printable characters as themselves,
// control characters as '.', bytes from A0h up as Latin-1.
QString AsciiCellText(const std::string& bytes);

// A memory view's rows as a table: the sector table (SectorRow) or the memory
// dump (DumpRow). The shell gives the cell texts; the model only shows them.
// The hot row is drawn highlighted; no row is ever selected.
template <typename Row>
class MemoryTableModel final : public QAbstractTableModel {
 public:
  MemoryTableModel(QStringList headers, std::vector<Qt::Alignment> alignments, QObject* parent = nullptr)
      : QAbstractTableModel(parent), headers_(std::move(headers)), alignments_(std::move(alignments)) {}

  void SetRows(std::vector<Row> rows, int hotRow) {
    beginResetModel();
    rows_ = std::move(rows);
    hotRow_ = hotRow;
    endResetModel();
  }
  void SetHeader(int column, const QString& text) {
    headers_[column] = text;
    emit headerDataChanged(Qt::Horizontal, column, column);
  }
  const std::vector<Row>& Rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = {}) const override {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
  }
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : headers_.size(); }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const auto& cell = rows_[index.row()].cells[index.column()];
    switch (role) {
      case Qt::DisplayRole:
        if constexpr (std::is_same_v<Row, DumpRow>)
          if (index.column() == 2) return AsciiCellText(cell);
        return QString::fromStdString(cell);
      case Qt::TextAlignmentRole:
        return QVariant::fromValue(alignments_[index.column()] | Qt::AlignVCenter);
      // The hot row in the theme's own highlight pair, readable in a dark
      // theme as in a light one.
      case Qt::BackgroundRole:
        if (index.row() == hotRow_) return QPalette().brush(QPalette::Highlight);
        return {};
      case Qt::ForegroundRole:
        if (index.row() == hotRow_) return QPalette().brush(QPalette::HighlightedText);
        return {};
      default:
        return {};
    }
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || section < 0 || section >= headers_.size()) return {};
    if (role == Qt::DisplayRole) return headers_[section];
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(alignments_[section] | Qt::AlignVCenter);
    return {};
  }

 private:
  QStringList headers_;
  std::vector<Qt::Alignment> alignments_;
  std::vector<Row> rows_;
  int hotRow_ = -1;
};

using SectorTableModel = MemoryTableModel<SectorRow>;
using DumpModel = MemoryTableModel<DumpRow>;

}  // namespace brisko::gui
