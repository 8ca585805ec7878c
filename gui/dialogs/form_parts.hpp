#pragma once
// Small pieces the dialogs share: the lists from the shell as combo boxes,
// the OK/Cancel row, a file browser next to a name field.
#include <QString>
#include <string>
#include <vector>

class QComboBox;
class QDialog;
class QDialogButtonBox;
class QLineEdit;
class QPushButton;

namespace brisko::gui {

QComboBox* ListCombo(const std::vector<std::string>& entries, int selected);
// OK (the default button) and Cancel, wired to accept and reject.
QDialogButtonBox* OkCancelButtons(QDialog* dialog, const char* okText = "OK", const char* cancelText = "Cancel");

enum class BrowseMode { Open, Save };
// The platform's file dialog starting at the name in `field`; the chosen path
// replaces the field's text. An open dialog takes existing files only, a save
// dialog asks before overwriting; neither adds an extension or filters.
void BrowseForFile(QDialog* owner, QLineEdit* field, BrowseMode mode);

QString Text(const std::string& text);
std::string Std(const QString& text);

}  // namespace brisko::gui
