#include "core/designscale.h"

#include <QTest>

using namespace kelvor;

class DesignScaleTest : public QObject {
  Q_OBJECT

private slots:
  void halvesGoToTheEvenNeighbour();
  void otherLengthsToTheNearest();
};

// At 1200 pixels a design length grows by half: odd lengths fall exactly between two pixels.
void DesignScaleTest::halvesGoToTheEvenNeighbour() {
  const double factor = designScaleFactor(1200);
  QCOMPARE(factor, 1.5);
  QCOMPARE(scaledDesignLength(1, factor), 2);  // 1.5
  QCOMPARE(scaledDesignLength(3, factor), 4);  // 4.5
  QCOMPARE(scaledDesignLength(5, factor), 8);  // 7.5
  QCOMPARE(scaledDesignLength(7, factor), 10); // 10.5
  QCOMPARE(scaledDesignLength(-3, factor), -4);
  QCOMPARE(scaledDesignLength(0, factor), 0);
}

void DesignScaleTest::otherLengthsToTheNearest() {
  QCOMPARE(scaledDesignLength(450, designScaleFactor(800)), 450);
  // 1024 / 800 = 1.28: 172 becomes 220.16, 37 becomes 47.36, 65 becomes 83.2, 23 becomes 29.44.
  const double factor = designScaleFactor(1024);
  QCOMPARE(scaledDesignLength(172, factor), 220);
  QCOMPARE(scaledDesignLength(37, factor), 47);
  QCOMPARE(scaledDesignLength(65, factor), 83);
  QCOMPARE(scaledDesignLength(23, factor), 29);
  // 1366 / 800 = 1.7075: 46 becomes 78.545 and goes up, unlike a cut to whole pixels.
  QCOMPARE(scaledDesignLength(46, designScaleFactor(1366)), 79);
}

QTEST_APPLESS_MAIN(DesignScaleTest)
#include "tst_designscale.moc"
