#include "core/maskedtext.h"

#include <QRandomGenerator>
#include <QTest>

#include <string>

using namespace kelvor;

namespace {

constexpr char kBound[] = "999.9;1;_";
constexpr char kKonstanta[] = "999.999999999;1;_";

// The shape every text of a mask must have: its length, literals in place, data positions
// holding a digit or a blank.
bool hasShape(const EditMask& mask, const std::string& text, const std::string& empty) {
  if (text.size() != mask.length())
    return false;
  for (std::size_t pos = 0; pos < text.size(); ++pos) {
    const bool ok = mask.isLiteral(pos)
                        ? text[pos] == empty[pos]
                        : (text[pos] == ' ' || (text[pos] >= '0' && text[pos] <= '9'));
    if (!ok)
      return false;
  }
  return true;
}

} // namespace

class MaskedTextTest : public QObject {
  Q_OBJECT

private slots:
  void emptyTexts();
  void shape_data();
  void shape();
  void valuesAlignAtThePoint_data();
  void valuesAlignAtThePoint();
  void displayShowsBlanksAsUnderscores();
  void typingFillsPositionsAndStepsOverThePoint();
  void typingRejectsWhatDoesNotFit();
  void typingOverASelection();
  void backspaceAndDelete();
  void requiredDigitsAndEscapedLiterals();
  void everyEditKeepsTheShape();
};

void MaskedTextTest::emptyTexts() {
  const EditMask bound(kBound);
  QCOMPARE(bound.length(), std::size_t{5});
  QCOMPARE(bound.emptyText(), std::string("   . "));
  QCOMPARE(bound.blankChar(), '_');
  QVERIFY(bound.isLiteral(3));
  QVERIFY(!bound.isLiteral(2));

  const EditMask konstanta(kKonstanta);
  QCOMPARE(konstanta.length(), std::size_t{13});
  QCOMPARE(konstanta.emptyText(), std::string("   .         "));

  QCOMPARE(EditMask("99-99;1;*").displayText(""), std::string("**-**"));
  QCOMPARE(EditMask("99-99").displayText(""), std::string("__-__"));
}

void MaskedTextTest::valuesAlignAtThePoint_data() {
  QTest::addColumn<QString>("mask");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("shaped");

  // As earlier versions wrote the calibration constant, and how reading trims it.
  QTest::newRow("trimmed constant") << kKonstanta << "1.000000000"
                                    << "  1.000000000";
  QTest::newRow("quoted constant") << kKonstanta << "  1.000000000"
                                   << "  1.000000000";
  QTest::newRow("short fraction") << kKonstanta << "12.5"
                                  << " 12.5        ";
  QTest::newRow("whole number") << kKonstanta << "3"
                                << "  3.         ";
  QTest::newRow("fraction only") << kKonstanta << ".25"
                                 << "   .25       ";
  QTest::newRow("blanks around") << kBound << "  12.5  "
                                 << " 12.5";
  QTest::newRow("full bound") << kBound << "123.4"
                              << "123.4";
  QTest::newRow("fraction cut at the last position") << kBound << "2.75"
                                                     << "  2.7";
  QTest::newRow("too many whole digits") << kBound << "1234.5"
                                         << "123. ";
  QTest::newRow("not a number") << kBound << "1,5"
                                << "1 5. ";
  QTest::newRow("signed") << kBound << "-1.5"
                          << " 1 . ";
  QTest::newRow("two points") << kBound << "1.2.3"
                              << "1 2.3";
  QTest::newRow("empty") << kBound << ""
                         << "   . ";
  QTest::newRow("point only") << kBound << "."
                              << "   . ";
  QTest::newRow("mask without a point") << "99-99;1;_"
                                        << "12"
                                        << "12-  ";
}

void MaskedTextTest::valuesAlignAtThePoint() {
  QFETCH(QString, mask);
  QFETCH(QString, text);
  QFETCH(QString, shaped);
  const EditMask editMask(mask.toStdString());
  QCOMPARE(QString::fromStdString(editMask.shapeValue(text.toStdString())), shaped);
}

void MaskedTextTest::shape_data() {
  QTest::addColumn<QString>("mask");
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("shaped");

  QTest::newRow("shaped stays") << kBound << "  2.0"
                                << "  2.0";
  QTest::newRow("full") << kBound << "123.4"
                        << "123.4";
  QTest::newRow("empty text") << kBound << ""
                              << "   . ";
  QTest::newRow("designed text") << kBound << "   . "
                                 << "   . ";
  QTest::newRow("shown text") << kBound << "__2._"
                              << "  2. ";
  QTest::newRow("point in a digit place") << kBound << "1.0"
                                          << "1 0. ";
  QTest::newRow("no point") << kBound << "12345"
                            << "123.5";
  QTest::newRow("shorter") << kBound << "5"
                           << "5  . ";
  QTest::newRow("point without decimal") << kBound << "  5."
                                         << "  5. ";
  QTest::newRow("letters dropped") << kBound << "ab1.x"
                                   << "  1. ";
  QTest::newRow("longer") << kBound << "  2.0 and more"
                          << "  2.0";
  QTest::newRow("non-ASCII is one place") << kBound << "ě2"
                                          << " 2 . ";
  QTest::newRow("sign not a digit") << kBound << "-12.5"
                                    << " 12.5";

  QTest::newRow("Konstanta shaped") << kKonstanta << "  1.234567890"
                                    << "  1.234567890";
  QTest::newRow("Konstanta 1.0") << kKonstanta << "1.0"
                                 << "1 0.         ";
  QTest::newRow("Konstanta blanks first") << kKonstanta << "  1.0"
                                          << "  1.0        ";
  QTest::newRow("Konstanta longer") << kKonstanta << "  1.2345678901234"
                                    << "  1.234567890";
  QTest::newRow("Konstanta empty") << kKonstanta << ""
                                   << "   .         ";
}

void MaskedTextTest::shape() {
  QFETCH(QString, mask);
  QFETCH(QString, text);
  QFETCH(QString, shaped);
  QCOMPARE(QString::fromStdString(EditMask(mask.toStdString()).shape(text.toStdString())), shaped);
}

void MaskedTextTest::displayShowsBlanksAsUnderscores() {
  const EditMask bound(kBound);
  QCOMPARE(bound.displayText("  2. "), std::string("__2._"));
  QCOMPARE(bound.displayText("   . "), std::string("___._"));
  QCOMPARE(bound.shape(bound.displayText(" 12.5")), std::string(" 12.5"));
}

void MaskedTextTest::typingFillsPositionsAndStepsOverThePoint() {
  const EditMask bound(kBound);
  std::string text = bound.emptyText();
  std::size_t caret = 0;
  const auto type = [&](char ch) {
    const auto edit = bound.typeCharacter(text, caret, caret, ch);
    QVERIFY(edit.has_value());
    text = edit->text;
    caret = edit->caret;
  };

  type(' ');
  type(' ');
  QCOMPARE(caret, std::size_t{2});
  type('2');
  QCOMPARE(text, std::string("  2. "));
  QCOMPARE(caret, std::size_t{4}); // past the point
  type('5');
  QCOMPARE(text, std::string("  2.5"));
  QCOMPARE(caret, std::size_t{5});
  QVERIFY(!bound.typeCharacter(text, caret, caret, '1').has_value()); // at the end

  // A digit typed on the point goes to the position after it.
  const auto overPoint = bound.typeCharacter("123. ", 3, 3, '7');
  QVERIFY(overPoint.has_value());
  QCOMPARE(overPoint->text, std::string("123.7"));
  QCOMPARE(overPoint->caret, std::size_t{5});

  // The point typed before the point moves the caret past it and changes nothing.
  const auto point = bound.typeCharacter("1  . ", 1, 1, '.');
  QVERIFY(point.has_value());
  QCOMPARE(point->text, std::string("1  . "));
  QCOMPARE(point->caret, std::size_t{4});

  // Overwriting, not inserting.
  const auto over = bound.typeCharacter("123.4", 1, 1, '9');
  QVERIFY(over.has_value());
  QCOMPARE(over->text, std::string("193.4"));
}

void MaskedTextTest::typingRejectsWhatDoesNotFit() {
  const EditMask bound(kBound);
  QVERIFY(!bound.typeCharacter("   . ", 0, 0, 'a').has_value());
  QVERIFY(!bound.typeCharacter("   . ", 0, 0, '-').has_value());
  QVERIFY(!bound.typeCharacter("   . ", 0, 0, '\0').has_value());
  QVERIFY(!bound.typeCharacter("   . ", 4, 4, '.').has_value()); // no point after the caret
  QVERIFY(!bound.typeCharacter("   . ", 9, 9, '1').has_value());
}

void MaskedTextTest::typingOverASelection() {
  const EditMask bound(kBound);
  const auto all = bound.typeCharacter("123.4", 0, 5, '7');
  QVERIFY(all.has_value());
  QCOMPARE(all->text, std::string("7  . "));
  QCOMPARE(all->caret, std::size_t{1});

  const auto reversed = bound.typeCharacter("123.4", 4, 1, '0');
  QVERIFY(reversed.has_value());
  QCOMPARE(reversed->text, std::string("10 .4"));
}

void MaskedTextTest::backspaceAndDelete() {
  const EditMask bound(kBound);
  auto edit = bound.eraseBackward("123.4", 5, 5);
  QCOMPARE(edit.text, std::string("123. "));
  QCOMPARE(edit.caret, std::size_t{4});
  edit = bound.eraseBackward(edit.text, edit.caret, edit.caret); // over the point
  QCOMPARE(edit.text, std::string("12 . "));
  QCOMPARE(edit.caret, std::size_t{2});
  edit = bound.eraseBackward("123.4", 0, 0);
  QCOMPARE(edit.text, std::string("123.4"));
  QCOMPARE(edit.caret, std::size_t{0});
  edit = bound.eraseBackward("123.4", 1, 4);
  QCOMPARE(edit.text, std::string("1  .4"));
  QCOMPARE(edit.caret, std::size_t{1});

  edit = bound.eraseForward("123.4", 0, 0);
  QCOMPARE(edit.text, std::string(" 23.4"));
  QCOMPARE(edit.caret, std::size_t{0});
  edit = bound.eraseForward("123.4", 3, 3); // on the point: the position after it
  QCOMPARE(edit.text, std::string("123. "));
  QCOMPARE(edit.caret, std::size_t{3});
  edit = bound.eraseForward("123.4", 5, 5);
  QCOMPARE(edit.text, std::string("123.4"));
  edit = bound.eraseForward("123.4", 2, 5);
  QCOMPARE(edit.text, std::string("12 . "));

  // A stale selection past the end erases nothing and leaves the caret on the text.
  edit = bound.eraseBackward("123.4", 7, 9);
  QCOMPARE(edit.text, std::string("123.4"));
  QCOMPARE(edit.caret, std::size_t{5});
  edit = bound.eraseForward("123.4", 9, 4);
  QCOMPARE(edit.text, std::string("123. "));
  QCOMPARE(edit.caret, std::size_t{4});
  edit = bound.eraseForward("123.4", 6, 8);
  QCOMPARE(edit.caret, std::size_t{5});
}

void MaskedTextTest::requiredDigitsAndEscapedLiterals() {
  const EditMask mask("00\\9:99;1;#");
  QCOMPARE(mask.emptyText(), std::string("  9:  "));
  QCOMPARE(mask.displayText(""), std::string("##9:##"));
  QVERIFY(!mask.typeCharacter(mask.emptyText(), 0, 0, ' ').has_value());
  QVERIFY(mask.typeCharacter(mask.emptyText(), 4, 4, ' ').has_value());
  const auto nine = mask.typeCharacter(mask.emptyText(), 1, 1, '5');
  QVERIFY(nine.has_value());
  QCOMPARE(nine->caret, std::size_t{4});
}

void MaskedTextTest::everyEditKeepsTheShape() {
  QRandomGenerator random(20261208);
  const std::string alphabet = " 0123456789._-a\xC4\x9B";
  for (const char* maskText : {kBound, kKonstanta}) {
    const EditMask mask(maskText);
    const std::string empty = mask.emptyText();
    std::string text = empty;
    for (int step = 0; step < 5000; ++step) {
      const auto from = static_cast<std::size_t>(random.bounded(int(mask.length()) + 2));
      const auto to = static_cast<std::size_t>(random.bounded(int(mask.length()) + 2));
      const char ch = alphabet[static_cast<std::size_t>(random.bounded(int(alphabet.size())))];
      switch (random.bounded(4)) {
      case 0:
        if (const auto edit = mask.typeCharacter(text, from, to, ch))
          text = edit->text;
        break;
      case 1:
        text = mask.eraseBackward(text, from, to).text;
        break;
      case 2:
        text = mask.eraseForward(text, from, to).text;
        break;
      default:
        text = mask.shape(text + ch);
        break;
      }
      QVERIFY2(hasShape(mask, text, empty), text.c_str());
      QCOMPARE(mask.shape(text), text);
    }
  }
}

QTEST_GUILESS_MAIN(MaskedTextTest)
#include "tst_maskedtext.moc"
