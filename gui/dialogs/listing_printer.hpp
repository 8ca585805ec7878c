#pragma once
#include <string>

class QFont;
class QPrinter;

namespace brisko::gui {

// The listing's font: "Courier New" at 10 points, or the system's fixed font
// at 10 points where that family is not installed.
QFont ListingFont();

// Draws the listing on the printer, page after page, on the whole paper (no
// margins, header or page numbers). Each page takes the largest run of the
// remaining text that, word-wrapped to the page width with tabs expanded, is
// no taller than the page. False when the printer could not be started or
// refused a page, saying which in `whyNot`; the document is then aborted.
bool PrintListingTo(QPrinter& printer, const std::string& title, const std::string& listing, std::string& whyNot);

}  // namespace brisko::gui
