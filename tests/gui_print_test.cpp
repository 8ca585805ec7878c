#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QFontMetrics>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QtTest>

#include "gui/dialogs/dialogs.hpp"
#include "gui/dialogs/listing_printer.hpp"
#include "image/listing.hpp"
#include "support/temp_dir.hpp"

using namespace brisko;

namespace {

// The text of each page of a PDF, as poppler's pdftotext lays it out.
QStringList PageTexts(const QString& pdf) {
  QProcess tool;
  tool.start("pdftotext", {"-layout", pdf, "-"});
  if (!tool.waitForFinished(60000) || tool.exitCode() != 0) return {};
  QStringList pages = QString::fromUtf8(tool.readAllStandardOutput()).split('\f');
  if (!pages.isEmpty() && pages.back().trimmed().isEmpty()) pages.removeLast();
  return pages;
}

QStringList NonEmptyLines(const QString& text) {
  QStringList lines;
  for (const QString& line : text.split('\n'))
    if (!line.trimmed().isEmpty()) lines << line.simplified();  // the layout may widen blanks
  return lines;
}

std::string ListingOf(std::size_t bytes) {
  std::vector<std::uint8_t> data(bytes);
  for (std::size_t i = 0; i < bytes; ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return Listing(data.data(), data.size(), 0xE000, false);
}

}  // namespace

class PrintTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty()) QSKIP("pdftotext (poppler-utils) is not installed");
  }

  // Every line of the listing comes out once, in order, on full pages of
  // the whole paper, with no blank lines between pages, in a 10-point
  // fixed-pitch font.
  void multiPageListingPrintsEveryLineOnFullPages() {
    QCOMPARE(gui::ListingFont().pointSize(), 10);
    QCOMPARE(QFontMetrics(gui::ListingFont()).horizontalAdvance("iiii"),
             QFontMetrics(gui::ListingFont()).horizontalAdvance("MMMM"));
    test::TempDir dir;
    const QString pdf = QString::fromStdString(dir.File("listing.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageSize(QPageSize(QPageSize::A4));

    const std::string listing = ListingOf(200 * 16);  // 200 lines
    std::string whyNot;
    QVERIFY(gui::PrintListingTo(printer, "", listing, whyNot));

    // The lines a page holds, from the pitch the text layout really uses:
    // it rounds each line's height up to whole device pixels, so the font's
    // own (rounded) line spacing can promise one line more than fits.
    const QFontMetrics metrics(gui::ListingFont(), &printer);
    const QRect paper(0, 0, printer.width(), printer.height());
    const int one = metrics.boundingRect(paper, Qt::AlignLeft | Qt::AlignTop, "E").height();
    const int pitch = metrics.boundingRect(paper, Qt::AlignLeft | Qt::AlignTop, "E\nE").height() - one;
    const int linesPerPage = 1 + (printer.height() - one) / pitch;
    QVERIFY2(linesPerPage > 10 && linesPerPage < 200, qPrintable(QString::number(linesPerPage)));

    const QStringList pages = PageTexts(pdf);
    QCOMPARE(pages.size(), (200 + linesPerPage - 1) / linesPerPage);
    QStringList printed;
    for (int p = 0; p < pages.size(); ++p) {
      const QStringList lines = NonEmptyLines(pages[p]);
      if (p + 1 < pages.size()) QCOMPARE(lines.size(), linesPerPage);
      printed << lines;
    }
    const QStringList expected = NonEmptyLines(QString::fromStdString(listing));
    QCOMPARE(printed, expected);
  }

  // Where no printer is set up the operator is told so and offered a PDF
  // file (declined: the reason is given; accepted: the listing is there).
  void noPrinterOffersAPdf() {
    if (!QPrinterInfo::availablePrinters().isEmpty()) QSKIP("a printer is set up here: no PDF is offered");
    std::string whyNot;
    const QString pdf = QDir::temp().filePath(QStringLiteral("brisko-print-%1.pdf").arg(QCoreApplication::applicationPid()));
    for (const bool yes : {false, true}) {
      QTimer::singleShot(0, [yes, pdf] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box && box->text().startsWith(QStringLiteral("No printer is set up on this computer.\n")));
        box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        if (!yes) return;
        QTimer::singleShot(0, [pdf] {
          auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
          QVERIFY(chooser);
          chooser->selectFile(pdf);
          static_cast<QDialog*>(chooser)->accept();
        });
      });
      QCOMPARE(gui::PrintListing(nullptr, "", ListingOf(64), whyNot), yes);
      QCOMPARE(QString::fromStdString(whyNot), yes ? QString() : QStringLiteral("No printer is set up on this computer."));
    }
    QVERIFY(QFileInfo(pdf).size() > 0);
    QFile::remove(pdf);
  }
};

QTEST_MAIN(PrintTest)
#include "gui_print_test.moc"
