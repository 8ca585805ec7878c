#include "gui/dialogs/message_box.hpp"

#include <QApplication>
#include <QMessageBox>

namespace brisko::gui {

void ShowMessage(QWidget* parent, const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), QString::fromStdString(text),
                  QMessageBox::Ok, parent);
  box.exec();
}

bool AskYesNo(QWidget* parent, const std::string& question) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), QString::fromStdString(question),
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace brisko::gui
