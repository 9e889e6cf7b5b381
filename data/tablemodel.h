#pragma once

#include "data/core/measurementtable.h"
#include "data/timeformat.h"

#include <QAbstractTableModel>

#include <functional>

class QWidget;

namespace kelvor {

// The question asked before a record is deleted from the grid or the navigator.
inline constexpr char kDeleteRecordQuestion[] = "Delete record?";

// Asks kDeleteRecordQuestion in a confirmation box with OK and Cancel; true on OK.
bool confirmRecordDeletion(QWidget* parent);

// A field of the current record as text: TIME in the long time format (empty when it has no
// value), MINUTES and VOLTAGE as stored, leading blanks included.
QString fieldAsString(const MeasurementTable& table, Field field, const TimeFormat& timeFormat);

// The data source linking the measurement table to the grid and the navigator
// (`DataSource1`). It follows the table while the table's views are not suspended and reads
// only the records a view asks for.
class TableModel : public QAbstractTableModel, private TableListener {
  Q_OBJECT

public:
  explicit TableModel(MeasurementTable& table, QObject* parent = nullptr);
  ~TableModel() override;

  // False once the table was destroyed before the model; table() must not be used then.
  bool hasTable() const { return m_hasTable; }
  MeasurementTable& table() const { return m_table; }
  const TimeFormat& timeFormat() const { return m_timeFormat; }
  void setTimeFormat(const TimeFormat& format);

  static Field fieldOfColumn(int column);
  static int columnOfField(Field field);

  // The row of the table's current record as last shown; -1 on an empty table.
  int currentRow() const { return m_currentRow; }
  // True while the model brings its rows in line with the table.
  bool isFollowingTable() const { return m_following; }

  // Runs an operation on the table; an error of the engine is reported through
  // errorOccurred instead of escaping into the event loop.
  bool perform(const std::function<void(MeasurementTable&)>& operation);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
  void currentRowChanged(int row);
  // After every change of the table the views are told of: records, cursor, state.
  void tableStateChanged();
  // An error of the engine in the engine's own words, for the error message box.
  void errorOccurred(const QString& message);

private:
  void tableChanged() override;
  void tableDestroyed() override;
  void followRowCount(int count);
  QString cellText(int row, Field field) const;
  void setField(Field field, const QString& text);

  MeasurementTable& m_table;
  TimeFormat m_timeFormat;
  int m_rowCount = 0;
  int m_currentRow = -1;
  bool m_following = false;
  bool m_hasTable = true;
};

} // namespace kelvor
