// One running copy per user: a second start finds the first, asks it to come
// to the front, and ends.
#include <QSignalSpy>
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
};

QTEST_MAIN(SingleCopyTest)
#include "gui_single_copy_test.moc"
