#include "gui/dialogs/registry_values.hpp"

#include <QSettings>

namespace brisko::gui {

bool WriteRegistryValue(const std::string& file, const std::string& name, const std::string& text) {
  QSettings settings(QString::fromStdString(file), QSettings::IniFormat);
  settings.setValue(QString::fromStdString(name), QString::fromStdString(text));
  settings.sync();
  return settings.status() == QSettings::NoError;
}

SessionPlaces WithToolkitRegistry(SessionPlaces places) {
  places.registryWriter = &WriteRegistryValue;
  return places;
}

}  // namespace brisko::gui
