#include "gui/dialogs/message_box.hpp"

#include <QMessageBox>

#include "shell/session/window_state.hpp"

namespace brisko::gui {

void ShowMessage(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kAppTitle), text, QMessageBox::Ok, parent);
  box.exec();
}

bool AskYesNo(QWidget* parent, const QString& question) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kAppTitle), question, QMessageBox::Yes | QMessageBox::No,
                  parent);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace brisko::gui
