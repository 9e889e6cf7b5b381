#pragma once

#include <QPointer>
#include <QTableView>

#include <functional>

namespace kelvor {

class GridWindow;
class TableModel;

// The data grid of the TABULKA page (`DBGrid1`): the table's three columns with a title row
// and a record indicator column. The current row follows the table's current record and a
// click moves the table's cursor; cells are edited in place. The view's model holds only the
// rows on screen (a GridWindow); its vertical scroll bar spans the whole table.
class DBGrid : public QTableView {
  Q_OBJECT

public:
  static constexpr int kTimeColumnWidth = 121;
  static constexpr int kVoltageColumnWidth = 147;
  static constexpr int kFieldDisplayWidth = 12;
  static constexpr int kFontPixelSize = 19;

  using Confirmation = std::function<bool(QWidget* parent)>;

  explicit DBGrid(QWidget* parent = nullptr);

  void setDataSource(TableModel* dataSource);
  TableModel* dataSource() const { return m_dataSource; }

  // The design's column widths are multiplied by `factor` (the window's scale); MINUTES
  // follows the grid font.
  void setScale(double factor);
  // Replaces the "Delete record?" box, for tests and callers that ask differently.
  void setConfirmation(Confirmation confirmation);

  // Deletes the current record after the confirmation; true when it was deleted.
  bool deleteCurrentRecord();
  // The table record under a cell of the grid's model, and the cell of a record; an invalid
  // index while the record is scrolled out of sight.
  int recordOf(const QModelIndex& index) const;
  QModelIndex indexOfRecord(int record, int column) const;
  // The record of the current cell; -1 while there is none on screen.
  int currentRecord() const { return recordOf(currentIndex()); }
  // The default width of a text field of `characters` characters in `metrics`.
  static int fieldDefaultWidth(const QFontMetrics& metrics, int characters);

  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void changeEvent(QEvent* event) override;
  QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
  void scrollContentsBy(int dx, int dy) override;
  void updateGeometries() override;

private:
  void applyColumnWidths();
  void applyRowHeight();
  void followCurrentRecord(int row);
  void fitWindowToViewport();
  void applyScrollRange();
  void showCurrentRecord();
  // Closes an editor open at `at` (the current cell when invalid), storing its text first
  // when `commit` is set.
  void closeOpenEditor(bool commit, const QModelIndex& at = QModelIndex());
  void scrollWindowTo(int top);
  int targetRecord(CursorAction cursorAction, Qt::KeyboardModifiers modifiers, int from) const;
  int currentColumn() const;

  // The window's data source usually goes before its widgets do.
  QPointer<TableModel> m_dataSource;
  GridWindow* m_window = nullptr;
  Confirmation m_confirmation;
  double m_scale = 1.0;
  bool m_followingTable = false;
  bool m_settingScrollBar = false;
  bool m_fitting = false;
  int m_column = 0;
};

} // namespace kelvor
