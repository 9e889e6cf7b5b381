#include "widgets/levelmeter.h"

#include <QTest>

using namespace kelvor;

namespace {

const LevelGroups kLevelMeter1Groups{10, 10, 30, 30, 10, 10};

// LevelMeter1 as the main window's form describes it.
void designAsLevelMeter1(TLevelMeter& meter) {
  meter.resize(201, 33);
  meter.setGreens(10);
  meter.setGreenMax(10);
  meter.setGreenColor(clYellow);
  meter.setYellows(30);
  meter.setYellowMax(30);
  meter.setYellowColor(clLime);
  meter.setReds(10);
  meter.setRedMax(10);
}

QRgb rgb(TColor color) {
  return toQColor(color).rgb();
}

bool isLit(QRgb pixel) {
  return pixel == rgb(clYellow) || pixel == rgb(clLime) || pixel == rgb(clRed);
}

// Lit segments of a horizontal LevelMeter1 read from its middle row, one column per segment.
int litSegmentsShown(TLevelMeter& meter) {
  const QImage& image = meter.paintBackBuffer();
  int lit = 0;
  for (int i = 1; i <= 50; ++i)
    lit += isLit(image.pixel(4 * i - 3, 16)) ? 1 : 0;
  return lit;
}

} // namespace

class TestLevelMeter : public QObject {
  Q_OBJECT

private slots:
  void creationValues() {
    TLevelMeter meter;
    QCOMPARE(meter.size(), QSize(80, 17));
    QCOMPARE(meter.bevelStyle(), bvLowered);
    QCOMPARE(meter.bevelWidth(), 1);
    QCOMPARE(meter.greens(), 3);
    QCOMPARE(meter.greenMax(), 50);
    QCOMPARE(meter.greenColor(), clLime);
    QCOMPARE(meter.greenBack(), clGray);
    QCOMPARE(meter.yellows(), 2);
    QCOMPARE(meter.yellowMax(), 25);
    QCOMPARE(meter.yellowColor(), clYellow);
    QCOMPARE(meter.yellowBack(), clGray);
    QCOMPARE(meter.reds(), 1);
    QCOMPARE(meter.redMax(), 25);
    QCOMPARE(meter.redColor(), clRed);
    QCOMPARE(meter.redBack(), clGray);
    QVERIFY(!meter.showJustOne());
    QCOMPARE(meter.sepWidth(), 1);
    QCOMPARE(meter.sepColor(), clSilver);
    QCOMPARE(meter.meterStyle(), dsHorizontal);
    QCOMPARE(meter.direction(), ddRightDown);
    QCOMPARE(meter.position(), 0);
  }

  void litCountsWithTheCreationGroups() {
    const LevelGroups g;
    QCOMPARE(litSegmentCount(0, g), 0);
    QCOMPARE(litSegmentCount(1, g), 1);  // 3/50 rounds to 0, raised for a non-zero position
    QCOMPARE(litSegmentCount(25, g), 2); // 1.5 goes to the even neighbour
    QCOMPARE(litSegmentCount(50, g), 3);
    QCOMPARE(litSegmentCount(51, g), 4); // the first yellow step rounds to 0 and is raised
    QCOMPARE(litSegmentCount(75, g), 5);
    QCOMPARE(litSegmentCount(76, g), 6); // 1/25 rounds to 0 and is raised
    QCOMPARE(litSegmentCount(100, g), 6);
    QCOMPARE(litSegmentCount(1000, g), 6);
  }

  void levelMeter1LightsOneSegmentPerPosition() {
    for (int p = 0; p <= 50; ++p)
      QCOMPARE(litSegmentCount(p, kLevelMeter1Groups), p);
    QCOMPARE(litSegmentCount(51, kLevelMeter1Groups), 50);
    QCOMPARE(litSegmentCount(std::numeric_limits<int>::max(), kLevelMeter1Groups), 50);
  }

  void negativePositions() {
    QCOMPARE(litSegmentCount(-1, LevelGroups{}), 1); // -0.06 rounds to 0: the first segment
    QVERIFY(litSegmentCount(-100, LevelGroups{}) < 0);
    QVERIFY(litSegmentCount(-3, kLevelMeter1Groups) < 0);
    TLevelMeter meter;
    designAsLevelMeter1(meter);
    meter.setPosition(-3);
    QCOMPARE(litSegmentsShown(meter), 0);
    meter.setPosition(std::numeric_limits<int>::min());
    QCOMPARE(litSegmentsShown(meter), 0);
  }

  void emptyGroupsFillTheBar() {
    LevelGroups noYellows = kLevelMeter1Groups;
    noYellows.yellows = 0;
    QCOMPARE(litSegmentCount(5, noYellows), 5);
    QCOMPARE(litSegmentCount(12, noYellows), 12); // the reds follow the greens at once
    QCOMPARE(litSegmentCount(20, noYellows), 20);
    LevelGroups noGreens = kLevelMeter1Groups;
    noGreens.greens = 0;
    QCOMPARE(litSegmentCount(0, noGreens), 0);
    QCOMPARE(litSegmentCount(1, noGreens), 1);
    LevelGroups noReds = kLevelMeter1Groups;
    noReds.reds = 0;
    QCOMPARE(litSegmentCount(45, noReds), 40);
  }

  void paintedBarMatchesTheLitCount() {
    TLevelMeter meter;
    designAsLevelMeter1(meter);
    for (int p : {0, 1, 10, 11, 27, 40, 41, 50, 80}) {
      meter.setPosition(p);
      QCOMPARE(litSegmentsShown(meter), std::min(p, 50));
    }
  }

  void showJustOneLightsASingleSegment() {
    TLevelMeter meter;
    designAsLevelMeter1(meter);
    meter.setShowJustOne(true);
    for (int p : {1, 17, 50, 70}) {
      meter.setPosition(p);
      QCOMPARE(litSegmentsShown(meter), 1);
      QVERIFY(isLit(meter.paintBackBuffer().pixel(4 * std::min(p, 50) - 3, 16)));
    }
    meter.setPosition(0);
    QCOMPARE(litSegmentsShown(meter), 0);
  }

  void segmentsAndSeparatorsOfLevelMeter1() {
    TLevelMeter meter;
    designAsLevelMeter1(meter);
    meter.setBevelStyle(bvNone);
    meter.setPosition(45);
    const QImage& image = meter.paintBackBuffer();
    // Segments are 4 wide; a 2-wide separator straddles every boundary, so segment 1 keeps
    // columns 0-2, every other one its middle two, and the last separator covers column 200.
    for (int x = 0; x < 201; ++x) {
      const int i = x / 4 + 1;
      const bool separator = x == 200 || x % 4 == 3 || (x % 4 == 0 && x > 0);
      const TColor expected = separator ? clSilver
                              : i > 45  ? clGray
                              : i > 40  ? clRed
                              : i > 10  ? clLime
                                        : clYellow;
      QVERIFY2(image.pixel(x, 16) == rgb(expected), qPrintable(QString::number(x)));
      QCOMPARE(image.pixel(x, 31), image.pixel(x, 16)); // segments stop above the last row
      QCOMPARE(image.pixel(x, 32), rgb(clSilver));
    }
  }

  void loweredBorder() {
    TLevelMeter meter;
    designAsLevelMeter1(meter);
    const QImage& image = meter.paintBackBuffer();
    for (int x = 0; x < 201; ++x)
      QCOMPARE(image.pixel(x, 0), rgb(clGray));
    for (int y = 0; y < 32; ++y)
      QCOMPARE(image.pixel(0, y), rgb(clGray));
    for (int x = 0; x < 200; ++x)
      QCOMPARE(image.pixel(x, 32), rgb(clWhite));
    for (int y = 1; y < 33; ++y)
      QCOMPARE(image.pixel(200, y), rgb(clWhite));
    QCOMPARE(image.pixel(1, 1), rgb(clGray)); // segment 1, dark
  }

  void raisedBorderOfTwoPixels() {
    TLevelMeter meter;
    designAsLevelMeter1(meter);
    meter.setBevelStyle(bvRaised);
    meter.setBevelWidth(2);
    QCOMPARE(meter.bevelWidth(), 2);
    const QImage& image = meter.paintBackBuffer();
    for (int i = 0; i < 2; ++i) {
      QCOMPARE(image.pixel(100, i), rgb(clWhite));
      QCOMPARE(image.pixel(i, 16), rgb(clWhite));
      QCOMPARE(image.pixel(100, 32 - i), rgb(clGray));
      QCOMPARE(image.pixel(200 - i, 16), rgb(clGray));
    }
    QCOMPARE(image.pixel(0, 30), rgb(clWhite)); // the left edge stops above H - b
    QCOMPARE(image.pixel(1, 30), rgb(clWhite));
    QCOMPARE(image.pixel(0, 31), rgb(clGray));
    QCOMPARE(image.pixel(0, 32), rgb(clGray));
  }

  void bevelWidthRule() {
    TLevelMeter meter;
    designAsLevelMeter1(meter);
    meter.setBevelWidth(12); // above 33 div 3
    QCOMPARE(meter.bevelWidth(), 1);
    meter.setBevelWidth(11);
    QCOMPARE(meter.bevelWidth(), 11);
    meter.setBevelWidth(0);
    QCOMPARE(meter.bevelWidth(), 1);
    meter.resize(201, 9); // a stored width the control outgrew is cut at paint time
    meter.setBevelStyle(bvRaised);
    meter.setBevelWidth(3);
    QCOMPARE(meter.bevelWidth(), 3);
    meter.resize(201, 8);
    const QImage& image = meter.paintBackBuffer();
    QCOMPARE(image.pixel(101, 0), rgb(clWhite));
    QCOMPARE(image.pixel(101, 1), rgb(clGray)); // a dark segment, not a second ring
  }

  void tooShortControlShowsOnlySeparatorColourAndBorder() {
    TLevelMeter meter;
    designAsLevelMeter1(meter);
    meter.resize(80, 33); // 80 div 50 = 1, not above SepWidth
    meter.setPosition(30);
    const QImage& image = meter.paintBackBuffer();
    for (int y = 1; y < 32; ++y)
      for (int x = 1; x < 79; ++x)
        QCOMPARE(image.pixel(x, y), rgb(clSilver));
    QCOMPARE(image.pixel(0, 5), rgb(clGray));
    QCOMPARE(image.pixel(79, 5), rgb(clWhite));
  }

  void segmentGeometry() {
    const LevelLayout right{201, 33, 4, 1, dsHorizontal, ddRightDown};
    QCOMPARE(levelSegmentRect(right, 1), QRect(0, 0, 4, 32));
    QCOMPARE(levelSegmentRect(right, 50), QRect(196, 0, 4, 32));
    QCOMPARE(levelSeparatorRect(right, 1), QRect(3, 0, 2, 32));
    QCOMPARE(levelSeparatorRect(right, 50), QRect(199, 0, 2, 32));
    const LevelLayout left{201, 33, 4, 1, dsHorizontal, ddLeftUp};
    QCOMPARE(levelSegmentRect(left, 1), QRect(197, 0, 4, 32));
    QCOMPARE(levelSeparatorRect(left, 50), QRect(0, 0, 2, 32));
    const LevelLayout up{17, 100, 10, 2, dsVertical, ddLeftUp};
    QCOMPARE(levelSegmentRect(up, 1), QRect(0, 90, 16, 10));
    QCOMPARE(levelSeparatorRect(up, 1), QRect(0, 89, 16, 3));
  }

  void leftUpMirrorsThePictureAlongTheLength() {
    TLevelMeter forward;
    designAsLevelMeter1(forward);
    forward.setBevelStyle(bvNone);
    forward.setPosition(13);
    TLevelMeter backward;
    designAsLevelMeter1(backward);
    backward.setBevelStyle(bvNone);
    backward.setPosition(13);
    backward.setDirection(ddLeftUp);
    QCOMPARE(backward.paintBackBuffer(), forward.paintBackBuffer().mirrored(true, false));
  }

  void verticalLeftUpFillsFromTheBottom() {
    TLevelMeter meter;
    meter.resize(17, 100);
    meter.setMeterStyle(dsVertical);
    meter.setDirection(ddLeftUp);
    meter.setGreens(10);
    meter.setGreenMax(10);
    meter.setYellows(0);
    meter.setReds(0);
    meter.setPosition(3);
    const QImage& image = meter.paintBackBuffer();
    // Segments of 10 rows from the bottom: segment 1 is rows 90-99 (border on row 99).
    for (int i = 1; i <= 10; ++i)
      QCOMPARE(image.pixel(8, 100 - 10 * i + 4), rgb(i <= 3 ? clLime : clGray));
    meter.setDirection(ddRightDown);
    QCOMPARE(meter.paintBackBuffer().pixel(8, 5), rgb(clLime));
    QCOMPARE(meter.paintBackBuffer().pixel(8, 95), rgb(clGray));
  }

  void shownPictureIsTheBackBuffer() {
    TLevelMeter meter;
    designAsLevelMeter1(meter);
    meter.setPosition(33);
    QImage shown(meter.size(), QImage::Format_RGB32);
    meter.render(&shown);
    QCOMPARE(shown, meter.paintBackBuffer());
  }
};

QTEST_MAIN(TestLevelMeter)
#include "tst_levelmeter.moc"
