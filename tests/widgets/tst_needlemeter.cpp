#include "widgets/needlemeter.h"

#include <QFontMetrics>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>

using namespace kelvor;

namespace {

constexpr float kTop = 12.5f; // NeedleMeter1's value that points straight up

// NeedleMeter1 as the main window's form describes it.
void designAsNeedleMeter1(TNeedleMeter& meter) {
  meter.resize(217, 137);
  meter.setMin(10.0f);
  meter.setMax(15.0f);
  meter.setValue(10.0f);
  meter.setCaption(QStringLiteral("[ V ]"));
  meter.setAngularRange(180);
  meter.setTickCount(6);
  meter.setTickDigits(0);
  meter.setLowZoneValue(11.0f);
  meter.setHighZoneValue(14.0f);
  meter.setOKZoneColor(clLime);
  meter.setShowValue(false);
  meter.setColor(clWhite);
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(13);
  font.setBold(true);
  meter.setMeterFontAttributes(font);
}

QRgb rgb(TColor color) {
  return toQColor(color).rgb();
}

int countPixels(const QImage& image, const QRect& area, TColor color) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      n += image.pixel(x, y) == rgb(color) ? 1 : 0;
  return n;
}

// A point in the middle of the zone band at the given meter angle.
QPoint bandPoint(const TNeedleMeter& meter, float theta) {
  const NeedleLayout& l = meter.meterLayout();
  const MeterPoint outer = ellipseOffset(l.rx, l.ry, theta);
  const MeterPoint inner = ellipseOffset(l.irx, l.iry, theta);
  return {l.cx + (outer.x + inner.x) / 2, l.cy + (outer.y + inner.y) / 2};
}

QRgb bandColor(const TNeedleMeter& meter, float value) {
  return meter.backBuffer()
      .pixelColor(
          bandPoint(meter, scaleAngle(value, meter.min(), meter.max(), meter.angularRange())))
      .rgb();
}

QRgb knobPixel(const TNeedleMeter& meter) {
  return meter.backBuffer().pixel(meter.meterLayout().cx, meter.meterLayout().cy);
}

// Records the zone events in the order they come; only the named ones are bound.
struct ZoneRecorder {
  QStringList events;
  void bind(TNeedleMeter& meter, const QStringList& names) {
    const auto add = [&](const QString& name, void (TNeedleMeter::*signal)(TNeedleMeter*)) {
      if (names.contains(name))
        QObject::connect(&meter, signal, &meter, [this, name] { events << name; });
    };
    add("riseHigh", &TNeedleMeter::onRiseAboveHigh);
    add("fallHigh", &TNeedleMeter::onFallBelowHigh);
    add("riseLow", &TNeedleMeter::onRiseAboveLow);
    add("fallLow", &TNeedleMeter::onFallBelowLow);
  }
};

const QStringList kAllZoneEvents{"riseHigh", "fallHigh", "riseLow", "fallLow"};

} // namespace

class TestNeedleMeter : public QObject {
  Q_OBJECT

private slots:
  void creationValues() {
    TNeedleMeter meter;
    QCOMPARE(meter.size(), QSize(121, 117));
    QCOMPARE(meter.backBuffer().size(), QSize(121, 117));
    QCOMPARE(meter.caption(), QStringLiteral("mV"));
    QCOMPARE(meter.captionPosition(), cpTop);
    QCOMPARE(meter.captionVertAdj(), 0);
    QCOMPARE(meter.min(), 0.0f);
    QCOMPARE(meter.max(), 100.0f);
    QCOMPARE(meter.value(), 0.0f);
    QCOMPARE(meter.tickPrecision(), 7);
    QCOMPARE(meter.tickDigits(), 1);
    QCOMPARE(meter.valuePrecision(), 7);
    QCOMPARE(meter.valueDigits(), 1);
    QCOMPARE(meter.angularRange(), 270);
    QCOMPARE(meter.startAngle(), 45.0f);
    QCOMPARE(meter.tickCount(), 11);
    QCOMPARE(meter.lowZone(), 10);
    QCOMPARE(meter.highZone(), 90);
    QCOMPARE(meter.lowZoneValue(), 10.0f);
    QCOMPARE(meter.highZoneValue(), 90.0f);
    QCOMPARE(meter.highZoneColor(), clRed);
    QCOMPARE(meter.lowZoneColor(), clYellow);
    QCOMPARE(meter.okZoneColor(), cl3DLight);
    QCOMPARE(meter.knobSize(), 10);
    QCOMPARE(meter.needleWidth(), 2);
    QCOMPARE(meter.tickColor(), clBlack);
    QVERIFY(meter.showTicks());
    QVERIFY(!meter.showTicksScale());
    QVERIFY(meter.showZones());
    QVERIFY(meter.showFrame());
    QVERIFY(meter.showValue());
    QVERIFY(meter.enableZoneEvents());
    QCOMPARE(meter.color(), clBtnFace);
    QCOMPARE(meter.fontColor(), clWindowText);
    QCOMPARE(meter.textHeight(), 8);
    QCOMPARE(meter.meterLayout().ry, 57);
  }

  void designedMeterHasItsLayoutAndKeepsTheTextHeight() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter);
    QCOMPARE(meter.textHeight(), 8);
    const NeedleLayout& l = meter.meterLayout();
    QCOMPARE(l.m, 8);
    QCOMPARE(l.ry, 111);
    QCOMPARE(l.cy, 119);
    QCOMPARE(l.cx, 108);
    QCOMPARE(l.rx, 100);
    QCOMPARE(l.irx, 86);
    QCOMPARE(l.iry, 97);
    QCOMPARE(meter.lowZone(), 20);
    QCOMPARE(meter.highZone(), 80);
  }

  void assigningAWholeFontMeasuresItsHeight() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter);
    meter.setMeterFont(meter.meterFont()); // its own font: nothing happens
    QCOMPARE(meter.textHeight(), 8);
    const QFont font = meter.meterFont();
    meter.setMeterFont(font);
    QCOMPARE(meter.textHeight(), QFontMetrics(font, &meter.backBuffer()).height());
    QVERIFY(meter.textHeight() > 8);
  }

  void tickLabelsOfTheDesignedMeter() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter);
    QCOMPARE(meter.tickLabels(), (QStringList{"10", "11", "12", "13", "14", "15"}));
    meter.setTickDigits(1);
    QCOMPARE(meter.tickLabels().first(), QStringLiteral("10.0"));
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::CzechRepublic));
    meter.setTickDigits(2);
    const QString czech = meter.tickLabels().last();
    meter.setShowValue(true);
    const QString readOut = meter.valueText(12.25f);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(czech, QStringLiteral("15,00"));
    QCOMPARE(readOut, QStringLiteral("12,3"));
  }

  void endLabelsSitBesideTheirTicksCentredVertically() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter);
    meter.setValue(kTop); // keep the needle out of the labels' way
    const QFontMetrics metrics(meter.meterFont(), &meter.backBuffer());
    const int h = metrics.height();
    // Tick ends at 90 and 270 degrees on (iRx - t, iRy - t) = (76, 87): (32, 119), (184, 119).
    const QRect left(32, 119 - h / 2, metrics.horizontalAdvance("10"), h);
    const int rightWidth = metrics.horizontalAdvance("15");
    const QRect right(184 - rightWidth, 119 - h / 2, rightWidth, h);
    QCOMPARE(countPixels(meter.backBuffer(), left, clBlack), 0);
    meter.setShowTicksScale(true);
    QVERIFY(countPixels(meter.backBuffer(), left, clBlack) > 10);
    QVERIFY(countPixels(meter.backBuffer(), right, clBlack) > 10);
    // Nothing of the left label strays left of its tick end or of the right one past its own.
    QCOMPARE(countPixels(meter.backBuffer(), QRect(23, 100, 8, 18), clBlack), 0);
    QCOMPARE(countPixels(meter.backBuffer(), QRect(186, 100, 8, 18), clBlack), 0);
  }

  void clampsOfRangeTicksAndCaptionShift() {
    TNeedleMeter meter;
    meter.setAngularRange(5);
    QCOMPARE(meter.angularRange(), 10);
    QCOMPARE(meter.startAngle(), 175.0f);
    meter.setAngularRange(400);
    QCOMPARE(meter.angularRange(), 360);
    QCOMPARE(meter.startAngle(), 0.0f);
    QCOMPARE(meter.meterLayout().ry, computeNeedleLayout(121, 117, 8, 0.0f).ry); // re-laid out
    QVERIFY(meter.meterLayout().ry != 57);
    meter.setTickCount(150);
    QCOMPARE(meter.tickCount(), 100);
    meter.setCaptionVertAdj(12);
    meter.setCaptionVertAdj(40);
    QCOMPARE(meter.captionVertAdj(), 12);
    meter.setCaptionVertAdj(-31);
    QCOMPARE(meter.captionVertAdj(), 12);
    meter.setCaptionVertAdj(-30);
    QCOMPARE(meter.captionVertAdj(), -30);
  }

  void repeatedValueRaisesOnChangeOnce() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter);
    QSignalSpy changes(&meter, &TNeedleMeter::onChange);
    meter.setValue(12.0f);
    meter.setValue(12.0f);
    QCOMPARE(changes.count(), 1);
    QCOMPARE(changes.first().first().value<TNeedleMeter*>(), &meter);
  }

  void valuesOutsideTheScaleAreShownAtItsEnds() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter);
    QSignalSpy changes(&meter, &TNeedleMeter::onChange);
    const QImage& image = meter.backBuffer();
    meter.setValue(40.0f);
    QCOMPARE(meter.value(), 15.0f);
    QCOMPARE(image.pixel(150, 119), rgb(clBlack)); // the needle points right
    QCOMPARE(image.pixel(66, 119), rgb(clWhite));
    meter.setValue(99.0f); // clamps to the same value: no change
    QCOMPARE(changes.count(), 1);
    meter.setValue(-5.0f);
    QCOMPARE(meter.value(), 10.0f);
    QCOMPARE(image.pixel(66, 119), rgb(clBlack)); // now left, the old needle wiped
    QCOMPARE(image.pixel(150, 119), rgb(clWhite));
    QCOMPARE(changes.count(), 2);
  }

  void lowZoneAboveHighZoneDragsItAndLeavesNoOkSector() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter);
    QCOMPARE(bandColor(meter, 12.5f), rgb(clLime));
    QCOMPARE(bandColor(meter, 10.5f), rgb(clYellow));
    QCOMPARE(bandColor(meter, 14.5f), rgb(clRed));
    meter.setLowZoneValue(14.5f);
    QCOMPARE(meter.highZoneValue(), 14.5f);
    QCOMPARE(bandColor(meter, 12.5f), rgb(clYellow));
    QCOMPARE(countPixels(meter.backBuffer(), meter.backBuffer().rect(), clLime), 0);
    meter.setHighZoneValue(11.0f);
    QCOMPARE(meter.lowZoneValue(), 11.0f);
    QCOMPARE(bandColor(meter, 12.5f), rgb(clRed));
    QCOMPARE(countPixels(meter.backBuffer(), meter.backBuffer().rect(), clLime), 0);
  }

  void zoneValuesAreKeptInsideTheScale() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter);
    meter.setLowZoneValue(2.0f);
    QCOMPARE(meter.lowZoneValue(), 10.0f);
    meter.setHighZoneValue(99.0f);
    QCOMPARE(meter.highZoneValue(), 15.0f);
    meter.setLowZone(250);
    QCOMPARE(meter.lowZoneValue(), 15.0f);
  }

  void zonesAtTheScaleEndsDrawNoSectorAndNeverColourTheKnob() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter);
    QCOMPARE(knobPixel(meter), rgb(clYellow)); // 10 lies in the low zone
    meter.setValue(12.0f);
    QCOMPARE(knobPixel(meter), rgb(clLime));
    meter.setValue(14.0f); // on the high boundary
    QCOMPARE(knobPixel(meter), rgb(clRed));
    meter.setLowZoneValue(10.0f);
    meter.setHighZoneValue(15.0f);
    const QImage& image = meter.backBuffer();
    QCOMPARE(countPixels(image, image.rect(), clYellow), 0);
    QCOMPARE(countPixels(image, image.rect(), clRed), 0);
    meter.setValue(10.0f);
    QCOMPARE(knobPixel(meter), rgb(clLime));
    meter.setValue(15.0f);
    QCOMPARE(knobPixel(meter), rgb(clLime));
  }

  void minChangeKeepsTheZonePercentages() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter);
    meter.setMin(0.0f);
    QCOMPARE(meter.lowZoneValue(), 3.0f);
    QCOMPARE(meter.highZoneValue(), 12.0f);
    QCOMPARE(meter.lowZone(), 20);
    QCOMPARE(meter.highZone(), 80);
    meter.setMax(20.0f);
    QCOMPARE(meter.lowZoneValue(), 4.0f);
    QCOMPARE(meter.highZoneValue(), 16.0f);
  }

  void scaleEndsDragTheValue() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter);
    meter.setValue(14.0f);
    QSignalSpy changes(&meter, &TNeedleMeter::onChange);
    meter.setMax(12.0f);
    QCOMPARE(meter.value(), 12.0f);
    QCOMPARE(changes.count(), 1);
    meter.setMin(20.0f); // cannot pass Max
    QCOMPARE(meter.min(), 12.0f);
    QCOMPARE(meter.value(), 12.0f);
  }

  void equalEndsDrawWithoutFailing() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter);
    meter.setShowValue(true);
    meter.setShowTicksScale(true);
    meter.setMin(15.0f);
    QCOMPARE(meter.min(), meter.max());
    QCOMPARE(meter.lowZone(), 0);
    QCOMPARE(meter.highZone(), 0);
    QCOMPARE(meter.value(), 15.0f);
    meter.setValue(3.0f);
    QCOMPARE(meter.value(), 15.0f);
    meter.setTickCount(3);
    QCOMPARE(meter.tickLabels(), (QStringList{"15", "15", "15"}));
    QCOMPARE(meter.backBuffer().pixel(0, 5), rgb(clBtnShadow));
  }

  void infiniteEndsDrawWithoutFailing() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter);
    meter.setShowValue(true);
    meter.setShowTicksScale(true);
    meter.setMin(-std::numeric_limits<float>::infinity());
    meter.setMax(std::numeric_limits<float>::infinity());
    meter.setValue(std::numeric_limits<float>::quiet_NaN()); // ignored
    QCOMPARE(meter.value(), 10.0f);
    meter.setValue(12.0f);
    QCOMPARE(meter.value(), 12.0f);
    QCOMPARE(meter.backBuffer().pixel(0, 5), rgb(clBtnShadow));
  }

  void jumpAcrossBothZonesRaisesOnlyRiseAboveHigh() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter);
    ZoneRecorder onlyHigh;
    onlyHigh.bind(meter, {"riseHigh"});
    meter.setValue(15.0f);
    QCOMPARE(onlyHigh.events, QStringList{"riseHigh"});

    TNeedleMeter other;
    designAsNeedleMeter1(other);
    ZoneRecorder all;
    all.bind(other, kAllZoneEvents);
    other.setValue(15.0f);
    QCOMPARE(all.events, QStringList{"riseHigh"});
    all.events.clear();
    other.setValue(10.0f);
    QCOMPARE(all.events, QStringList{"fallLow"});
  }

  void withoutRiseAboveHighTheJumpCrossesTheLowBoundary() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter);
    ZoneRecorder recorder;
    recorder.bind(meter, {"riseLow", "fallHigh"});
    meter.setValue(15.0f);
    QCOMPARE(recorder.events, QStringList{"riseLow"});
  }

  void stepsAcrossOneBoundaryRaiseItsEvent() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter);
    meter.setValue(12.0f);
    ZoneRecorder recorder;
    recorder.bind(meter, kAllZoneEvents);
    meter.setValue(14.0f);
    meter.setValue(13.0f);
    meter.setValue(10.5f);
    meter.setValue(11.0f);
    meter.setValue(11.5f); // inside the OK zone: nothing
    QCOMPARE(recorder.events, (QStringList{"riseHigh", "fallHigh", "fallLow", "riseLow"}));
    meter.setEnableZoneEvents(false);
    meter.setValue(15.0f);
    QCOMPARE(recorder.events.size(), 4);
  }

  void movingABoundaryOverTheValueRaisesItsEvent() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter);
    meter.setValue(12.0f);
    ZoneRecorder recorder;
    recorder.bind(meter, kAllZoneEvents);
    meter.setLowZoneValue(12.5f);
    meter.setLowZoneValue(11.0f);
    meter.setHighZoneValue(11.5f);
    meter.setHighZoneValue(14.0f);
    meter.setHighZoneValue(14.0f); // always acts, but crosses nothing
    QCOMPARE(recorder.events, (QStringList{"fallLow", "riseLow", "riseHigh", "fallHigh"}));
  }

  void tooSmallControlGrowsBack() {
    TNeedleMeter meter;
    QSignalSpy resizes(&meter, &TNeedleMeter::onResize);
    meter.resize(10, 10);
    QCOMPARE(meter.size(), QSize(52, 37));
    meter.show();
    QVERIFY(QTest::qWaitForWindowExposed(&meter));
    QCOMPARE(resizes.count(), 1);
    QCOMPARE(meter.backBuffer().size(), QSize(52, 37));
    QCOMPARE(meter.meterLayout().cx, 26);
  }

  void presentCopiesTheBackBuffer() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter);
    meter.setShowTicksScale(true);
    meter.setValue(13.2f);
    QImage shown(meter.size(), QImage::Format_RGB32);
    meter.render(&shown);
    QCOMPARE(shown, meter.backBuffer());
  }

  void frameIsSunkenAndOptional() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter);
    const QImage& image = meter.backBuffer();
    const int w = 217;
    const int h = 137;
    for (const QPoint p : {QPoint(0, 0), QPoint(0, 60), QPoint(0, h - 1), QPoint(w - 2, 0)})
      QCOMPARE(image.pixel(p), rgb(clBtnShadow));
    for (const QPoint p :
         {QPoint(w - 1, 0), QPoint(w - 1, 60), QPoint(w - 1, h - 1), QPoint(1, h - 1)})
      QCOMPARE(image.pixel(p), rgb(clBtnHighlight));
    meter.setShowFrame(false);
    QCOMPARE(image.pixel(0, 60), rgb(clWhite));
    QCOMPARE(image.pixel(w - 1, 60), rgb(clWhite));
  }

  void captionSitsOnAnOpaqueFaceAndFollowsItsShift() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter); // the needle lies flat to the left, clear of the caption
    meter.setCaption(QStringLiteral("  [ V ]  "));
    QCOMPARE(meter.caption(), QStringLiteral("[ V ]"));
    const QFontMetrics metrics(meter.meterFont(), &meter.backBuffer());
    const int cw = metrics.horizontalAdvance(meter.caption());
    // cpTop: ((cy - m) + (cy - iRy - 1)) halved = (111 + 21) / 2 = 66.
    const QRect at(108 - cw / 2, 66, cw, metrics.height());
    const QImage before = meter.backBuffer().copy(at);
    QVERIFY(countPixels(before, before.rect(), clWindowText) > 10);
    meter.setCaptionVertAdj(10);
    QCOMPARE(meter.backBuffer().copy(at.translated(0, 10)), before);
    meter.setCaption(QString());
    QCOMPARE(countPixels(meter.backBuffer(), at.translated(0, 10), clWindowText), 0);
  }

  void readOutIsWrittenBelowTheCentreAndReplaced() {
    TNeedleMeter meter;
    designAsNeedleMeter1(meter);
    meter.setValue(kTop);
    const QFontMetrics metrics(meter.meterFont(), &meter.backBuffer());
    const QRect area(60, 137 - 8 - 8 - 1, 96, metrics.height()); // top = Height - m - th - 1
    QCOMPARE(countPixels(meter.backBuffer(), area, clWindowText), 0);
    meter.setShowValue(true);
    meter.setValue(14.5f);
    const QImage shown = meter.backBuffer().copy(area);
    QVERIFY(countPixels(shown, shown.rect(), clWindowText) > 10);

    TNeedleMeter direct;
    designAsNeedleMeter1(direct);
    direct.setShowValue(true);
    direct.setValue(14.5f);
    QCOMPARE(direct.backBuffer().copy(area), shown);
  }
};

QTEST_MAIN(TestNeedleMeter)
#include "tst_needlemeter.moc"
