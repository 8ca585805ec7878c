#pragma once
#include <QString>

class QMimeData;

namespace brisko::gui {

// The image file a drag carries: exactly one local file whose name ends in
// ".hex", ".ihx" or ".bin" (any case); empty for anything else.
QString DroppedImageFile(const QMimeData* data);

}  // namespace brisko::gui
