#include "data/dbgrid.h"
#include "data/gridwindow.h"
#include "data/tablemodel.h"
#include "tests/support/tablefiles.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <algorithm>
#include <memory>
#include <string>

using namespace kelvor;

namespace {

std::string voltageOf(int record) {
  return " " + std::to_string(record);
}

void fill(MeasurementTable& table, int records) {
  MeasurementTable::Batch batch(table);
  for (int n = 0; n < records; ++n) {
    table.append();
    table.setTime(n % kSecondsPerDay);
    table.setMinutes("   0.0");
    table.setVoltage(voltageOf(n));
  }
  batch.commit();
  table.first();
}

// An in-place editor is open while one of the grid's line edits is on screen.
bool editorOpen(const DBGrid& grid) {
  const QList<QLineEdit*> editors = grid.findChildren<QLineEdit*>();
  return std::any_of(editors.begin(), editors.end(),
                     [](const QLineEdit* editor) { return editor->isVisible(); });
}

QString shownVoltage(const QAbstractItemModel& model, int row) {
  return model.index(row, TableModel::columnOfField(Field::Voltage)).data().toString();
}

// A grid on a table of `records` records, shown at the main window's size with the focus.
struct ShownGrid {
  explicit ShownGrid(const std::filesystem::path& file, int records) {
    table.open(file);
    fill(table, records);
    grid.setGeometry(0, 0, 593, 321);
    grid.setDataSource(&model);
    page.resize(600, 330);
    page.show();
    QApplication::setActiveWindow(&page);
    grid.setFocus();
  }

  bool exposed() { return QTest::qWaitForWindowExposed(&page); }
  // The current cell lies whole inside the viewport and belongs to the table's current record.
  bool currentCellShownWhole() const {
    const QRect cell = grid.visualRect(grid.currentIndex());
    return grid.currentRecord() == table.recNo() && grid.viewport()->rect().contains(cell);
  }
  std::string storedVoltage(int record) const {
    MeasurementTable reader;
    reader.open(table.fileName());
    return reader.record(record).voltage;
  }

  MeasurementTable table;
  TableModel model{table};
  QWidget page;
  DBGrid grid{&page};
};

} // namespace

class TestGridWindow : public QObject {
  Q_OBJECT

private:
  TableFiles m_files;
  std::filesystem::path newFile() { return m_files.next(); }

private slots:
  void windowMapsRowsToRecords();
  void windowFollowsRecordsComingAndGoing();
  void gridHoldsOnlyItsRowsOverManyRecords();
  void keysMoveOverRecordsNotRows();
  void scrollingNeverLeavesACellOnAnotherRecord();
  void editStoredIntoItsOwnRecordWhenTheWindowMoves();
  void gridOutlivesItsDataSource();
};

void TestGridWindow::windowMapsRowsToRecords() {
  MeasurementTable table;
  table.open(newFile());
  fill(table, 100);
  TableModel model(table);
  GridWindow window;
  window.setSource(&model);
  window.setCapacity(10, 11);
  QCOMPARE(window.rowCount(), 11);
  QCOMPARE(window.columnCount(), kFieldCount);
  QCOMPARE(window.lastTop(), 90);
  QCOMPARE(shownVoltage(window, 0), QString::fromStdString(voltageOf(0)));

  window.setTop(50);
  QCOMPARE(window.top(), 50);
  QCOMPARE(shownVoltage(window, 0), QString::fromStdString(voltageOf(50)));
  QCOMPARE(shownVoltage(window, 10), QString::fromStdString(voltageOf(60)));
  QCOMPARE(window.rowOfRecord(60), 10);
  QCOMPARE(window.rowOfRecord(61), -1);
  QCOMPARE(window.rowOfRecord(49), -1);
  // The least move that shows a record whole: the partly shown row does not count.
  QCOMPARE(window.topShowing(55), 50);
  QCOMPARE(window.topShowing(60), 51);
  QCOMPARE(window.topShowing(20), 20);

  // At the end the window holds no row past the last record.
  window.setTop(1000);
  QCOMPARE(window.top(), 90);
  QCOMPARE(window.rowCount(), 10);
  QCOMPARE(shownVoltage(window, 9), QString::fromStdString(voltageOf(99)));
  window.setTop(-5);
  QCOMPARE(window.top(), 0);

  // An edit goes to the record under the row, wherever the window stands.
  window.setTop(30);
  QVERIFY(window.setData(window.index(2, TableModel::columnOfField(Field::Voltage)),
                         QStringLiteral("edited")));
  QCOMPARE(table.recNo(), 32);
  QCOMPARE(table.voltage(), std::string("edited"));
  QCOMPARE(shownVoltage(window, 2), QStringLiteral("edited"));
}

void TestGridWindow::windowFollowsRecordsComingAndGoing() {
  MeasurementTable table;
  table.open(newFile());
  fill(table, 3);
  TableModel model(table);
  GridWindow window;
  window.setSource(&model);
  window.setCapacity(10, 11);
  QCOMPARE(window.rowCount(), 3);

  // The record being appended is a row of its own below the last one.
  table.last();
  table.append();
  QCOMPARE(window.rowCount(), 4);
  table.setVoltage("appended");
  QCOMPARE(shownVoltage(window, 3), QStringLiteral("appended"));
  table.post();
  for (int n = 4; n < 40; ++n) {
    table.append();
    table.setVoltage(voltageOf(n));
  }
  table.post();
  QCOMPARE(window.rowCount(), 11);
  window.setTop(window.lastTop());
  QCOMPARE(window.top(), 30);

  // Records deleted at the end pull the window up; those above it keep it where it is.
  table.last();
  for (int n = 0; n < 5; ++n)
    table.deleteCurrent();
  QCOMPARE(window.top(), 25);
  QCOMPARE(shownVoltage(window, 9), QString::fromStdString(voltageOf(34)));
  table.first();
  table.deleteCurrent();
  QCOMPARE(window.top(), 24);
  QCOMPARE(shownVoltage(window, 0), QString::fromStdString(voltageOf(25)));

  // A smaller grid holds fewer rows; an emptied table none.
  window.setCapacity(4, 4);
  QCOMPARE(window.rowCount(), 4);
  {
    MeasurementTable::ViewSuspension suspended(table);
    while (!table.isEmpty())
      table.deleteCurrent();
  }
  QCOMPARE(window.rowCount(), 0);
  QCOMPARE(window.top(), 0);
}

void TestGridWindow::gridHoldsOnlyItsRowsOverManyRecords() {
  constexpr int kRecords = 100000;
  ShownGrid shown(newFile(), kRecords);
  QVERIFY(shown.exposed());
  DBGrid& grid = shown.grid;
  const int rows = grid.model()->rowCount();
  QVERIFY2(rows >= 10 && rows <= 20, qPrintable(QString::number(rows)));
  QCOMPARE(grid.verticalHeader()->count(), rows);
  QScrollBar* bar = grid.verticalScrollBar();
  QVERIFY(bar->isVisible());
  QCOMPARE(bar->maximum(), kRecords - bar->pageStep());
  QVERIFY(bar->pageStep() == rows || bar->pageStep() == rows - 1);
  QVERIFY(shown.currentCellShownWhole());

  shown.table.last();
  QCOMPARE(grid.currentRecord(), kRecords - 1);
  QCOMPARE(bar->value(), bar->maximum());
  QVERIFY(shown.currentCellShownWhole());

  // A stored reading, as the measuring cycle appends it, shows at the bottom of the grid.
  shown.table.disableControls();
  shown.table.append();
  shown.table.setVoltage("new");
  shown.table.enableControls();
  QCOMPARE(grid.currentRecord(), kRecords);
  QVERIFY(shown.currentCellShownWhole());
  QCOMPARE(grid.currentIndex().data().toString(), QString());
  QCOMPARE(grid.indexOfRecord(kRecords, 2).data().toString(), QStringLiteral("new"));
  QCOMPARE(bar->maximum(), kRecords + 1 - bar->pageStep());
  QCOMPARE(bar->value(), bar->maximum());
  QCOMPARE(grid.verticalHeader()->count(), grid.model()->rowCount());
  QVERIFY(grid.model()->rowCount() <= 20);

  // Dragging the bar to the middle shows the records there.
  bar->setValue(kRecords / 2);
  QCOMPARE(grid.indexOfRecord(kRecords / 2, 2).data().toString(),
           QString::fromStdString(voltageOf(kRecords / 2)));
  QCOMPARE(grid.model()->index(0, 2).data().toString(),
           QString::fromStdString(voltageOf(kRecords / 2)));
}

void TestGridWindow::keysMoveOverRecordsNotRows() {
  ShownGrid shown(newFile(), 1000);
  QVERIFY(shown.exposed());
  DBGrid& grid = shown.grid;
  MeasurementTable& table = shown.table;
  const int page = grid.verticalScrollBar()->pageStep();
  QVERIFY(page > 1);

  QTest::keyClick(&grid, Qt::Key_PageDown);
  QCOMPARE(table.recNo(), page);
  QVERIFY(shown.currentCellShownWhole());
  for (int n = 0; n < 3 * page; ++n)
    QTest::keyClick(&grid, Qt::Key_Down);
  QCOMPARE(table.recNo(), 4 * page);
  QVERIFY(shown.currentCellShownWhole());
  QTest::keyClick(&grid, Qt::Key_PageUp);
  QCOMPARE(table.recNo(), 3 * page);
  QVERIFY(shown.currentCellShownWhole());

  QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
  QCOMPARE(table.recNo(), 999);
  QVERIFY(shown.currentCellShownWhole());
  QTest::keyClick(&grid, Qt::Key_Down);
  QCOMPARE(table.recNo(), 999);
  QCOMPARE(table.state(), TableState::Browse);
  QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier);
  QCOMPARE(table.recNo(), 0);
  QVERIFY(shown.currentCellShownWhole());
  QTest::keyClick(&grid, Qt::Key_Up);
  QCOMPARE(table.recNo(), 0);

  // Tab walks the cells and goes on to the next record, also past the window's last row.
  grid.setCurrentIndex(grid.indexOfRecord(page - 1, 0));
  QCOMPARE(table.recNo(), page - 1);
  for (int n = 0; n < kFieldCount; ++n)
    QTest::keyClick(&grid, Qt::Key_Tab);
  QCOMPARE(table.recNo(), page);
  QCOMPARE(grid.currentIndex().column(), 0);
  QVERIFY(shown.currentCellShownWhole());
  QTest::keyClick(&grid, Qt::Key_Backtab);
  QCOMPARE(table.recNo(), page - 1);
  QCOMPARE(grid.currentIndex().column(), kFieldCount - 1);
  QTest::keyClick(&grid, Qt::Key_Home);
  QCOMPARE(grid.currentIndex().column(), 0);
  QCOMPARE(table.recNo(), page - 1);
}

void TestGridWindow::scrollingNeverLeavesACellOnAnotherRecord() {
  ShownGrid shown(newFile(), 1000);
  QVERIFY(shown.exposed());
  DBGrid& grid = shown.grid;
  MeasurementTable& table = shown.table;
  const QPoint inside = grid.viewport()->rect().center();
  QWheelEvent wheel(inside, grid.viewport()->mapToGlobal(inside), QPoint(), QPoint(0, -120 * 10),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  // A wheel turn scrolls at most a page.
  QApplication::sendEvent(grid.viewport(), &wheel);
  QApplication::sendEvent(grid.viewport(), &wheel);
  QVERIFY(grid.verticalScrollBar()->value() > grid.verticalScrollBar()->pageStep());
  // The wheel scrolls the grid, not the table's cursor, and no cell stands for the record.
  QCOMPARE(table.recNo(), 0);
  QVERIFY(!grid.currentIndex().isValid());
  QCOMPARE(grid.currentRecord(), -1);

  // Typing starts no edit of whatever record the old current row shows now.
  QTest::keyClicks(&grid, QStringLiteral("77"));
  QCOMPARE(table.state(), TableState::Browse);
  QVERIFY(!editorOpen(grid));
  for (int record = 0; record < 40; ++record)
    QCOMPARE(table.record(record).voltage, voltageOf(record));

  // A key brings the current record back into view first.
  QTest::keyClick(&grid, Qt::Key_Down);
  QCOMPARE(table.recNo(), 1);
  QVERIFY(shown.currentCellShownWhole());
}

void TestGridWindow::editStoredIntoItsOwnRecordWhenTheWindowMoves() {
  ShownGrid shown(newFile(), 200);
  QVERIFY(shown.exposed());
  DBGrid& grid = shown.grid;
  MeasurementTable& table = shown.table;
  const int lastWhole = grid.verticalScrollBar()->pageStep() - 1;
  const auto typeWithoutEnter = [&](int record, const char* text) -> QLineEdit* {
    grid.setCurrentIndex(grid.indexOfRecord(record, 2));
    if (table.recNo() != record)
      return nullptr;
    QTest::keyClick(&grid, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (editor != nullptr) {
      editor->selectAll();
      QTest::keyClicks(editor, QString::fromLatin1(text));
    }
    return editor;
  };

  // Down on the last whole row moves the window; the edit still lands in its own record.
  QLineEdit* editor = typeWithoutEnter(lastWhole, "9.9");
  QVERIFY(editor != nullptr);
  QTest::keyClick(editor, Qt::Key_Down);
  QCOMPARE(table.recNo(), lastWhole + 1);
  QCOMPARE(grid.verticalScrollBar()->value(), 1);
  QCOMPARE(shown.storedVoltage(lastWhole), std::string("9.9"));
  QCOMPARE(shown.storedVoltage(lastWhole + 1), voltageOf(lastWhole + 1));
  QVERIFY(shown.currentCellShownWhole());

  // Scrolling by the bar with an editor open stores the edit into the record it was opened on.
  editor = typeWithoutEnter(lastWhole + 1, "8.8");
  QVERIFY(editor != nullptr);
  grid.verticalScrollBar()->setValue(100);
  QVERIFY(!editorOpen(grid));
  QCOMPARE(table.recNo(), lastWhole + 1);
  QCOMPARE(table.voltage(), std::string("8.8"));
  QCOMPARE(table.record(101).voltage, voltageOf(101));
  table.post();
  QCOMPARE(shown.storedVoltage(lastWhole + 1), std::string("8.8"));
  for (int record = 100; record < 100 + lastWhole + 1; ++record)
    QCOMPARE(shown.storedVoltage(record), voltageOf(record));
}

// The main window destroys its data source before the widgets bound to it; the grid is laid
// out and hidden once more on its way.
void TestGridWindow::gridOutlivesItsDataSource() {
  MeasurementTable table;
  table.open(newFile());
  fill(table, 50);
  auto model = std::make_unique<TableModel>(table);
  DBGrid grid;
  grid.setDataSource(model.get());
  grid.resize(400, 300);
  grid.show();
  QVERIFY(QTest::qWaitForWindowExposed(&grid));
  model.reset();
  QCOMPARE(grid.dataSource(), nullptr);
  QCOMPARE(grid.model()->rowCount(), 0);
  grid.resize(400, 500);
  QTest::keyClick(&grid, Qt::Key_Down);
  QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
  QVERIFY(!grid.deleteCurrentRecord());
  grid.hide();
  QCOMPARE(table.recordCount(), 50);
}

QTEST_MAIN(TestGridWindow)
#include "tst_gridwindow.moc"
