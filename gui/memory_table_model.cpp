#include "gui/memory_table_model.hpp"

namespace brisko::gui {

QString AsciiCellText(const std::string& bytes) {
  QString text;
  text.reserve(static_cast<int>(bytes.size()));
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == 0) break;  // the shell already ends the cell there
    const bool shown = (byte >= 0x20 && byte < 0x7F) || byte >= 0xA0;
    text.append(shown ? QChar(byte) : QChar('.'));
  }
  return text;
}

}  // namespace brisko::gui
