#include "gui/log_pane.hpp"

#include <QFile>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSettings>
#include <QTime>
#include <QVBoxLayout>

#include "gui/dialogs/message_box.hpp"

namespace brisko::gui {
namespace {
const QString kShownKey = QStringLiteral("logPaneShown");
}

LogPane::LogPane(QSettings* settings, QWidget* parent)
    : QDockWidget(QStringLiteral("Log"), parent), settings_(settings), text_(new QPlainTextEdit) {
  setObjectName(QStringLiteral("logPane"));
  text_->setObjectName(QStringLiteral("logText"));
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setMaximumBlockCount(10000);
  auto* save = new QPushButton(QStringLiteral("Save log…"));
  save->setObjectName(QStringLiteral("saveLog"));
  save->setAutoDefault(false);
  connect(save, &QPushButton::clicked, this, &LogPane::SaveWithDialog);

  auto* body = new QWidget;
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(text_, 1);
  layout->addWidget(save, 0, Qt::AlignRight);
  setWidget(body);
  hide();
  // Only the operator's own showing or hiding is remembered, not the hiding
  // of a window that closes.
  connect(toggleViewAction(), &QAction::triggered, this, [this](bool shown) {
    if (!settings_) return;
    settings_->setValue(kShownKey, shown);
    settings_->sync();
  });
}

void LogPane::Restore() {
  setVisible(settings_ && settings_->value(kShownKey, false).toBool());
}

void LogPane::Append(const QString& text) {
  const QString stamp = QTime::currentTime().toString(QStringLiteral("[HH:mm:ss] "));
  QString entry = stamp + text;
  entry.replace(QLatin1Char('\n'), QLatin1Char('\n') + QString(stamp.size(), QLatin1Char(' ')));
  text_->appendPlainText(entry);
}

QString LogPane::Text() const { return text_->toPlainText(); }

bool LogPane::SaveTo(const QString& path, QString& whyNot) const {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
    whyNot = file.errorString();
    return false;
  }
  const QByteArray bytes = (Text() + QLatin1Char('\n')).toUtf8();
  if (file.write(bytes) != bytes.size() || !file.commit()) {
    whyNot = file.errorString();
    return false;
  }
  return true;
}

void LogPane::SaveWithDialog() {
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save log"), QStringLiteral("brisko.log"),
                                                    QStringLiteral("Log files (*.log *.txt);;All files (*)"));
  if (path.isEmpty()) return;
  QString whyNot;
  if (!SaveTo(path, whyNot)) ShowMessage(this, QStringLiteral("The log could not be saved to %1:\n%2").arg(path, whyNot));
}

}  // namespace brisko::gui
