#include "core/textcase.h"

#include <QTest>

using namespace kelvor;

class TextCaseTest : public QObject {
  Q_OBJECT

private slots:
  void foldsAsciiLettersOnly();
  void comparesWholeTextsAndPrefixes();
};

void TextCaseTest::foldsAsciiLettersOnly() {
  QCOMPARE(asciiLower('A'), 'a');
  QCOMPARE(asciiLower('Z'), 'z');
  QCOMPARE(asciiLower('a'), 'a');
  // The neighbours of the letters and bytes of UTF-8 sequences stay as they are.
  QCOMPARE(asciiLower('@'), '@');
  QCOMPARE(asciiLower('['), '[');
  QCOMPARE(asciiLower('\xC4'), '\xC4');
  QCOMPARE(asciiLower('\x8C'), '\x8C');
}

void TextCaseTest::comparesWholeTextsAndPrefixes() {
  QVERIFY(equalIgnoringAsciiCase("Minutes", "MINUTES"));
  QVERIFY(equalIgnoringAsciiCase("", ""));
  QVERIFY(!equalIgnoringAsciiCase("MINUTE", "MINUTES"));
  QVERIFY(!equalIgnoringAsciiCase("MINUTES", "MINUTE"));
  // "Č" and "č" differ in their second byte; only ASCII letters fold.
  QVERIFY(!equalIgnoringAsciiCase("\xC4\x8C", "\xC4\x8D"));
  QVERIFY(!equalIgnoringAsciiCase("[", "{"));
  QVERIFY(startsWithIgnoringAsciiCase("com12", "COM"));
  QVERIFY(startsWithIgnoringAsciiCase("COM", "com"));
  QVERIFY(!startsWithIgnoringAsciiCase("CO", "COM"));
  QVERIFY(!startsWithIgnoringAsciiCase("CUM1", "COM"));
}

QTEST_APPLESS_MAIN(TextCaseTest)
#include "tst_textcase.moc"
