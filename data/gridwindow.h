#pragma once

#include <QAbstractTableModel>
#include <QPointer>

namespace kelvor {

// The rows of a data source that a grid has room for: row r of this model is the source's
// record top + r. A grid over a year of records keeps a row header section, a selection and
// a layout for some twenty rows instead of for every record, so a stored record costs the
// same at ten records and at millions.
class GridWindow : public QAbstractTableModel {
  Q_OBJECT

public:
  explicit GridWindow(QObject* parent = nullptr);

  void setSource(QAbstractItemModel* source);
  QAbstractItemModel* source() const { return m_source; }

  // `fullRows` rows fit the grid whole; `shownRows` counts a partly visible last row too.
  void setCapacity(int fullRows, int shownRows);
  int fullRows() const { return m_fullRows; }

  int top() const { return m_top; }
  // The greatest top that still fills the window: the scroll range's end.
  int lastTop() const;
  // Moves the window to start at `record`, kept within [0, lastTop()].
  void setTop(int record);
  // The top nearest to the present one that shows `record` whole.
  int topShowing(int record) const;
  void scrollToShow(int record) { setTop(topShowing(record)); }

  int recordCount() const;
  int recordOfRow(int row) const { return m_top + row; }
  // The window row of `record`; -1 when the window does not show it.
  int rowOfRecord(int record) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
  // Before the records under the window's rows change places: an open editor must go.
  void aboutToMove();
  // After the window moved, grew or shrank; a change of the records under it comes as
  // dataChanged only.
  void windowChanged();

private:
  QModelIndex sourceIndex(const QModelIndex& index) const;
  void refit();
  void moveTo(int top);
  bool resizeTo(int rows);
  void markAllChanged();

  QPointer<QAbstractItemModel> m_source;
  int m_top = 0;
  int m_rows = 0;
  int m_fullRows = 1;
  int m_shownRows = 1;
};

} // namespace kelvor
