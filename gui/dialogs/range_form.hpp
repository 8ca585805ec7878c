#pragma once
#include <QDialog>

#include "shell/session/operator.hpp"

class QComboBox;

namespace brisko::gui {

// The range dialog of Read, Sector Erase and Print: "Starting From:" and
// "Range:"; OK takes both entries into the data.
class RangeForm final : public QDialog {
  Q_OBJECT
 public:
  RangeForm(QWidget* parent, RangeDialog& dialog);

  QComboBox* StartCombo() const { return start_; }
  QComboBox* RangeCombo() const { return range_; }

  void accept() override;

 private:
  RangeDialog& dialog_;
  QComboBox* start_;
  QComboBox* range_;
};

}  // namespace brisko::gui
