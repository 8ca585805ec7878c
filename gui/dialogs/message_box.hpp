#pragma once
#include <string>

class QWidget;

namespace brisko::gui {

// One message with an OK button and no icon, captioned with the
// application's title; returns when it has been read.
void ShowMessage(QWidget* parent, const std::string& text);
// A Yes/No question whose default button is No.
bool AskYesNo(QWidget* parent, const std::string& question);

}  // namespace brisko::gui
