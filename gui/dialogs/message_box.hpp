#pragma once
#include <QString>

class QWidget;

namespace brisko::gui {

// Every message box of the window and its dialogs: the application title as
// caption, no icon.

// One message with an OK button; returns when it has been read.
void ShowMessage(QWidget* parent, const QString& text);
// A Yes/No question whose default (and Escape) button is No; true for Yes.
bool AskYesNo(QWidget* parent, const QString& question);

}  // namespace brisko::gui
