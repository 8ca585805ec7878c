#include "gui/dialogs/registry_values.hpp"

#include <QSettings>

#include "shell/settings_file.hpp"

namespace brisko::gui {

bool WriteRegistryValue(const std::string& name, const std::string& text) {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, "Orvex", "Brisko");
  settings.setValue(QString::fromStdString(name), QString::fromStdString(text));
  settings.sync();
  return settings.status() == QSettings::NoError;
}

void UseToolkitRegistry() { SetRegistryWriter(&WriteRegistryValue); }

}  // namespace brisko::gui
