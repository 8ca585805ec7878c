// One running copy per user: a second start finds the first, brings its
// window to the front (restored, with its open dialog on top) and ends.
#include <QDialog>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

#include "gui/single_instance.hpp"

using brisko::gui::SingleInstance;

class SingleCopyTest : public QObject {
  Q_OBJECT
 private slots:
  void secondCopyActivatesTheFirstAndEnds() {
    const QString name = QStringLiteral("brisko-test-%1").arg(QCoreApplication::applicationPid());
    SingleInstance first(name);
    QVERIFY(first.BecomePrimary());
    QSignalSpy activated(&first, &SingleInstance::Activated);
    SingleInstance second(name);
    QVERIFY(!second.BecomePrimary());
    QVERIFY(activated.wait(60000));
  }

  void aSocketLeftByACrashedCopyIsNoCopy() {
    const QString name = QStringLiteral("brisko-test-stale-%1").arg(QCoreApplication::applicationPid());
    {
      SingleInstance gone(name);
      QVERIFY(gone.BecomePrimary());
    }
    SingleInstance next(name);
    QVERIFY(next.BecomePrimary());
  }

  void bringToFrontRestoresAndRaisesTheOpenDialog() {
    QWidget window;
    window.show();
    window.showMinimized();
    QDialog dialog(&window);
    dialog.setModal(true);
    dialog.show();
    brisko::gui::BringToFront(&window);
    QVERIFY(!window.isMinimized());
    QVERIFY(window.isVisible());
    QVERIFY(dialog.isVisible());
  }
};

QTEST_MAIN(SingleCopyTest)
#include "gui_single_copy_test.moc"
