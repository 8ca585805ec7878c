#include "gui/window_settings.hpp"

#include <QDir>

namespace brisko::gui {

std::unique_ptr<QSettings> OpenWindowSettings(const SessionPlaces& places) {
  if (!places.keepSettings || places.configDir.empty()) return nullptr;
  const QString dir = QString::fromStdString(places.configDir);
  return std::make_unique<QSettings>(QDir(dir).filePath(QStringLiteral("window.ini")), QSettings::IniFormat);
}

}  // namespace brisko::gui
