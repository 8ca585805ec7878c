#pragma once
#include <QString>

namespace brisko::gui {

// This build's version, as the project names it.
QString BriskoVersion();

// The About box's last lines: this build's version and the Qt it runs on.
QString VersionText();

}  // namespace brisko::gui
