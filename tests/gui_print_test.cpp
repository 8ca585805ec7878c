#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QFontMetrics>
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

QStringList NonEmptyLines(const QString& text) {
  QStringList lines;
  for (const QString& line : text.split('\n'))
    if (!line.trimmed().isEmpty()) lines << line.simplified();  // the layout may widen blanks
  return lines;
}

}  // namespace

class PrintTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty()) QSKIP("pdftotext (poppler-utils) is not installed");
  }

  // Where no printer is set up the operator is told so and offered a PDF
  // file. Declined, the reason is given; accepted, every line of a listing of
  // several pages is in the file once, in order (a line drawn past a page's
  // edge is not), in a 10-point fixed-pitch font.
  void noPrinterOffersAPdfThatHoldsEveryLine() {
    if (!QPrinterInfo::availablePrinters().isEmpty()) QSKIP("a printer is set up here: no PDF is offered");
    QCOMPARE(gui::ListingFont().pointSize(), 10);
    QCOMPARE(QFontMetrics(gui::ListingFont()).horizontalAdvance("iiii"),
             QFontMetrics(gui::ListingFont()).horizontalAdvance("MMMM"));
    test::TempDir dir;
    const QString pdf = QString::fromStdString(dir.File("listing.pdf"));
    std::vector<std::uint8_t> data(200 * 16);  // 200 lines
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const std::string listing = Listing(data.data(), data.size(), 0xE000, false);
    std::string whyNot;
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
      QCOMPARE(gui::PrintListing(nullptr, "", listing, whyNot), yes);
      QCOMPARE(QString::fromStdString(whyNot), yes ? QString() : QStringLiteral("No printer is set up on this computer."));
    }
    QProcess tool;  // poppler's pdftotext leaves out what lies outside the page
    tool.start("pdftotext", {"-layout", pdf, "-"});
    QVERIFY(tool.waitForFinished(60000) && tool.exitCode() == 0);
    const QString text = QString::fromUtf8(tool.readAllStandardOutput());
    QVERIFY(text.count('\f') > 1);  // page breaks
    QCOMPARE(NonEmptyLines(QString(text).remove('\f')), NonEmptyLines(QString::fromStdString(listing)));
  }
};

QTEST_MAIN(PrintTest)
#include "gui_print_test.moc"
