#pragma once

#include <QTableView>

#include <functional>

namespace kelvor {

class TableModel;

// The data grid of the TABULKA page (`DBGrid1`): the table's three columns with a title row
// and a record indicator column. The current row follows the table's current record and a
// click moves the table's cursor; cells are edited in place.
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
  // The default width of a text field of `characters` characters in `metrics`.
  static int fieldDefaultWidth(const QFontMetrics& metrics, int characters);

protected:
  void keyPressEvent(QKeyEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void changeEvent(QEvent* event) override;

private:
  void applyColumnWidths();
  void applyRowHeight();
  void followCurrentRecord(int row);

  TableModel* m_dataSource = nullptr;
  Confirmation m_confirmation;
  double m_scale = 1.0;
  bool m_followingTable = false;
};

} // namespace kelvor
