#include "widgets/led.h"

#include <QTest>

#include <vector>

using namespace kelvor;

namespace {

struct Picture {
  TLEDStyle style;
  const char* name;
  std::vector<const char*> rows;
};

// The lamp pictures as the design lists them (K black, S silver, G grey, W white, L lens).
const std::vector<Picture>& pictures() {
  static const std::vector<Picture> all = {
      {TLEDStyle::LEDSmall,
       "LEDSM",
       {
           "WWWWWWWWWWWWWWWW",
           "WSSSSKKKKKKSSSSG",
           "WSSSKWWWWWSKSSSG",
           "WSSKWWKKKKSSKSSG",
           "WSKWWKLLLLKSSKSG",
           "WKWWKWLWLLLKSGKG",
           "WKWKLLWLLLLLKGKG",
           "WKWKLWLLLLLLKGKG",
           "WKWKLLLLLLLLKGKG",
           "WKWKLLLLLLLLKGKG",
           "WKSSKLLLLLLKGGKG",
           "WSKSSKLLLLKGGKSG",
           "WSSKSSKKKKGGKSSG",
           "WSSSKGGGGGGKSSSG",
           "WSSSSKKKKKKSSSSG",
           "GGGGGGGGGGGGGGGG",
       }},
      {TLEDStyle::LEDLarge,
       "LEDLG",
       {
           "WWWWWWWWWWWWWWWWWWWWWW", "WSSSSSSSKKKKKKSSSSSSSG", "WSSSSSKKWWWWWWKKSSSSSG",
           "WSSSKKWWKKKKKKSSKKSSSG", "WSSKWWKKLLLLLLKKSSKSSG", "WSSKWKLLLLLLLLLLKSKSSG",
           "WSKWKLLLWWLLLLLLLKSKSG", "WSKWKLLWWLLLLLLLLKSKSG", "WKWKLLWWLLLLLLLLLLKGKG",
           "WKWKLLWLLLLLLLLLLLKGKG", "WKWKLLLLLLLLLLLLLLKGKG", "WKWKLWWLLLLLLLLLLLKGKG",
           "WKWKLWWLLLLLLLLLLLKGKG", "WKWKLLLLLLLLLLLLLLKGKG", "WSKSKLLLLLLLLLLLLKGKSG",
           "WSKSKLLLLLLLLLLLLKGKSG", "WSSKSKLLLLLLLLLLKGKSSG", "WSSKSSKKLLLLLLKKGGKSSG",
           "WSSSKKSSKKKKKKGGKKSSSG", "WSSSSSKKGGGGGGKKSSSSSG", "WSSSSSSSKKKKKKSSSSSSSG",
           "GGGGGGGGGGGGGGGGGGGGGG",
       }},
      {TLEDStyle::LEDSqSmall,
       "LEDSQSM",
       {
           "WWWWWWWWWWWWWWWW",
           "WKKKKKKKKKKKKKKG",
           "WKSSSSSSSSSSSSKG",
           "WKSKKKKKKKKKKGKG",
           "WKSKLLLLLLLLKGKG",
           "WKSKLLWWWLLLKGKG",
           "WKSKLWWLLLLLKGKG",
           "WKSKLWLLLLLLKGKG",
           "WKSKLLLLLLLLKGKG",
           "WKSKLLLLLLLLKGKG",
           "WKSKLLLLLLLLKGKG",
           "WKSKLLLLLLLLKGKG",
           "WKSKKKKKKKKKKGKG",
           "WKSGGGGGGGGGGGKG",
           "WKKKKKKKKKKKKKKG",
           "WGGGGGGGGGGGGGGG",
       }},
      {TLEDStyle::LEDSqLarge,
       "LEDSQLG",
       {
           "WWWWWWWWWWWWWWWWWWWWWW", "WKKKKKKKKKKKKKKKKKKKKG", "WKSSSSSSSSSSSSSSSSSSKG",
           "WKSKKKKKKKKKKKKKKKKGKG", "WKSKLLLLLLLLLLLLLLKGKG", "WKSKLLLLLLLLLLLLLLKGKG",
           "WKSKLLLLWWLLLLLLLLKGKG", "WKSKLLLWWLLLLLLLLLKGKG", "WKSKLLWWLLLLLLLLLLKGKG",
           "WKSKLLWLLLLLLLLLLLKGKG", "WKSKLLLLLLLLLLLLLLKGKG", "WKSKLLLLLLLLLLLLLLKGKG",
           "WKSKLLLLLLLLLLLLLLKGKG", "WKSKLLLLLLLLLLLLLLKGKG", "WKSKLLLLLLLLLLLLLLKGKG",
           "WKSKLLLLLLLLLLLLLLKGKG", "WKSKLLLLLLLLLLLLLLKGKG", "WKSKLLLLLLLLLLLLLLKGKG",
           "WKSKKKKKKKKKKKKKKKKGKG", "WKSGGGGGGGGGGGGGGGGGKG", "WKKKKKKKKKKKKKKKKKKKKG",
           "GGGGGGGGGGGGGGGGGGGGGG",
       }},
      {TLEDStyle::LEDVertical,
       "LEDVT",
       {
           "WWWWWWWWWWWWWW", "WKKKKKKKKKKKKG", "WKSSSSSSSSSSKG", "WKSKKKKKKKKGKG", "WKSKLLLLLLKGKG",
           "WKSKLLWWLLKGKG", "WKSKLWWLLLKGKG", "WKSKLWLLLLKGKG", "WKSKLWLLLLKGKG", "WKSKLLLLLLKGKG",
           "WKSKLLLLLLKGKG", "WKSKLLLLLLKGKG", "WKSKLLLLLLKGKG", "WKSKLLLLLLKGKG", "WKSKLLLLLLKGKG",
           "WKSKLLLLLLKGKG", "WKSKLLLLLLKGKG", "WKSKLLLLLLKGKG", "WKSKKKKKKKKGKG", "WKSGGGGGGGGGKG",
           "WKKKKKKKKKKKKG", "GGGGGGGGGGGGGG",
       }},
      {TLEDStyle::LEDHorizontal,
       "LEDHZ",
       {
           "WWWWWWWWWWWWWWWWWWWWWW",
           "WKKKKKKKKKKKKKKKKKKKKG",
           "WKSSSSSSSSSSSSSSSSSSKG",
           "WKSKKKKKKKKKKKKKKKKGKG",
           "WKSKLLLLLLLLLLLLLLKGKG",
           "WKSKLLWWWLLLLLLLLLKGKG",
           "WKSKLWWLLLLLLLLLLLKGKG",
           "WKSKLWLLLLLLLLLLLLKGKG",
           "WKSKLLLLLLLLLLLLLLKGKG",
           "WKSKLLLLLLLLLLLLLLKGKG",
           "WKSKKKKKKKKKKKKKKKKGKG",
           "WKGGGGGGGGGGGGGGGGGGKG",
           "WKKKKKKKKKKKKKKKKKKKKG",
           "GGGGGGGGGGGGGGGGGGGGGG",
       }},
  };
  return all;
}

QRgb expectedPixel(char code, TColor lens) {
  switch (code) {
  case 'K':
    return qRgb(0, 0, 0);
  case 'S':
    return qRgb(192, 192, 192);
  case 'G':
    return qRgb(128, 128, 128);
  case 'W':
    return qRgb(255, 255, 255);
  default:
    return toQColor(lens).rgb();
  }
}

// Compares pixel for pixel and names the first difference.
QString differenceTo(const Picture& picture, const QImage& image, TColor lens) {
  const int height = int(picture.rows.size());
  const int width = int(std::strlen(picture.rows.front()));
  if (image.size() != QSize(width, height))
    return QStringLiteral("size %1x%2").arg(image.width()).arg(image.height());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (image.pixel(x, y) != expectedPixel(picture.rows[std::size_t(y)][std::size_t(x)], lens))
        return QStringLiteral("pixel (%1, %2)").arg(x).arg(y);
  return {};
}

} // namespace

class TestLed : public QObject {
  Q_OBJECT

private slots:
  void createdOffSmallAndSilver() {
    TLed led;
    QCOMPARE(led.size(), QSize(16, 16));
    QVERIFY(!led.Value());
    QVERIFY(led.Blink());
    QCOMPARE(led.Interval(), 1000);
    QCOMPARE(led.TrueColor(), clLime);
    QCOMPARE(led.FalseColor(), clSilver);
    QVERIFY(!led.isOnImageShown());
    QVERIFY(led.blinkTimer() == nullptr);
    QCOMPARE(differenceTo(pictures().front(), led.shownImage(), clSilver), QString());
  }

  void everyPictureRecolouredPixelForPixel_data() {
    QTest::addColumn<int>("index");
    for (int i = 0; i < int(pictures().size()); ++i)
      QTest::newRow(pictures()[std::size_t(i)].name) << i;
  }
  void everyPictureRecolouredPixelForPixel() {
    QFETCH(int, index);
    const Picture& picture = pictures()[std::size_t(index)];
    TLed led;
    led.setBlink(false);
    led.setTrueColor(clRed);
    led.setFalseColor(clNavy);
    led.setLEDStyle(picture.style);
    QCOMPARE(led.size(), QSize(int(std::strlen(picture.rows.front())), int(picture.rows.size())));
    QCOMPARE(differenceTo(picture, led.shownImage(), clNavy), QString());
    QCOMPARE(
        differenceTo(picture, led.grab().toImage().convertToFormat(QImage::Format_RGB32), clNavy),
        QString());
    led.setValue(true);
    QVERIFY(led.isOnImageShown());
    QCOMPARE(differenceTo(picture, led.shownImage(), clRed), QString());
    QCOMPARE(
        differenceTo(picture, led.grab().toImage().convertToFormat(QImage::Format_RGB32), clRed),
        QString());
  }

  void pureGreenLeavesTheLensAsDrawn() {
    for (const Picture& picture : pictures()) {
      TLed led;
      led.setBlink(false);
      led.setLEDStyle(picture.style);
      led.setTrueColor(clRed);
      led.setTrueColor(rgbColor(0, 255, 0));
      led.setValue(true);
      QCOMPARE(differenceTo(picture, led.shownImage(), clLime), QString());
      QCOMPARE(led.shownImage(), ledImage(picture.style));
    }
  }

  void twoValueWritesStartOneTimer() {
    TLed led;
    led.setValue(true);
    const QTimer* timer = led.blinkTimer();
    QVERIFY(timer != nullptr);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 1000);
    led.setValue(true);
    QCOMPARE(led.blinkTimer(), timer);
    QCOMPARE(led.findChildren<QTimer*>().size(), 1);
    led.setValue(false);
    QVERIFY(led.blinkTimer() == nullptr);
    QVERIFY(!led.isOnImageShown());
    QCOMPARE(led.findChildren<QTimer*>().size(), 0);
  }

  void blinkingAlternatesAndRaisesOnTimer() {
    TLed led;
    int ticks = 0;
    QObject* sender = nullptr;
    led.setOnTimer([&](QObject* s) {
      ++ticks;
      sender = s;
    });
    led.setInterval(5);
    led.setValue(true);
    QVERIFY(led.isOnImageShown());
    QTRY_VERIFY(!led.isOnImageShown());
    QCOMPARE(sender, static_cast<const QObject*>(led.blinkTimer()));
    QTRY_VERIFY(led.isOnImageShown());
    QVERIFY(ticks >= 2);
  }

  void blinkOffWhileBlinkingStaysOn() {
    for (const bool waitForOffImage : {false, true}) {
      TLed led;
      led.setInterval(5);
      led.setValue(true);
      if (waitForOffImage)
        QTRY_VERIFY(!led.isOnImageShown());
      led.setBlink(false);
      QVERIFY(led.isOnImageShown());
      QVERIFY(led.blinkTimer() == nullptr);
      QVERIFY(led.Value());
      led.setBlink(true);
      QVERIFY(led.blinkTimer() != nullptr);
    }
  }

  void colourChangeRestartsBlinkingOnTheOnImage() {
    TLed led;
    led.setInterval(5);
    led.setValue(true);
    QTRY_VERIFY(!led.isOnImageShown());
    led.setTrueColor(clRed);
    QVERIFY(led.isOnImageShown());
    QVERIFY(led.Blink());
    QVERIFY(led.blinkTimer() != nullptr);
    QCOMPARE(led.shownImage().pixel(8, 8), qRgb(255, 0, 0));
    led.setFalseColor(clBlack);
    QVERIFY(led.isOnImageShown());
    QVERIFY(led.blinkTimer() != nullptr);
  }

  void colourChangeWhileOffKeepsItOff() {
    TLed led;
    led.setFalseColor(clBlack);
    QVERIFY(!led.isOnImageShown());
    QVERIFY(led.blinkTimer() == nullptr);
    QCOMPARE(led.shownImage().pixel(8, 8), qRgb(0, 0, 0));
  }

  void styleChangeResizes() {
    TLed led;
    led.setLEDStyle(TLEDStyle::LEDVertical);
    QCOMPARE(led.size(), QSize(14, 22));
    led.setLEDStyle(TLEDStyle::LEDHorizontal);
    QCOMPARE(led.size(), QSize(22, 14));
    led.setLEDStyle(TLEDStyle::LEDLarge);
    QCOMPARE(led.size(), QSize(22, 22));
  }

  void intervalTakesEffectAtOnce() {
    TLed led;
    led.setValue(true);
    led.setInterval(250);
    QCOMPARE(led.blinkTimer()->interval(), 250);
    QVERIFY(led.blinkTimer()->isActive());
    led.setInterval(0);
    QVERIFY(!led.blinkTimer()->isActive());
    led.setInterval(40);
    QVERIFY(led.blinkTimer()->isActive());
  }

  void mouseEventsNameTheLamp() {
    TLed led;
    QObject* clicked = nullptr;
    QObject* entered = nullptr;
    QObject* left = nullptr;
    led.setOnClick([&](QObject* s) { clicked = s; });
    led.setOnMouseEnter([&](QObject* s) { entered = s; });
    led.setOnMouseLeave([&](QObject* s) { left = s; });
    QTest::mouseClick(&led, Qt::LeftButton, {}, QPoint(4, 4));
    QCOMPARE(clicked, &led);
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QCoreApplication::sendEvent(&led, &enter);
    QCOMPARE(entered, &led);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&led, &leave);
    QCOMPARE(left, &led);
  }
};

QTEST_MAIN(TestLed)
#include "tst_led.moc"
