#include "widgets/metermath.h"

#include <QTest>

using namespace kelvor;

namespace QTest {
template <> char* toString(const MeterPoint& p) {
  return qstrdup(QByteArray("(" + QByteArray::number(p.x) + ", " + QByteArray::number(p.y) + ")"));
}
} // namespace QTest

class TestMeterMath : public QObject {
  Q_OBJECT

private slots:
  void scaleRunsSymmetricallyOverTheTop() {
    QCOMPARE(scaleStartAngle(270), 45.0f);
    QCOMPARE(scaleStartAngle(180), 90.0f);
    QCOMPARE(scaleAngle(10.0f, 10.0f, 15.0f, 180), 90.0f);
    QCOMPARE(scaleAngle(15.0f, 10.0f, 15.0f, 180), 270.0f);
    QCOMPARE(scaleAngle(12.5f, 10.0f, 15.0f, 180), 180.0f);
    QCOMPARE(scaleAngle(100.0f, 0.0f, 100.0f, 270), 315.0f);
  }

  void emptyRangePutsEveryValueAtTheStart() {
    QCOMPARE(scaleAngle(3.0f, 15.0f, 15.0f, 180), 90.0f);
    QCOMPARE(scaleAngle(15.0f, 15.0f, 15.0f, 270), 45.0f);
    QCOMPARE(scaleAngle(1.0f, -std::numeric_limits<float>::infinity(),
                        std::numeric_limits<float>::infinity(), 270),
             45.0f);
  }

  void roundingSendsHalvesToTheEvenNeighbour() {
    QCOMPARE(roundHalfEven(2.5), 2);
    QCOMPARE(roundHalfEven(3.5), 4);
    QCOMPARE(roundHalfEven(-2.5), -2);
    QCOMPARE(roundHalfEven(-2.6), -3);
    QCOMPARE(roundHalfEven(1e30), std::numeric_limits<int>::max());
    QCOMPARE(roundHalfEven(std::nan("")), 0);
  }

  void pointsOnTheEllipseFollowTheAngleConvention() {
    QCOMPARE(ellipseOffset(100, 111, 0.0), (MeterPoint{0, 111}));    // down
    QCOMPARE(ellipseOffset(100, 111, 90.0), (MeterPoint{-100, 0}));  // left
    QCOMPARE(ellipseOffset(100, 111, 180.0), (MeterPoint{0, -111})); // up
    QCOMPARE(ellipseOffset(100, 111, 270.0), (MeterPoint{100, 0}));  // right
    QCOMPARE(ellipseOffset(100, 100, 45.0), (MeterPoint{-71, 71}));
    // r = 100·111 / √(111²·sin²126° + 100²·cos²126°) ≈ 103.42
    QCOMPARE(ellipseOffset(100, 111, 126.0), (MeterPoint{-84, -61}));
  }

  void degenerateEllipseIsItsCentre() {
    QCOMPARE(ellipseOffset(0, 50, 90.0), (MeterPoint{0, 0}));
    QCOMPARE(ellipseOffset(50, -1, 90.0), (MeterPoint{0, 0}));
    QCOMPARE(ellipseOffset(50, 50, std::nan("")), (MeterPoint{0, 0}));
  }

  void meterAnglesConvertToQtAngles() {
    QCOMPARE(qtAngle16(0.0), 270 * 16);
    QCOMPARE(qtAngle16(90.0), 180 * 16);
    QCOMPARE(qtAngle16(180.0), 90 * 16);
    QCOMPARE(qtAngle16(270.0), 0);
    QCOMPARE(qtAngle16(315.0), 315 * 16);
  }

  void arcsRunClockwiseFromAlphaToBeta() {
    const QtArc topHalf = qtEllipseArc(100, 100, 90.0, 270.0);
    QCOMPARE(topHalf.start16, 180 * 16);
    QCOMPARE(topHalf.span16, -180 * 16);
    const QtArc scale270 = qtEllipseArc(100, 100, 45.0, 315.0);
    QCOMPARE(scale270.start16, 225 * 16);
    QCOMPARE(scale270.span16, -270 * 16);
    QCOMPARE(qtEllipseArc(100, 111, 0.0, 360.0).span16, -360 * 16);
    QCOMPARE(qtEllipseArc(100, 111, 126.0, 126.0).span16, 0);
  }

  void arcEndsPassThroughTheIntegerPointsOfAFlatEllipse() {
    // On (100, 50) the points at 135 and 225 degrees are (-45, -45) and (45, -45); Qt's
    // parametric angles of those are atan2(45·100, ∓45·50): 116.565 and 63.435 degrees.
    const QtArc arc = qtEllipseArc(100, 50, 135.0, 225.0);
    QCOMPARE(arc.start16, 1865);
    QCOMPARE(arc.span16, -850);
  }

  void zoneSectorsOfTheDesignedMeter() {
    const std::vector<ZoneSector> sectors = zoneSectors(10.0f, 15.0f, 11.0f, 14.0f, 180);
    QCOMPARE(sectors.size(), std::size_t{3});
    QCOMPARE(sectors[0].zone, Zone::Low);
    QCOMPARE(sectors[0].from, 90.0f);
    QCOMPARE(sectors[0].to, 126.0f);
    QCOMPARE(sectors[1].zone, Zone::OK);
    QCOMPARE(sectors[1].from, 126.0f);
    QCOMPARE(sectors[1].to, 234.0f);
    QCOMPARE(sectors[2].zone, Zone::High);
    QCOMPARE(sectors[2].from, 234.0f);
    QCOMPARE(sectors[2].to, 270.0f);
  }

  void zonesWithoutRoomAreLeftOut() {
    const auto zones = [](float low, float high) {
      QList<Zone> found;
      for (const ZoneSector& s : zoneSectors(10.0f, 15.0f, low, high, 180))
        found << s.zone;
      return found;
    };
    QCOMPARE(zones(12.0f, 12.0f), (QList<Zone>{Zone::Low, Zone::High})); // strict OK test
    QCOMPARE(zones(10.0f, 14.0f), (QList<Zone>{Zone::OK, Zone::High}));
    QCOMPARE(zones(11.0f, 15.0f), (QList<Zone>{Zone::Low, Zone::OK}));
    QCOMPARE(zones(10.0f, 10.0f), (QList<Zone>{Zone::High}));
  }

  void layoutOfTheDesignedMeter() {
    const NeedleLayout l = computeNeedleLayout(217, 137, 8, scaleStartAngle(180));
    QCOMPARE(l.m, 8);
    QCOMPARE(l.ry, 111); // the whole available height
    QCOMPARE(l.cy, 119);
    QCOMPARE(l.cx, 108);
    QCOMPARE(l.rx, 100);
    QCOMPARE(l.irx, 86);
    QCOMPARE(l.iry, 97);
  }

  void layoutGrowsTheVerticalAxisUntilTheScaleEndsFit() {
    // 121 × 117, 270 degrees: aH 97, aW 111; the height at the scale ends first reaches aH
    // at d = 58 (98.1; 96.76 at 57), so Ry = 57.
    const NeedleLayout l = computeNeedleLayout(121, 117, 8, scaleStartAngle(270));
    QCOMPARE(l.m, 5);
    QCOMPARE(l.ry, 57);
    QCOMPARE(l.cy, 62);
    QCOMPARE(l.cx, 60);
    QCOMPARE(l.rx, 55);
    QCOMPARE(l.irx, 46);
    QCOMPARE(l.iry, 48);
    // A full circle: the height at the ends is 2d, first reaching 111 at d = 56.
    QCOMPARE(computeNeedleLayout(217, 137, 8, scaleStartAngle(360)).ry, 55);
  }

  void layoutOfAControlWithoutRoomStaysFinite() {
    const NeedleLayout l = computeNeedleLayout(52, 37, 200, scaleStartAngle(270));
    QVERIFY(l.ry < 0);
    QCOMPARE(l.cy, l.m + l.ry);
  }

  void labelsAtTheEndsOfA180DegreeScaleAreCentredOnTheirTicks() {
    const MeterPoint anchor{32, 119};
    QCOMPARE(tickLabelTopLeft(anchor, 30, 16, 90.0), (MeterPoint{32, 111})); // extends right
    QCOMPARE(tickLabelTopLeft(anchor, 30, 16, 270.0), (MeterPoint{2, 111})); // extends left
  }

  void labelsSlideAlongTheirEdgeBySector() {
    const MeterPoint a{100, 100};
    QCOMPARE(tickLabelTopLeft(a, 30, 16, 0.0), (MeterPoint{85, 84})); // below the centre
    QCOMPARE(tickLabelTopLeft(a, 30, 16, 45.0), (MeterPoint{100, 84}));
    QCOMPARE(tickLabelTopLeft(a, 30, 16, 46.0), (MeterPoint{100, 85})); // trunc(15.82)
    QCOMPARE(tickLabelTopLeft(a, 30, 16, 135.0), (MeterPoint{100, 100}));
    QCOMPARE(tickLabelTopLeft(a, 30, 16, 180.0), (MeterPoint{85, 100})); // above the centre
    QCOMPARE(tickLabelTopLeft(a, 30, 16, 225.0), (MeterPoint{70, 100}));
    QCOMPARE(tickLabelTopLeft(a, 30, 16, 300.0), (MeterPoint{70, 87})); // trunc(13.33)
    QCOMPARE(tickLabelTopLeft(a, 30, 16, 315.0), (MeterPoint{70, 84}));
  }

  void fixedPointNotation_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole label") << 10.0 << 7 << 0 << "10";
    QTest::newRow("half away from zero") << 12.5 << 7 << 0 << "13";
    QTest::newRow("negative half") << -12.5 << 7 << 0 << "-13";
    QTest::newRow("exact tie in decimals") << 2.25 << 7 << 1 << "2.3";
    QTest::newRow("one decimal") << 3.14159 << 7 << 1 << "3.1";
    QTest::newRow("decimals padded") << 1.5 << 7 << 3 << "1.500";
    QTest::newRow("zero") << 0.0 << 7 << 1 << "0.0";
    QTest::newRow("below one") << 0.06 << 7 << 1 << "0.1";
    QTest::newRow("negative rounding to zero") << -0.04 << 7 << 1 << "0.0";
    QTest::newRow("significant digits cut decimals") << 12.345 << 3 << 2 << "12.30";
    QTest::newRow("precision below 2 counts as 2") << 0.123 << 1 << 3 << "0.120";
    QTest::newRow("carry into a new digit") << 9.96 << 2 << 1 << "10.0";
    QTest::newRow("too many integer digits") << 123.456 << 2 << 2 << "1.2E+02";
    QTest::newRow("carry past the precision") << 99.96 << 2 << 1 << "1E+02";
    QTest::newRow("negative scientific") << -1234567.0 << 3 << 0 << "-1.23E+06";
    QTest::newRow("not a number") << std::nan("") << 7 << 1 << "NAN";
  }

  void fixedPointNotation() {
    QFETCH(double, value);
    QFETCH(int, precision);
    QFETCH(int, digits);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(formatFixedPoint(value, precision, digits, ".")), text);
  }

  void fixedPointUsesTheGivenSeparator() {
    QCOMPARE(formatFixedPoint(3.14159, 7, 2, ","), std::string("3,14"));
    QCOMPARE(formatFixedPoint(123.456, 2, 2, ","), std::string("1,2E+02"));
  }
};

QTEST_GUILESS_MAIN(TestMeterMath)
#include "tst_metermath.moc"
