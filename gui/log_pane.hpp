#pragma once
#include <QDockWidget>
#include <QString>

class QPlainTextEdit;
class QSettings;

namespace brisko::gui {

// The session's log: every message box and question, each command's outcome
// and the reason of each failure, one time-stamped line each. A dock that
// starts hidden; whether it was shown is remembered for the next start.
class LogPane final : public QDockWidget {
  Q_OBJECT
 public:
  // `settings` may be null: nothing is remembered.
  explicit LogPane(QSettings* settings, QWidget* parent = nullptr);

  // Appends "[hh:mm:ss] text"; a text of several lines stays one entry,
  // its later lines indented.
  void Append(const QString& text);
  QString Text() const;

  // Writes the log to `path`; false with the reason in `whyNot`.
  bool SaveTo(const QString& path, QString& whyNot) const;
  // "Save log…": asks for a file and saves there, telling what went wrong.
  void SaveWithDialog();

  // Shows or hides the pane as last remembered.
  void Restore();

 private:
  QSettings* settings_;
  QPlainTextEdit* text_;
};

}  // namespace brisko::gui
