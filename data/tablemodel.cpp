#include "data/tablemodel.h"

#include "data/core/numbertext.h"

#include <QMessageBox>

namespace kelvor {
namespace {

QString timeText(std::optional<int> time, const TimeFormat& format) {
  return time ? format.format(*time) : QString();
}

QString invalidTimeMessage(const QString& text) {
  return QStringLiteral("'%1' is not a valid time").arg(text);
}

} // namespace

bool confirmRecordDeletion(QWidget* parent) {
  return QMessageBox::question(
             parent, QStringLiteral("Confirm"), QString::fromLatin1(kDeleteRecordQuestion),
             QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) == QMessageBox::Ok;
}

QString fieldAsString(const MeasurementTable& table, Field field, const TimeFormat& timeFormat) {
  if (field == Field::Time)
    return timeText(table.time(), timeFormat);
  return QString::fromStdString(table.text(field));
}

TableModel::TableModel(MeasurementTable& table, QObject* parent)
    : QAbstractTableModel(parent), m_table(table), m_rowCount(table.viewRecordCount()),
      m_currentRow(table.recNo()) {
  m_table.addListener(this);
}

TableModel::~TableModel() {
  if (m_hasTable)
    m_table.removeListener(this);
}

void TableModel::setTimeFormat(const TimeFormat& format) {
  m_timeFormat = format;
  if (m_rowCount > 0)
    emit dataChanged(index(0, 0), index(m_rowCount - 1, 0));
}

Field TableModel::fieldOfColumn(int column) {
  switch (column) {
  case 0:
    return Field::Time;
  case 1:
    return Field::Minutes;
  default:
    return Field::Voltage;
  }
}

int TableModel::columnOfField(Field field) {
  return static_cast<int>(field);
}

bool TableModel::perform(const std::function<void(MeasurementTable&)>& operation) {
  if (!m_hasTable)
    return false;
  try {
    operation(m_table);
    return true;
  } catch (const std::exception& error) {
    emit errorOccurred(QString::fromUtf8(error.what()));
    return false;
  }
}

int TableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_rowCount;
}

int TableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kFieldCount;
}

QString TableModel::cellText(int row, Field field) const {
  // While the table's views are suspended the table may hold fewer records than shown.
  if (!m_hasTable || row >= m_table.viewRecordCount())
    return {};
  const MeasurementRecord record = m_table.record(row);
  switch (field) {
  case Field::Time:
    return timeText(record.time, m_timeFormat);
  case Field::Minutes:
    return QString::fromStdString(record.minutes);
  case Field::Voltage:
    return QString::fromStdString(record.voltage);
  }
  return {};
}

QVariant TableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= m_rowCount)
    return {};
  switch (role) {
  case Qt::DisplayRole:
  case Qt::EditRole:
    return cellText(index.row(), fieldOfColumn(index.column()));
  case Qt::TextAlignmentRole:
    return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
  default:
    return {};
  }
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
      section < kFieldCount)
    return QString::fromLatin1(fieldName(fieldOfColumn(section)));
  if (orientation == Qt::Vertical && role == Qt::DisplayRole)
    return QString();
  return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags TableModel::flags(const QModelIndex& index) const {
  if (!index.isValid())
    return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool TableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole || index.row() >= m_rowCount)
    return false;
  const Field field = fieldOfColumn(index.column());
  const QString text = value.toString();
  // The edited record stays in the edit buffer until it is posted, left for another record or
  // followed by an append; cancel (or Esc in the grid) drops the change.
  return perform([&](MeasurementTable& table) {
    if (table.recNo() != index.row())
      table.moveTo(index.row());
    const bool beganEditing = table.state() == TableState::Browse;
    if (beganEditing)
      table.edit();
    try {
      setField(field, text);
    } catch (...) {
      if (beganEditing)
        table.cancel();
      throw;
    }
  });
}

void TableModel::setField(Field field, const QString& text) {
  if (field != Field::Time) {
    m_table.setText(field, text.toStdString());
    return;
  }
  if (text.trimmed().isEmpty()) {
    m_table.setTime(std::nullopt);
    return;
  }
  const std::optional<int> time = m_timeFormat.parse(text);
  if (!time)
    throw ConversionError(invalidTimeMessage(text).toStdString());
  m_table.setTime(time);
}

void TableModel::followRowCount(int count) {
  if (count > m_rowCount) {
    beginInsertRows(QModelIndex(), m_rowCount, count - 1);
    m_rowCount = count;
    endInsertRows();
  } else if (count < m_rowCount) {
    beginRemoveRows(QModelIndex(), count, m_rowCount - 1);
    m_rowCount = count;
    endRemoveRows();
  }
}

void TableModel::tableChanged() {
  m_following = true;
  followRowCount(m_table.isOpen() ? m_table.viewRecordCount() : 0);
  // Records may have changed anywhere; the views redraw only the rows they show.
  if (m_rowCount > 0)
    emit dataChanged(index(0, 0), index(m_rowCount - 1, kFieldCount - 1));
  const int row = m_table.recNo();
  const bool moved = row != m_currentRow;
  m_currentRow = row;
  m_following = false;
  if (moved)
    emit currentRowChanged(row);
  emit tableStateChanged();
}

void TableModel::tableDestroyed() {
  m_hasTable = false;
  followRowCount(0);
  m_currentRow = -1;
  emit currentRowChanged(m_currentRow);
  emit tableStateChanged();
}

} // namespace kelvor
