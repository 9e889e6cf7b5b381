#include "core/colors.h"

#include <QTest>

using namespace kelvor;

class ColorsTest : public QObject {
  Q_OBJECT

private slots:
  void namesAndNumbersRoundTrip();
  void textsThatAreNoColour();
};

void ColorsTest::namesAndNumbersRoundTrip() {
  QCOMPARE(colorToString(clBlue), std::string("clBlue"));
  QCOMPARE(colorToString(clBtnFace), std::string("clBtnFace"));
  QCOMPARE(colorToString(rgbColor(1, 2, 3)), std::string("$00030201"));
  QCOMPARE(stringToColor("clBlue"), std::optional<TColor>(0xFF0000));
  QCOMPARE(stringToColor("CLLIME"), std::optional<TColor>(clLime));
  QCOMPARE(stringToColor("clbtnface"), std::optional<TColor>(clBtnFace));
  QCOMPARE(stringToColor("$00030201"), std::optional<TColor>(rgbColor(1, 2, 3)));
  QCOMPARE(stringToColor("0x0000FF"), std::optional<TColor>(clRed));
  QCOMPARE(stringToColor("65280"), std::optional<TColor>(clLime));
  for (const TColor color : {clBlack, clWhite, clInfoBk, rgbColor(18, 52, 86), kSystemColor | 0x7F})
    QCOMPARE(stringToColor(colorToString(color)), std::optional<TColor>(color));
  QVERIFY(isSystemColor(clWindow));
  QVERIFY(!isSystemColor(clWhite));
}

void ColorsTest::textsThatAreNoColour() {
  for (const char* text : {"", "$", "0x", "clBlu", "clBlue ", " clBlue", "$1G", "-1", "12a",
                           "4294967296", "$100000000", "clČerná"})
    QVERIFY2(!stringToColor(text).has_value(), text);
}

QTEST_APPLESS_MAIN(ColorsTest)
#include "tst_colors.moc"
