#include "gui/recent_files.hpp"

#include <QFileInfo>
#include <QMenu>
#include <QSettings>

namespace brisko::gui {
namespace {
const QString kKey = QStringLiteral("recentFiles");
}

RecentFiles::RecentFiles(QSettings* settings, QObject* parent) : QObject(parent), settings_(settings) {
  if (settings_) files_ = settings_->value(kKey).toStringList().mid(0, kMax);
}

void RecentFiles::Add(const QString& path) {
  if (path.isEmpty()) return;
  const QString absolute = QFileInfo(path).absoluteFilePath();
  files_.removeAll(absolute);
  files_.prepend(absolute);
  while (files_.size() > kMax) files_.removeLast();
  if (settings_) {
    settings_->setValue(kKey, files_);
    settings_->sync();
  }
  Refill();
}

void RecentFiles::AttachMenu(QMenu* menu) {
  menu_ = menu;
  Refill();
}

void RecentFiles::Refill() {
  if (!menu_) return;
  menu_->clear();
  menu_->setEnabled(!files_.isEmpty());
  for (int i = 0; i < files_.size(); ++i) {
    const QString path = files_[i];
    // A name with '&' in it keeps it: the menu would take it for a mnemonic.
    const QString name = QFileInfo(path).fileName().replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* item = menu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(name));
    item->setToolTip(path);
    item->setStatusTip(path);
    connect(item, &QAction::triggered, this, [this, path] { emit Chosen(path); });
  }
}

}  // namespace brisko::gui
