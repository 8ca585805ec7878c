#pragma once
#include <QDialog>
#include <QList>

#include "shell/session/operator.hpp"

class QRadioButton;

namespace brisko::gui {

// A lock menu: one radio per option, none checked when it opens. OK stores
// the 1-based option, or 0 when none was chosen.
class LockMenuForm final : public QDialog {
  Q_OBJECT
 public:
  LockMenuForm(QWidget* parent, LockMenu& menu);
  const QList<QRadioButton*>& Radios() const { return radios_; }
  void accept() override;

 private:
  LockMenu& menu_;
  QList<QRadioButton*> radios_;
};

// The "Memory Remap Menu": the radios the detected model may choose are
// enabled, none is checked when it opens. OK stores the chosen radio's value
// and leaves the menu's value as it was when none was chosen.
class RemapMenuForm final : public QDialog {
  Q_OBJECT
 public:
  RemapMenuForm(QWidget* parent, RemapMenu& menu);
  const QList<QRadioButton*>& Radios() const { return radios_; }
  void accept() override;

 private:
  RemapMenu& menu_;
  QList<QRadioButton*> radios_;
};

}  // namespace brisko::gui
