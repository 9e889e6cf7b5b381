#include "widgets/progressgauge.h"

#include <QTest>

#include <vector>

using namespace kelvor;

namespace {

constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kWhite = 0xFFFFFFFF;

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  int count = 0;

protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint)
      ++count;
    return false;
  }
};

// The gauge of the PARAMETRY page.
void setUpGauge2(TProgressGauge& gauge) {
  gauge.resize(441, 36);
  gauge.setMaxValue(7);
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(19);
  gauge.setFont(font);
}

} // namespace

class TestProgressGauge : public QObject {
  Q_OBJECT

private slots:
  void createdWithItsDefaults() {
    TProgressGauge gauge;
    QCOMPARE(gauge.size(), QSize(100, 100));
    QVERIFY(gauge.Kind() == TProgressGaugeKind::gkHorizontalBar);
    QVERIFY(gauge.BorderStyle() == TProgressGauge::TBorderStyle::bsSingle);
    QVERIFY(gauge.ShowText());
    QCOMPARE(gauge.MinValue(), 0);
    QCOMPARE(gauge.MaxValue(), 100);
    QCOMPARE(gauge.Progress(), 0);
    QCOMPARE(gauge.Color(), clWindow);
  }

  void gauge2ClampsProgress() {
    TProgressGauge gauge;
    setUpGauge2(gauge);
    gauge.setProgress(9);
    QCOMPARE(gauge.Progress(), 7);
    QCOMPARE(gauge.percentDone(), 100);
    // At 100 % the bar reaches the frame's right side on every inside row above the text.
    const QImage image = gauge.renderImage();
    QCOMPARE(image.pixel(439, 1), kBlack);
    QCOMPARE(image.pixel(1, 1), kBlack);
    gauge.setProgress(-1);
    QCOMPARE(gauge.Progress(), 0);
    QCOMPARE(gauge.percentDone(), 0);
  }

  void gauge2StepsAndBarLength() {
    TProgressGauge gauge;
    setUpGauge2(gauge);
    const std::vector<int> expected{0, 14, 28, 42, 57, 71, 85, 100};
    for (int step = 0; step <= 7; ++step) {
      gauge.setProgress(step);
      QCOMPARE(gauge.percentDone(), expected[std::size_t(step)]);
      // The bar ends before column share(percent, 440); row 1 lies above the text.
      const int end = gaugeShare(expected[std::size_t(step)], 440);
      const QImage image = gauge.renderImage();
      QCOMPARE(image.pixel(0, 1), kBlack); // frame
      if (end > 1)
        QCOMPARE(image.pixel(end - 1, 1), kBlack);
      if (end < 440)
        QCOMPARE(image.pixel(std::max(end, 1), 1), kWhite);
    }
  }

  void shareCutsTowardZero() {
    QCOMPARE(gaugeShare(57, 440), 250); // 250.8
    QCOMPARE(gaugeShare(14, 440), 61);  // 61.6
    QCOMPARE(gaugeShare(100, 35), 35);
  }

  void unchangedPercentageIsNotRepainted() {
    TProgressGauge gauge;
    gauge.setMaxValue(1000);
    gauge.show();
    QVERIFY(QTest::qWaitForWindowExposed(&gauge));
    PaintCounter paints(&gauge);
    gauge.setProgress(1);
    gauge.setProgress(2);
    QCOMPARE(gauge.Progress(), 2);
    QCOMPARE(paints.count, 0);
    gauge.setProgress(10);
    QCOMPARE(paints.count, 1);
    gauge.setKind(TProgressGaugeKind::gkPie);
    QCOMPARE(paints.count, 2);
    gauge.setKind(TProgressGaugeKind::gkPie);
    QCOMPARE(paints.count, 2);
  }

  void equalBoundsShowZero() {
    TProgressGauge gauge;
    setUpGauge2(gauge);
    gauge.setProgress(3);
    gauge.setMinValue(7);
    QCOMPARE(gauge.MinValue(), 7);
    QCOMPARE(gauge.Progress(), 7);
    QCOMPARE(gauge.percentDone(), 0);
    gauge.setShowText(false);
    QCOMPARE(gauge.renderImage().pixel(220, 18), kWhite); // nothing filled
  }

  void boundsPastEachOtherFailAndStoreNothing() {
    TProgressGauge gauge;
    setUpGauge2(gauge);
    try {
      gauge.setMinValue(8);
      QFAIL("no failure");
    } catch (const EGaugeRangeError& error) {
      QCOMPARE(QString::fromStdString(error.what()),
               QStringLiteral("Value must be between -2147483647 and 6"));
    }
    QCOMPARE(gauge.MinValue(), 0);
    gauge.setMinValue(2);
    try {
      gauge.setMaxValue(1);
      QFAIL("no failure");
    } catch (const EGaugeRangeError& error) {
      QCOMPARE(QString::fromStdString(error.what()),
               QStringLiteral("Value must be between 3 and 2147483647"));
    }
    QCOMPARE(gauge.MaxValue(), 7);
    gauge.setProgress(7);
    gauge.setMaxValue(5);
    QCOMPARE(gauge.Progress(), 5);
  }

  void wideRangesDoNotOverflow() {
    QCOMPARE(gaugePercent(2147483647, -2147483647 - 1, 2147483647), 100);
    QCOMPARE(gaugePercent(0, -2147483647 - 1, 2147483647), 50);
    QCOMPARE(gaugePercent(1073741823, 0, 2147483647), 49);
  }

  void verticalBarTopRow() {
    TProgressGauge gauge;
    gauge.resize(20, 30);
    gauge.setKind(TProgressGaugeKind::gkVerticalBar);
    gauge.setShowText(false);
    gauge.setForeColor(clRed);
    gauge.setProgress(100);

    gauge.setBorderStyle(TProgressGauge::TBorderStyle::bsNone);
    QImage image = gauge.renderImage();
    for (int x = 0; x < 20; ++x) {
      QCOMPARE(image.pixel(x, 0), kWhite);
      QCOMPARE(image.pixel(x, 1), qRgb(255, 0, 0));
      QCOMPARE(image.pixel(x, 29), qRgb(255, 0, 0));
    }

    gauge.setBorderStyle(TProgressGauge::TBorderStyle::bsSingle);
    image = gauge.renderImage();
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 20; ++x) {
        const bool frame = x == 0 || y == 0 || x == 19 || y == 29;
        QCOMPARE(image.pixel(x, y), frame ? kBlack : qRgb(255, 0, 0));
      }
  }

  void textIsInvertedOverTheBar() {
    TProgressGauge gauge;
    gauge.resize(200, 40);
    QFont font = gauge.font();
    font.setPixelSize(30);
    gauge.setFont(font);
    gauge.setProgress(50);
    const QImage withText = gauge.renderImage();
    gauge.setShowText(false);
    const QImage bare = gauge.renderImage();
    const int barEnd = gaugeShare(50, 199);
    int whiteOnBar = 0;
    int blackOnEmpty = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 200; ++x) {
        if (withText.pixel(x, y) == bare.pixel(x, y))
          continue;
        if (x < barEnd) {
          QCOMPARE(bare.pixel(x, y), kBlack);
          QCOMPARE(withText.pixel(x, y), kWhite);
          ++whiteOnBar;
        } else {
          QCOMPARE(bare.pixel(x, y), kWhite);
          QCOMPARE(withText.pixel(x, y), kBlack);
          ++blackOnEmpty;
        }
      }
    QVERIFY(whiteOnBar > 0);
    QVERIFY(blackOnEmpty > 0);
  }

  void pieGrowsClockwiseFromTwelve() {
    TProgressGauge gauge;
    gauge.resize(101, 101);
    gauge.setKind(TProgressGaugeKind::gkPie);
    gauge.setShowText(false);
    gauge.setForeColor(clBlue);
    gauge.setColor(clYellow);
    gauge.setProgress(25);
    QImage image = gauge.renderImage();
    QCOMPARE(image.pixel(70, 30), qRgb(0, 0, 255)); // upper right: the slice
    QCOMPARE(image.pixel(30, 30), kWhite);          // upper left: the dial
    QCOMPARE(image.pixel(70, 70), kWhite);          // lower right: the dial
    QCOMPARE(image.pixel(3, 3), qRgb(255, 255, 0)); // around the dial
    gauge.setProgress(100);
    image = gauge.renderImage();
    QCOMPARE(image.pixel(30, 70), qRgb(0, 0, 255));
  }

  void needlePointsByPercent() {
    TProgressGauge gauge;
    gauge.resize(101, 60);
    gauge.setKind(TProgressGaugeKind::gkNeedle);
    gauge.setShowText(false);
    gauge.setForeColor(clRed);
    gauge.setProgress(50);
    QImage image = gauge.renderImage();
    QCOMPARE(image.pixel(50, 30), qRgb(255, 0, 0)); // straight up
    QCOMPARE(image.pixel(30, 30), kWhite);
    gauge.setProgress(0);
    image = gauge.renderImage();
    QCOMPARE(image.pixel(50, 30), kWhite);
  }
};

QTEST_MAIN(TestProgressGauge)
#include "tst_progressgauge.moc"
