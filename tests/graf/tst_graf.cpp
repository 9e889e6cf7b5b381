#include <QTest>
class TestGraf : public QObject {
  Q_OBJECT
};
QTEST_MAIN(TestGraf)
#include "tst_graf.moc"
