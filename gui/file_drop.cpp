#include "gui/file_drop.hpp"

#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace brisko::gui {

QString DroppedImageFile(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
  const QUrl url = data->urls().constFirst();
  if (!url.isLocalFile()) return {};
  const QString path = url.toLocalFile();
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix != QLatin1String("hex") && suffix != QLatin1String("ihx") && suffix != QLatin1String("bin")) return {};
  return path;
}

}  // namespace brisko::gui
