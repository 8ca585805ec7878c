#include "gui/version_text.hpp"

#include <QtGlobal>

#ifndef BRISKO_VERSION
#error "the build defines BRISKO_VERSION"
#endif

namespace brisko::gui {

QString BriskoVersion() { return QStringLiteral(BRISKO_VERSION); }

QString VersionText() {
  return QStringLiteral("Version %1, running on Qt %2 (built with Qt %3).")
      .arg(BriskoVersion(), QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR));
}

}  // namespace brisko::gui
