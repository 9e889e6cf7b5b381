#include "widgets/maskedit.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

using namespace kelvor;

class MaskEditTest : public QObject {
  Q_OBJECT

private slots:
  void emptyEditShowsUnderscores();
  void setTextShapesTheText();
  void typingOverwritesAndStepsOverThePoint();
  void backspaceAndDeleteBlankPositions();
  void pasteAndCutKeepTheShape();
  void changesBehindTheEditsBackAreRefused();
};

void MaskEditTest::emptyEditShowsUnderscores() {
  MaskEdit bound("999.9;1;_");
  QCOMPARE(bound.text(), QStringLiteral("   . "));
  QCOMPARE(bound.QLineEdit::text(), QStringLiteral("___._"));
  QCOMPARE(bound.maxLength(), 5);

  MaskEdit konstanta("999.999999999;1;_");
  QCOMPARE(konstanta.text(), QStringLiteral("   .         "));
  QCOMPARE(konstanta.maxLength(), 13);
}

void MaskEditTest::setTextShapesTheText() {
  MaskEdit edit("999.999999999;1;_");
  edit.setText("  1.000000000");
  QCOMPARE(edit.text(), QStringLiteral("  1.000000000"));
  edit.setText("1.0");
  QCOMPARE(edit.text(), QStringLiteral("1 0.         "));
  QCOMPARE(edit.QLineEdit::text(), QStringLiteral("1_0._________"));
  edit.setText("");
  QCOMPARE(edit.text(), QStringLiteral("   .         "));
}

void MaskEditTest::typingOverwritesAndStepsOverThePoint() {
  MaskEdit edit("999.9;1;_");
  edit.setCursorPosition(0);
  QTest::keyClicks(&edit, "  5x.0");
  QCOMPARE(edit.text(), QStringLiteral("  5.0"));
  QCOMPARE(edit.QLineEdit::text(), QStringLiteral("__5.0"));
  QCOMPARE(edit.cursorPosition(), 5);

  edit.setCursorPosition(1);
  QTest::keyClicks(&edit, "12");
  QCOMPARE(edit.text(), QStringLiteral(" 12.0"));
  QCOMPARE(edit.cursorPosition(), 4);

  // Typing over a selection unfills it first.
  edit.setSelection(0, 5);
  QTest::keyClick(&edit, Qt::Key_7);
  QCOMPARE(edit.text(), QStringLiteral("7  . "));
}

void MaskEditTest::backspaceAndDeleteBlankPositions() {
  MaskEdit edit("999.9;1;_");
  edit.setText("123.4");
  edit.setCursorPosition(4);
  QTest::keyClick(&edit, Qt::Key_Backspace);
  QCOMPARE(edit.text(), QStringLiteral("12 .4"));
  QCOMPARE(edit.cursorPosition(), 2);
  QTest::keyClick(&edit, Qt::Key_Home);
  QTest::keyClick(&edit, Qt::Key_Delete);
  QCOMPARE(edit.text(), QStringLiteral(" 2 .4"));
  QCOMPARE(edit.cursorPosition(), 0);
  QTest::keyClick(&edit, Qt::Key_End, Qt::ShiftModifier);
  QTest::keyClick(&edit, Qt::Key_Delete);
  QCOMPARE(edit.text(), QStringLiteral("   . "));
}

void MaskEditTest::pasteAndCutKeepTheShape() {
  MaskEdit edit("999.9;1;_");
  QApplication::clipboard()->setText("42.5");
  if (QApplication::clipboard()->text() != QStringLiteral("42.5"))
    QSKIP("no clipboard on this platform");
  edit.setCursorPosition(1);
  QTest::keySequence(&edit, QKeySequence::Paste);
  QCOMPARE(edit.text(), QStringLiteral(" 42.5"));

  edit.setSelection(1, 2);
  QTest::keySequence(&edit, QKeySequence::Cut);
  QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("42"));
  QCOMPARE(edit.text(), QStringLiteral("   .5"));
}

void MaskEditTest::changesBehindTheEditsBackAreRefused() {
  MaskEdit edit("999.9;1;_");
  edit.setText(" 12.5");
  edit.setCursorPosition(1);
  edit.insert("9"); // what a context-menu paste does
  QCOMPARE(edit.text(), QStringLiteral(" 12.5"));
  edit.selectAll();
  edit.del();
  QCOMPARE(edit.text(), QStringLiteral(" 12.5"));
}

QTEST_MAIN(MaskEditTest)
#include "tst_maskedit.moc"
