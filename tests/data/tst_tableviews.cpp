#include "data/dbgrid.h"
#include "data/dbnavigator.h"
#include "data/tablemodel.h"
#include "data/timeformat.h"
#include "tests/support/tablefiles.h"
#include "widgets/controlhint.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace kelvor;

namespace {

void appendRecord(MeasurementTable& table, int seconds, const char* minutes, const char* voltage) {
  table.append();
  table.setTime(seconds);
  table.setMinutes(minutes);
  table.setVoltage(voltage);
}

constexpr int kOneFiveSeven = 13 * 3600 + 5 * 60 + 7;

} // namespace

class TestTableViews : public QObject {
  Q_OBJECT

private:
  TableFiles m_files;
  std::filesystem::path newFile() { return m_files.next(); }

private slots:
  void longTimeFormatWithoutZone_data();
  void longTimeFormatWithoutZone();
  void parsesTimeOfDay();
  void modelShowsFieldsAsStored();
  void modelFollowsTableUnlessSuspended();
  void modelEditsThroughTheTable();
  void gridColumnsAndFonts();
  void gridFollowsAndMovesCursor();
  void gridDeletesAfterConfirmation();
  void gridMarksTheCurrentRecord();
  void navigatorButtonsAndHints();
  void navigatorActsOnTable();
  void gridEditsWaitForPostAndCancelDrops();
  void viewsOutliveTable();
};

void TestTableViews::longTimeFormatWithoutZone_data() {
  QTest::addColumn<QLocale>("locale");
  QTest::addColumn<QString>("pattern");
  QTest::addColumn<QString>("separator");
  QTest::addColumn<QString>("text");
  QTest::newRow("C") << QLocale::c() << "HH:mm:ss"
                     << ":"
                     << "13:05:07";
  QTest::newRow("cs") << QLocale(QLocale::Czech) << "H:mm:ss"
                      << ":"
                      << "13:05:07";
  QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << "h:mm:ss AP"
                         << ":"
                         << "1:05:07 PM";
  QTest::newRow("fi") << QLocale(QLocale::Finnish) << "H.mm.ss"
                      << "."
                      << "13.05.07";
  QTest::newRow("zone first") << QLocale(QLocale::Chinese, QLocale::China) << "HH:mm:ss"
                              << ":"
                              << "13:05:07";
}

void TestTableViews::longTimeFormatWithoutZone() {
  QFETCH(QLocale, locale);
  QFETCH(QString, pattern);
  QFETCH(QString, separator);
  QFETCH(QString, text);
  const TimeFormat format(locale);
  QCOMPARE(format.pattern(), pattern);
  QCOMPARE(format.separator(), separator);
  QCOMPARE(format.format(kOneFiveSeven), text);
  QCOMPARE(format.parse(text), std::optional<int>(kOneFiveSeven));
  QCOMPARE(format.amText(), locale.amText());
  QCOMPARE(withoutTimeZone(QStringLiteral("HH 'at' mm t ss")), QStringLiteral("HH 'at' mm ss"));
}

void TestTableViews::parsesTimeOfDay() {
  const TimeFormat czech{QLocale(QLocale::Czech)};
  QCOMPARE(czech.parse(QStringLiteral(" 7:05:00 ")), std::optional<int>(7 * 3600 + 300));
  QCOMPARE(czech.parse(QStringLiteral("7:5")), std::optional<int>(7 * 3600 + 300));
  QCOMPARE(czech.parse(QStringLiteral("00:00:00")), std::optional<int>(0));
  QVERIFY(!czech.parse(QStringLiteral("25:00:00")));
  QVERIFY(!czech.parse(QStringLiteral("abc")));
  QVERIFY(!czech.parse(QString()));
}

void TestTableViews::modelShowsFieldsAsStored() {
  MeasurementTable table;
  table.open(newFile());
  appendRecord(table, kOneFiveSeven, "   6.0", " 1.250");
  table.post();
  table.append();
  table.setVoltage("  0.5");
  table.post();
  TableModel model(table);
  model.setTimeFormat(TimeFormat(QLocale(QLocale::English, QLocale::UnitedStates)));
  QCOMPARE(model.rowCount(), 2);
  QCOMPARE(model.columnCount(), 3);
  QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("TIME"));
  QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("MINUTES"));
  QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("VOLTAGE"));
  QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("1:05:07 PM"));
  QCOMPARE(model.data(model.index(0, 1)).toString(), QStringLiteral("   6.0"));
  QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral(" 1.250"));
  QCOMPARE(model.data(model.index(1, 0)).toString(), QString());
  QCOMPARE(model.data(model.index(1, 2)).toString(), QStringLiteral("  0.5"));
  QCOMPARE(model.data(model.index(1, 1), Qt::TextAlignmentRole).value<Qt::Alignment>(),
           Qt::Alignment(Qt::AlignCenter));
  QVERIFY(model.flags(model.index(0, 1)).testFlag(Qt::ItemIsEditable));
  table.first();
  QCOMPARE(fieldAsString(table, Field::Time, TimeFormat(QLocale(QLocale::Czech))),
           QStringLiteral("13:05:07"));
  QCOMPARE(fieldAsString(table, Field::Minutes, model.timeFormat()), QStringLiteral("   6.0"));
}

void TestTableViews::modelFollowsTableUnlessSuspended() {
  MeasurementTable table;
  table.open(newFile());
  TableModel model(table);
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  QSignalSpy current(&model, &TableModel::currentRowChanged);
  appendRecord(table, 1, "0.0", "1.000");
  QCOMPARE(model.rowCount(), 1); // the record being appended is shown
  QCOMPARE(model.currentRow(), 0);
  QCOMPARE(inserted.count(), 1);

  table.disableControls();
  for (int i = 1; i <= 100; ++i)
    appendRecord(table, i, "0.1", "1.000");
  table.first();
  QCOMPARE(model.rowCount(), 1);
  QCOMPARE(inserted.count(), 1);
  table.enableControls();
  QCOMPARE(model.rowCount(), 101);
  QCOMPARE(inserted.count(), 2);
  QCOMPARE(model.currentRow(), 0);

  // Deleted while suspended: rows the model still shows read as empty, never out of range.
  table.disableControls();
  table.last();
  while (!table.bof()) {
    table.prior();
    table.deleteCurrent();
  }
  QCOMPARE(model.data(model.index(50, 1)).toString(), QString());
  table.enableControls();
  QCOMPARE(model.rowCount(), 0);
  QCOMPARE(model.currentRow(), -1);
  QCOMPARE(current.last().at(0).toInt(), -1);
}

void TestTableViews::modelEditsThroughTheTable() {
  const auto file = newFile();
  MeasurementTable table;
  table.open(file);
  appendRecord(table, 0, "   0.0", " 1.000");
  appendRecord(table, 6, "   0.1", " 1.001");
  table.first();
  TableModel model(table);
  model.setTimeFormat(TimeFormat(QLocale(QLocale::Czech)));
  QSignalSpy errors(&model, &TableModel::errorOccurred);
  const auto storedRecord = [&file](int row) {
    MeasurementTable reader;
    reader.open(file);
    return reader.record(row);
  };

  // An edited cell waits in the edit buffer; the grid shows it, the file does not have it.
  QVERIFY(model.setData(model.index(1, 2), QStringLiteral("  9.999")));
  QCOMPARE(table.state(), TableState::Edit);
  QCOMPARE(table.recNo(), 1);
  QCOMPARE(model.data(model.index(1, 2)).toString(), QStringLiteral("  9.999"));
  QCOMPARE(storedRecord(1).voltage, std::string(" 1.001"));
  QVERIFY(model.setData(model.index(1, 0), QStringLiteral("8:30:00")));
  QVERIFY(!model.setData(model.index(1, 0), QStringLiteral("8:3x")));
  QCOMPARE(errors.count(), 1);
  QCOMPARE(errors.at(0).at(0).toString(), QStringLiteral("'8:3x' is not a valid time"));
  // A bad cell keeps the changes made before it.
  QCOMPARE(table.state(), TableState::Edit);
  QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("8:30:00"));

  // Cancel drops the whole change.
  table.cancel();
  QCOMPARE(table.state(), TableState::Browse);
  QCOMPARE(model.data(model.index(1, 2)).toString(), QStringLiteral(" 1.001"));
  QCOMPARE(storedRecord(1), (MeasurementRecord{6, "   0.1", " 1.001"}));

  // A move to another record stores it.
  QVERIFY(model.setData(model.index(1, 2), QStringLiteral("  9.999")));
  table.first();
  QCOMPARE(storedRecord(1).voltage, std::string("  9.999"));

  // So does the next append; a failed first cell leaves no edit behind.
  QVERIFY(!model.setData(model.index(0, 0), QStringLiteral("x")));
  QCOMPARE(table.state(), TableState::Browse);
  QVERIFY(model.setData(model.index(0, 1), QStringLiteral("   7.5")));
  appendRecord(table, 12, "   0.2", " 1.002");
  QCOMPARE(storedRecord(0).minutes, std::string("   7.5"));

  // In a record being appended the cells wait for post.
  QVERIFY(model.setData(model.index(2, 1), QStringLiteral("   0.3")));
  QCOMPARE(table.state(), TableState::Insert);
  table.post();
  QCOMPARE(table.recordCount(), 3);
  QCOMPARE(storedRecord(2).minutes, std::string("   0.3"));
}

void TestTableViews::gridColumnsAndFonts() {
  MeasurementTable table;
  table.open(newFile());
  TableModel model(table);
  DBGrid grid;
  grid.setDataSource(&model);
  QCOMPARE(grid.objectName(), QStringLiteral("DBGrid1"));
  QCOMPARE(grid.font().family(), QStringLiteral("MS Sans Serif"));
  QCOMPARE(grid.font().pixelSize(), 19);
  QCOMPARE(grid.columnWidth(0), 121);
  QCOMPARE(grid.columnWidth(1), DBGrid::fieldDefaultWidth(grid.fontMetrics(), 12));
  QVERIFY(grid.columnWidth(1) > 12 * 5);
  QCOMPARE(grid.columnWidth(2), 147);
  QVERIFY(!grid.horizontalHeader()->isHidden());
  QVERIFY(!grid.verticalHeader()->isHidden()); // the record indicator column
  QCOMPARE(grid.horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
  QVERIFY(grid.showGrid());
  QVERIFY(grid.tabKeyNavigation());
  QVERIFY(grid.editTriggers().testFlag(QAbstractItemView::AnyKeyPressed));
  grid.setScale(1.5);
  // As the window's controls: halves go to the even neighbour.
  QCOMPARE(grid.columnWidth(0), 182); // 181.5
  QCOMPARE(grid.columnWidth(2), 220); // 220.5
}

void TestTableViews::gridFollowsAndMovesCursor() {
  MeasurementTable table;
  table.open(newFile());
  for (int i = 0; i < 50; ++i)
    appendRecord(table, i, "1.0", "1.000");
  table.first();
  TableModel model(table);
  DBGrid grid;
  grid.setDataSource(&model);
  grid.resize(400, 300);
  grid.show();
  QVERIFY(QTest::qWaitForWindowExposed(&grid));
  QCOMPARE(grid.currentRecord(), 0);
  table.last();
  QCOMPARE(grid.currentRecord(), 49);
  QVERIFY(grid.verticalScrollBar()->value() > 0);

  const QRect cell = grid.visualRect(grid.indexOfRecord(48, 1));
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
  QCOMPARE(table.recNo(), 48);
  // Rows removed by a deletion do not move the table's cursor on their own.
  table.deleteCurrent();
  QCOMPARE(table.recNo(), 48);
  QCOMPARE(grid.currentRecord(), 48);
  table.last();
  table.deleteCurrent();
  QCOMPARE(table.recNo(), 47);
  QVERIFY(table.eof());
  QCOMPARE(grid.currentRecord(), 47);
}

// The indicator column marks the current record: an arrow in browse, an I-beam in edit, a
// star in insert; no other row carries a mark.
void TestTableViews::gridMarksTheCurrentRecord() {
  MeasurementTable table;
  table.open(newFile());
  for (int i = 0; i < 3; ++i)
    appendRecord(table, i, "1.0", "1.000");
  table.first();
  table.next();
  TableModel model(table);
  DBGrid grid;
  grid.setDataSource(&model);
  grid.resize(400, 300);
  grid.show();
  QVERIFY(QTest::qWaitForWindowExposed(&grid));
  // Dark pixels in a row's indicator cell: the arrow, the I-beam and the star differ in ink.
  const auto inkOfRow = [&grid](int row) {
    const QImage image = grid.verticalHeader()->viewport()->grab().toImage();
    int dark = 0;
    for (int y = 0; y < grid.verticalHeader()->sectionSize(row); ++y)
      for (int x = 0; x < image.width(); ++x)
        dark += qGray(image.pixel(x, grid.verticalHeader()->sectionViewportPosition(row) + y)) < 96;
    return dark;
  };
  QTRY_VERIFY(inkOfRow(1) > 4);
  QVERIFY(inkOfRow(0) == 0 && inkOfRow(2) == 0);
  const int arrow = inkOfRow(1);
  table.edit();
  QTRY_VERIFY(inkOfRow(1) > 4 && inkOfRow(1) != arrow);
  table.cancel();
  table.append();
  QTRY_VERIFY(inkOfRow(3) > 4 && inkOfRow(1) == 0);
}

void TestTableViews::gridDeletesAfterConfirmation() {
  MeasurementTable table;
  table.open(newFile());
  for (int i = 0; i < 3; ++i)
    appendRecord(table, i, "1.0", "1.000");
  table.first();
  TableModel model(table);
  DBGrid grid;
  grid.setDataSource(&model);
  bool answer = false;
  int asked = 0;
  grid.setConfirmation([&](QWidget*) {
    ++asked;
    return answer;
  });
  QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
  QCOMPARE(asked, 1);
  QCOMPARE(table.recordCount(), 3);
  answer = true;
  QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
  QCOMPARE(asked, 2);
  QCOMPARE(table.recordCount(), 2);
  QCOMPARE(model.rowCount(), 2);
}

void TestTableViews::navigatorButtonsAndHints() {
  DBNavigator navigator;
  navigator.resize(490, 25);
  navigator.show();
  QVERIFY(QTest::qWaitForWindowExposed(&navigator));
  const QStringList names{"nbFirst",  "nbPrior", "nbNext", "nbLast",   "nbInsert",
                          "nbDelete", "nbEdit",  "nbPost", "nbCancel", "nbRefresh"};
  const QList<QToolButton*> buttons = navigator.findChildren<QToolButton*>();
  QCOMPARE(buttons.size(), DBNavigator::kButtonCount);
  for (int i = 0; i < DBNavigator::kButtonCount; ++i) {
    const QToolButton* button = navigator.button(static_cast<DBNavigator::Button>(i));
    QCOMPARE(button->objectName(), names[i]);
    QCOMPARE(button->geometry(), QRect(i * 49, 0, 49, 25));
    QCOMPARE(hintOf(button), DBNavigator::hint(static_cast<DBNavigator::Button>(i)));
    QVERIFY(button->toolTip().isEmpty());
    QVERIFY(!button->icon().isNull());
    QVERIFY(!button->isEnabled()); // no data source yet
  }
  QCOMPARE(hintOf(navigator.button(DBNavigator::Button::First)),
           QStringLiteral("Skok  na  první  záznam  v  tabulce"));
  QCOMPARE(hintOf(navigator.button(DBNavigator::Button::Prior)),
           QStringLiteral("Skok  na  předcházející  záznam  v  tabulce"));
  QCOMPARE(hintOf(navigator.button(DBNavigator::Button::Delete)),
           QStringLiteral("Vymazání  aktuálního  záznamu  z  tabulky"));
  QCOMPARE(hintOf(navigator.button(DBNavigator::Button::Post)),
           QStringLiteral("Odeslání  aktuálního  záznamu"));
  QCOMPARE(hintOf(navigator.button(DBNavigator::Button::Refresh)),
           QStringLiteral("Obnovení  dat  v  tabulce"));
}

void TestTableViews::gridEditsWaitForPostAndCancelDrops() {
  using Button = DBNavigator::Button;
  const auto file = newFile();
  MeasurementTable table;
  table.open(file);
  appendRecord(table, 0, "   0.0", " 1.000");
  appendRecord(table, 6, "   0.1", " 1.001");
  table.first();
  TableModel model(table);
  QWidget page;
  DBGrid grid(&page);
  grid.setGeometry(0, 0, 593, 321);
  grid.setDataSource(&model);
  DBNavigator navigator(&page);
  navigator.setGeometry(0, 330, 490, 25);
  navigator.setDataSource(&model);
  page.resize(600, 360);
  page.show();
  QApplication::setActiveWindow(&page);
  QVERIFY(QTest::qWaitForWindowExposed(&page));
  grid.setFocus();
  const auto storedVoltage = [&file](int row) {
    MeasurementTable reader;
    reader.open(file);
    return reader.record(row).voltage;
  };
  // Types a new voltage into the current record's cell, as an operator does.
  const auto typeVoltage = [&](const char* text) {
    grid.setCurrentIndex(grid.indexOfRecord(table.recNo(), 2));
    QTest::keyClick(&grid, Qt::Key_F2);
    QWidget* editor = QApplication::focusWidget();
    QVERIFY(editor != nullptr && editor != &grid);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, QString::fromLatin1(text));
    QTest::keyClick(editor, Qt::Key_Return);
    // The delegate stores the editor's text once the key press is done.
    QCoreApplication::processEvents();
  };

  typeVoltage("5.5");
  QCOMPARE(table.state(), TableState::Edit);
  QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral("5.5"));
  QCOMPARE(storedVoltage(0), std::string(" 1.000"));
  QVERIFY(navigator.button(Button::Post)->isEnabled());
  QVERIFY(navigator.button(Button::Cancel)->isEnabled());
  navigator.button(Button::Cancel)->click();
  QCOMPARE(table.state(), TableState::Browse);
  QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral(" 1.000"));

  typeVoltage("6.6");
  QTest::keyClick(&grid, Qt::Key_Escape);
  QCOMPARE(table.state(), TableState::Browse);
  QCOMPARE(table.voltage(), std::string(" 1.000"));
  QCOMPARE(storedVoltage(0), std::string(" 1.000"));

  typeVoltage("7.7");
  navigator.button(Button::Post)->click();
  QCOMPARE(table.state(), TableState::Browse);
  QCOMPARE(storedVoltage(0), std::string("7.7"));

  // Moving down in the grid stores the edit.
  typeVoltage("8.8");
  QTest::keyClick(&grid, Qt::Key_Down);
  QCOMPARE(table.recNo(), 1);
  QCOMPARE(storedVoltage(0), std::string("8.8"));
}

void TestTableViews::navigatorActsOnTable() {
  using Button = DBNavigator::Button;
  MeasurementTable table;
  table.open(newFile());
  TableModel model(table);
  DBNavigator navigator;
  navigator.setDataSource(&model);
  const auto enabled = [&](Button which) { return navigator.button(which)->isEnabled(); };

  // Empty table: only insert and refresh make sense.
  QVERIFY(!enabled(Button::First) && !enabled(Button::Next) && !enabled(Button::Delete));
  QVERIFY(enabled(Button::Insert) && enabled(Button::Refresh) && !enabled(Button::Post));

  navigator.button(Button::Insert)->click();
  QCOMPARE(table.state(), TableState::Insert);
  QVERIFY(enabled(Button::Post) && enabled(Button::Cancel) && !enabled(Button::Edit));
  table.setMinutes("   1.0");
  navigator.button(Button::Post)->click();
  QCOMPARE(table.recordCount(), 1);
  QVERIFY(!enabled(Button::Post) && enabled(Button::Edit) && enabled(Button::Delete));

  for (int i = 2; i <= 3; ++i)
    appendRecord(table, i, "   2.0", " 1.000");
  navigator.button(Button::First)->click();
  QCOMPARE(table.recordCount(), 3);
  QVERIFY(!enabled(Button::First) && !enabled(Button::Prior));
  QVERIFY(enabled(Button::Next) && enabled(Button::Last));
  navigator.button(Button::Next)->click();
  QCOMPARE(table.recNo(), 1);
  navigator.button(Button::Last)->click();
  QVERIFY(!enabled(Button::Next) && !enabled(Button::Last) && enabled(Button::Prior));
  navigator.button(Button::Prior)->click();
  QCOMPARE(table.recNo(), 1);
  // The ends disable their buttons before a move has tried to pass them.
  navigator.button(Button::Prior)->click();
  QVERIFY(!table.bof() && !enabled(Button::First) && !enabled(Button::Prior));
  navigator.button(Button::Next)->click();
  navigator.button(Button::Next)->click();
  QVERIFY(!table.eof() && !enabled(Button::Next) && !enabled(Button::Last));
  navigator.button(Button::Prior)->click();

  navigator.button(Button::Edit)->click();
  table.setMinutes("changed");
  navigator.button(Button::Cancel)->click();
  QCOMPARE(table.minutes(), std::string("   2.0"));

  int asked = 0;
  bool answer = false;
  navigator.setConfirmation([&](QWidget*) {
    ++asked;
    return answer;
  });
  navigator.button(Button::Delete)->click();
  QCOMPARE(table.recordCount(), 3);
  answer = true;
  navigator.button(Button::Delete)->click();
  QCOMPARE(asked, 2);
  QCOMPARE(table.recordCount(), 2);

  navigator.button(Button::Refresh)->click();
  QCOMPARE(table.recordCount(), 2);
  QCOMPARE(table.recNo(), 1);
}

void TestTableViews::viewsOutliveTable() {
  // A window destroys its member table before the child widgets bound to it.
  auto table = std::make_unique<MeasurementTable>();
  table->open(newFile());
  for (int i = 0; i < 3; ++i)
    appendRecord(*table, i, "1.0", "1.000");
  TableModel model(*table);
  DBGrid grid;
  grid.setDataSource(&model);
  DBNavigator navigator;
  navigator.setDataSource(&model);
  grid.show();
  QVERIFY(QTest::qWaitForWindowExposed(&grid));
  int asked = 0;
  navigator.setConfirmation([&](QWidget*) { return ++asked > 0; });
  grid.setConfirmation([&](QWidget*) { return ++asked > 0; });
  QVERIFY(navigator.button(DBNavigator::Button::Prior)->isEnabled());

  table.reset();
  QVERIFY(!model.hasTable());
  QCOMPARE(model.rowCount(), 0);
  for (int i = 0; i < DBNavigator::kButtonCount; ++i)
    QVERIFY(!navigator.button(static_cast<DBNavigator::Button>(i))->isEnabled());
  navigator.perform(DBNavigator::Button::Delete);
  QVERIFY(!grid.deleteCurrentRecord());
  QCOMPARE(asked, 0);
  QVERIFY(!model.perform([](MeasurementTable& gone) { gone.first(); }));
  grid.repaint();
}

QTEST_MAIN(TestTableViews)
#include "tst_tableviews.moc"
