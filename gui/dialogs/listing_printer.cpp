#include "gui/dialogs/listing_printer.hpp"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>

namespace brisko::gui {
namespace {

constexpr int kListingPoints = 10;
constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap | Qt::TextExpandTabs;

bool Fits(const QFontMetrics& metrics, const QRect& page, const QString& text) {
  return metrics.boundingRect(page, kTextFlags, text).height() <= page.height();
}

// The number of characters from `from` on that fill one page. Every text
// line takes at least one line of the page, so no more lines than the page
// holds need be measured; within them a binary search finds the largest run
// that fits, trying the whole run first.
qsizetype PageLength(const QFontMetrics& metrics, const QRect& page, const QString& text, qsizetype from) {
  const qsizetype remaining = text.size() - from;
  const int pageLines = page.height() / std::max(1, metrics.lineSpacing()) + 1;
  qsizetype limit = remaining;
  qsizetype at = from;
  for (int line = 0; line < pageLines; ++line) {
    at = text.indexOf('\n', at);
    if (at < 0) break;
    ++at;
  }
  if (at >= 0 && at - from < limit) limit = at - from;

  if (Fits(metrics, page, text.mid(from, limit))) return limit;
  qsizetype low = 0;  // fits
  qsizetype high = limit;  // does not fit
  while (high - low > 1) {
    const qsizetype middle = low + (high - low) / 2;
    if (Fits(metrics, page, text.mid(from, middle))) low = middle;
    else high = middle;
  }
  // A page too small for a single character still takes one, so printing
  // always moves on.
  return std::max<qsizetype>(low, 1);
}

// Font information does not always say so; equal advances do.
bool FixedPitch(const QFont& font) {
  const QFontMetrics metrics(font);
  return metrics.horizontalAdvance('i') == metrics.horizontalAdvance('M');
}

}  // namespace

// "Courier New" where it is installed or stood in for by a font of the same
// metrics; else the system's fixed font; else whatever the font matcher
// offers as monospace. The listing's columns need a fixed pitch.
QFont ListingFont() {
  QFont courier("Courier New");
  courier.setStyleHint(QFont::TypeWriter);
  QFont monospace("monospace");
  monospace.setStyleHint(QFont::Monospace);
  QFont font = courier;
  for (const QFont& candidate : {courier, QFontDatabase::systemFont(QFontDatabase::FixedFont), monospace}) {
    if (FixedPitch(candidate)) {
      font = candidate;
      break;
    }
  }
  font.setPointSize(kListingPoints);
  return font;
}

bool PrintListingTo(QPrinter& printer, const std::string& title, const std::string& listing, std::string& whyNot) {
  printer.setDocName(QString::fromStdString(title));
  printer.setFullPage(true);
  QPainter painter;
  const std::string name =
      printer.printerName().isEmpty() ? "The printer" : "The printer " + printer.printerName().toStdString();
  if (!painter.begin(&printer)) {
    whyNot = name + " could not be started.";
    return false;
  }
  painter.setFont(ListingFont());
  painter.setBackgroundMode(Qt::OpaqueMode);
  painter.setBackground(Qt::white);
  const QRect page(0, 0, printer.width(), printer.height());
  const QFontMetrics metrics(painter.font(), &printer);

  const QString text = QString::fromStdString(listing);
  qsizetype from = 0;
  while (from < text.size()) {
    if (from > 0 && !printer.newPage()) {
      printer.abort();
      whyNot = name + " took no further page.";
      return false;
    }
    const qsizetype length = PageLength(metrics, page, text, from);
    painter.drawText(page, kTextFlags, text.mid(from, length));
    from += length;
    // The line end that closed the page does not open the next one with a
    // blank line.
    if (from < text.size() && text.at(from) == '\n') ++from;
  }
  if (painter.end()) return true;
  whyNot = name + " did not finish the document.";
  return false;
}

}  // namespace brisko::gui
