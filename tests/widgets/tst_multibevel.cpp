#include "widgets/multibevel.h"

#include <QTest>

using namespace kelvor;

namespace {

constexpr QRgb kPage = 0xFF0AC81E; // a page colour no frame part uses
const QRgb kGrey = qRgb(171, 171, 171);
const QRgb kBlack = qRgb(0, 0, 0);

QImage pageImage(QSize size, QRgb color = kPage) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(color);
  return image;
}

// The designed setting the four frames of the METERS page share.
void setUpMetersFrame(TMultiBevel& frame) {
  frame.setBevelWidth(5);
  frame.setBorderWidth(5);
  frame.setCaptionPosition(TCaptionPosition::cpTopLeft);
  frame.setColor(clBlack);
  frame.setColorHighlight(rgbColor(171, 171, 171));
  frame.setColorShadow(clBlack);
}

// The smallest rectangle holding every pixel that differs from the background.
QRect changedArea(const QImage& image, QRgb background) {
  QRect area;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != background)
        area |= QRect(x, y, 1, 1);
  return area;
}

int changedPixels(const QImage& image, QRgb background) {
  int changed = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      changed += image.pixel(x, y) != background;
  return changed;
}

} // namespace

class TestMultiBevel : public QObject {
  Q_OBJECT

private slots:
  void createdWithItsDefaults() {
    TMultiBevel frame;
    QCOMPARE(frame.size(), QSize(75, 50));
    QVERIFY(frame.Shape() == TBevelShape::bspRect);
    QCOMPARE(frame.ColorHighlight(), clBtnHighlight);
    QCOMPARE(frame.ColorShadow(), clBtnShadow);
    QCOMPARE(frame.ColorDensity(), 100);
    QCOMPARE(frame.ShadowDensity(), 60);
    QVERIFY(frame.ShadowStyle() == TShadowStyle::ssDithered);
  }

  void blendRoundsHalvesToEven() {
    QCOMPARE(blend(clBlack, clWhite, 33), rgbColor(171, 171, 171));
    QCOMPARE(blend(clBlack, clWhite, 50), rgbColor(128, 128, 128));     // 127.5
    QCOMPARE(blend(rgbColor(1, 0, 0), clBlack, 50), rgbColor(0, 0, 0)); // 0.5
    QCOMPARE(blend(rgbColor(3, 0, 0), clBlack, 50), rgbColor(2, 0, 0)); // 1.5
    QCOMPARE(blend(clRed, clBlue, 100), clRed);
  }

  void derivedColours() {
    TMultiBevel frame;
    frame.setColorHighlight(clRed);
    QCOMPARE(frame.ColorHighlight(), clBtnHighlight);
    frame.setColor(clBlack);
    QCOMPARE(frame.ColorHighlight(), rgbColor(171, 171, 171));
    QCOMPARE(frame.ColorShadow(), clBlack);
    frame.setColor(clWhite);
    QCOMPARE(frame.ColorHighlight(), clWhite);
    QCOMPARE(frame.ColorShadow(), rgbColor(168, 168, 168));
    frame.setColor(clBtnFace);
    QCOMPARE(frame.ColorHighlight(), clBtnHighlight);
    QCOMPARE(frame.ColorShadow(), clBtnShadow);

    frame.setColorFixed(false);
    frame.setColorShadow(clRed);
    frame.setColor(clBlack);
    QCOMPARE(frame.ColorShadow(), clRed);
    frame.setColorFixed(true);
    QCOMPARE(frame.ColorShadow(), clBlack);
  }

  void densitiesAndTransparence() {
    TMultiBevel frame;
    frame.setColorDensity(50);
    QCOMPARE(frame.ShadowDensity(), 30);
    frame.setShadowDensity(10);
    QCOMPARE(frame.ShadowDensity(), 30);
    frame.setDensityDepended(false);
    frame.setShadowDensity(10);
    QCOMPARE(frame.ShadowDensity(), 10);
    frame.setDensityDepended(true);
    QCOMPARE(frame.ShadowDensity(), 30);

    frame.setTransparence(TTransparence::trNone);
    frame.setTransparence(TTransparence::trSemi);
    QCOMPARE(frame.ColorDensity(), 50);
    frame.setColorDensity(70);
    frame.setTransparence(TTransparence::trNone);
    QCOMPARE(frame.ColorDensity(), 100);
    frame.setTransparence(TTransparence::trSemi);
    QCOMPARE(frame.ColorDensity(), 70);

    frame.setShadowed(true);
    frame.setTransparence(TTransparence::trTransparent);
    QCOMPARE(frame.ColorDensity(), 0);
    QVERIFY(!frame.Shadowed());
    frame.setShadowed(true);
    QVERIFY(!frame.Shadowed());
  }

  void transparentDrawsNoBorderAndNoShadow() {
    TMultiBevel frame;
    frame.resize(60, 40);
    frame.setBevelOuter(TBevelStyle::bstNone);
    frame.setBevelInner(TBevelStyle::bstNone);
    frame.setBorderWidth(4);
    frame.setColor(clRed);
    frame.setShadowed(true);
    QImage image = pageImage(frame.size());
    frame.paintFrame(image);
    QVERIFY(changedPixels(image, kPage) > 0);
    frame.setTransparence(TTransparence::trTransparent);
    image = pageImage(frame.size());
    frame.paintFrame(image);
    QCOMPARE(changedPixels(image, kPage), 0);
  }

  void nothingButTheCaptionWithoutBevelsAndBorder() {
    TMultiBevel frame;
    frame.resize(120, 60);
    frame.setBevelOuter(TBevelStyle::bstNone);
    frame.setBevelInner(TBevelStyle::bstNone);
    QImage image = pageImage(frame.size());
    frame.paintFrame(image);
    QCOMPARE(changedPixels(image, kPage), 0);

    frame.setCaption(QStringLiteral("Napětí"));
    frame.setCaptionPosition(TCaptionPosition::cpCenter);
    frame.paintFrame(image);
    QVERIFY(changedPixels(image, kPage) > 0);
    // Depth 0 gives a caption area inset by 2 on every side.
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 120; ++x)
        if (x < 2 || y < 2 || x >= 118 || y >= 58)
          QCOMPARE(image.pixel(x, y), kPage);
  }

  void captionPlacesAndReadsUpward() {
    TMultiBevel frame;
    frame.resize(120, 200);
    frame.setBevelOuter(TBevelStyle::bstNone);
    frame.setBevelInner(TBevelStyle::bstNone);
    frame.setCaptionOutfit(TCaptionOutfit::coNormal);
    frame.setCaption(QStringLiteral("ČAS  [ H:M:S]"));
    const QFontMetrics metrics(frame.font());
    const int textWidth = metrics.horizontalAdvance(frame.Caption());

    QImage image = pageImage(frame.size());
    frame.paintFrame(image);
    QRect drawn = changedArea(image, kPage);
    QVERIFY(drawn.width() > drawn.height());
    QVERIFY(drawn.left() >= 2 && drawn.top() >= 2);
    QVERIFY(drawn.left() < 6);

    frame.setCaptionPosition(TCaptionPosition::cpLeftVertical);
    image = pageImage(frame.size());
    frame.paintFrame(image);
    drawn = changedArea(image, kPage);
    QVERIFY(drawn.height() > drawn.width());
    // Reading upward from y = T + (B - T + w) / 2 in the caption area (2, 2)-(118, 198).
    const int start = 2 + (198 - 2 + textWidth) / 2;
    QVERIFY(drawn.bottom() <= start);
    QVERIFY(drawn.top() >= start - textWidth);
    QVERIFY(drawn.left() >= 2);
  }

  void metersFrameRingsAndBorder() {
    TMultiBevel frame;
    frame.resize(281, 193);
    setUpMetersFrame(frame);
    QImage image = pageImage(frame.size());
    frame.paintFrame(image);
    for (int y = 0; y < 193; ++y)
      for (int x = 0; x < 281; ++x) {
        // Ring index counted from the outside.
        const int i = std::min({x, y, 280 - x, 192 - y});
        const bool topOrLeft = (y == i && x < 280 - i) || (x == i && y < 192 - i);
        QRgb expected = kPage;
        if (i < 5)
          expected = topOrLeft ? kGrey : kBlack; // raised outer bevel
        else if (i < 10)
          expected = kBlack; // border
        else if (i < 15)
          expected = topOrLeft ? kBlack : kGrey; // lowered inner bevel
        if (image.pixel(x, y) != expected)
          QFAIL(qPrintable(QStringLiteral("pixel (%1, %2)").arg(x).arg(y)));
      }
  }

  void negativeShadowOffsetMovesTheBody() {
    TMultiBevel frame;
    frame.resize(40, 30);
    frame.setColor(clBlack);
    frame.setBorderWidth(2);
    frame.setShadowed(true);
    frame.setShadowStyle(TShadowStyle::ssWhite);
    frame.setShadowOffsetX(-3);
    frame.setShadowOffsetY(-3);
    QImage image = pageImage(frame.size());
    frame.paintFrame(image);
    QCOMPARE(image.pixel(0, 0), qRgb(255, 255, 255)); // shadow up and left
    QCOMPARE(image.pixel(3, 3), kGrey);               // outer bevel's corner
    QCOMPARE(image.pixel(39, 29), kBlack);            // outer bevel's far corner
    QCOMPARE(image.pixel(2, 29), kPage);

    frame.setShadowOffsetX(3);
    frame.setShadowOffsetY(3);
    image = pageImage(frame.size());
    frame.paintFrame(image);
    QCOMPARE(image.pixel(0, 0), kGrey);
    QCOMPARE(image.pixel(39, 29), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(36, 26), kBlack);
  }

  void shadowRasterOperations() {
    TMultiBevel frame;
    frame.resize(40, 30);
    frame.setShadowed(true);
    frame.setShadowColor(rgbColor(0x0F, 0xF0, 0x33));
    const QRgb page = qRgb(0x55, 0x55, 0x55);
    for (const auto& [style, expected] :
         {std::pair{TShadowStyle::ssXOR, qRgb(0x5A, 0xA5, 0x66)},
          std::pair{TShadowStyle::ssMask, qRgb(0x05, 0x50, 0x11)},
          std::pair{TShadowStyle::ssNotMerge, qRgb(0xA0, 0x0A, 0x88)},
          std::pair{TShadowStyle::ssMaskNotPen, qRgb(0x50, 0x05, 0x44)},
          std::pair{TShadowStyle::ssNot, qRgb(0xAA, 0xAA, 0xAA)},
          std::pair{TShadowStyle::ssTransparent, page}}) {
      frame.setShadowStyle(style);
      QImage image = pageImage(frame.size(), page);
      frame.paintFrame(image);
      QCOMPARE(image.pixel(39, 29), expected);
    }
  }

  void ditheredShadowBlendsAtShadowDensity() {
    TMultiBevel frame;
    frame.resize(40, 30);
    frame.setShadowed(true);
    QImage image = pageImage(frame.size(), qRgb(255, 255, 255));
    frame.paintFrame(image);
    // 40 % of white and 60 % of grey 128.
    QCOMPARE(image.pixel(39, 29), qRgb(179, 179, 179));

    // A background that is not uniform is blended pixel by pixel.
    image = pageImage(frame.size(), qRgb(255, 255, 255));
    for (int y = 0; y < 30; ++y)
      for (int x = 20; x < 40; ++x)
        image.setPixel(x, y, qRgb(0, 0, 0));
    frame.paintFrame(image);
    QCOMPARE(image.pixel(39, 29), qRgb(77, 77, 77));
    QCOMPARE(image.pixel(10, 29), qRgb(179, 179, 179));
  }

  void semiTransparentBorder() {
    TMultiBevel frame;
    frame.resize(40, 30);
    frame.setColor(clBlack);
    frame.setBorderWidth(3);
    frame.setTransparence(TTransparence::trSemi);
    QImage image = pageImage(frame.size(), qRgb(255, 255, 255));
    frame.paintFrame(image);
    QCOMPARE(image.pixel(1, 1), qRgb(128, 128, 128)); // 127.5, ties to even
    QCOMPARE(image.pixel(3, 3), qRgb(128, 128, 128));

    image = pageImage(frame.size(), qRgb(255, 255, 255));
    for (int y = 0; y < 30; ++y)
      for (int x = 20; x < 40; ++x)
        image.setPixel(x, y, qRgb(100, 0, 200));
    frame.paintFrame(image);
    QCOMPARE(image.pixel(2, 2), qRgb(128, 128, 128));
    QCOMPARE(image.pixel(37, 2), qRgb(50, 0, 100));
    QCOMPARE(image.pixel(20, 20), qRgb(100, 0, 200)); // inside untouched
  }

  void portraitRingsCutTheCorners() {
    TMultiBevel frame;
    frame.resize(60, 50);
    frame.setShape(TBevelShape::bspPortrait);
    frame.setColor(clBlack);
    frame.setBevelInner(TBevelStyle::bstNone);
    frame.setEdgeSize(10);
    QImage image = pageImage(frame.size());
    frame.paintFrame(image);
    QCOMPARE(image.pixel(0, 0), kPage);    // the corner is cut away
    QCOMPARE(image.pixel(0, 25), kGrey);   // left side
    QCOMPARE(image.pixel(30, 0), kGrey);   // top
    QCOMPARE(image.pixel(5, 5), kGrey);    // upper-left cut
    QCOMPARE(image.pixel(59, 25), kBlack); // right side
    QCOMPARE(image.pixel(54, 44), kBlack); // lower-right cut
  }

  void lineShapeDrawsAStripAlongItsEdge() {
    TMultiBevel frame;
    frame.resize(50, 30);
    frame.setShape(TBevelShape::bspBottomLine);
    frame.setColor(clBlack);
    QImage image = pageImage(frame.size());
    frame.paintFrame(image);
    // Depth 2 × BevelWidth along the bottom: a raised ring of one pixel around the strip.
    QCOMPARE(image.pixel(10, 28), kGrey);
    QCOMPARE(image.pixel(10, 29), kBlack);
    QCOMPARE(image.pixel(10, 27), kPage);
    QCOMPARE(image.pixel(0, 0), kPage);
  }

  void paintingOnThePageLeavesTheInsideAlone() {
    QWidget page;
    page.resize(320, 240);
    page.setAutoFillBackground(true);
    QPalette palette = page.palette();
    palette.setColor(QPalette::Window, QColor(kPage));
    page.setPalette(palette);
    // A control placed earlier lies beneath the frame's upper-left corner.
    auto* beneath = new QWidget(&page);
    beneath->setGeometry(20, 10, 50, 50);
    beneath->setAutoFillBackground(true);
    QPalette red = beneath->palette();
    red.setColor(QPalette::Window, Qt::red);
    beneath->setPalette(red);
    auto* frame = new TMultiBevel(&page);
    frame->setGeometry(20, 10, 281, 193);
    QPalette blue = frame->palette();
    blue.setColor(QPalette::Window, Qt::blue);
    frame->setPalette(blue);
    setUpMetersFrame(*frame);
    frame->setColorDensity(50);
    frame->setTransparence(TTransparence::trSemi);
    const QImage shot = page.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shot.pixel(20, 10), kGrey);
    QCOMPARE(shot.pixel(20 + 280, 10 + 192), kBlack);
    // The border blends black over the page colour at the semi density.
    const TColor blended = blend(clBlack, fromQColor(QColor(kPage)), 50);
    QCOMPARE(shot.pixel(20 + 100, 10 + 100), kPage);
    QCOMPARE(shot.pixel(20 + 7, 10 + 70), toQColor(blended).rgb());
    QCOMPARE(shot.pixel(20 + 70, 10 + 7), toQColor(blended).rgb());
    QCOMPARE(shot.pixel(20 + 7, 10 + 30), toQColor(blend(clBlack, clRed, 50)).rgb());
    QCOMPARE(shot.pixel(20 + 30, 10 + 30), qRgb(255, 0, 0));
    const QImage inside =
        page.grab(QRect(60, 60, 100, 80)).toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(changedPixels(inside, kPage), 0);
  }
};

QTEST_MAIN(TestMultiBevel)
#include "tst_multibevel.moc"
