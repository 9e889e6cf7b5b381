#include "data/gridwindow.h"

#include <algorithm>

namespace kelvor {

GridWindow::GridWindow(QObject* parent) : QAbstractTableModel(parent) {}

void GridWindow::setSource(QAbstractItemModel* source) {
  if (m_source != nullptr)
    disconnect(m_source, nullptr, this, nullptr);
  beginResetModel();
  m_source = source;
  m_top = 0;
  m_rows = 0;
  endResetModel();
  if (source != nullptr) {
    connect(source, &QAbstractItemModel::rowsInserted, this, &GridWindow::refit);
    connect(source, &QAbstractItemModel::rowsRemoved, this, &GridWindow::refit);
    connect(source, &QAbstractItemModel::modelReset, this, &GridWindow::refit);
    connect(source, &QAbstractItemModel::layoutChanged, this, &GridWindow::refit);
    connect(source, &QAbstractItemModel::dataChanged, this, &GridWindow::markAllChanged);
    connect(source, &QAbstractItemModel::headerDataChanged, this,
            &QAbstractItemModel::headerDataChanged);
    connect(source, &QObject::destroyed, this, &GridWindow::refit);
  }
  refit();
}

void GridWindow::setCapacity(int fullRows, int shownRows) {
  fullRows = std::max(fullRows, 1);
  shownRows = std::max(shownRows, fullRows);
  if (fullRows == m_fullRows && shownRows == m_shownRows)
    return;
  m_fullRows = fullRows;
  m_shownRows = shownRows;
  refit();
}

int GridWindow::recordCount() const {
  return m_source != nullptr ? m_source->rowCount() : 0;
}

int GridWindow::lastTop() const {
  return std::max(recordCount() - m_fullRows, 0);
}

void GridWindow::setTop(int record) {
  moveTo(std::clamp(record, 0, lastTop()));
}

int GridWindow::topShowing(int record) const {
  if (record < m_top)
    return record;
  if (record >= m_top + m_fullRows)
    return record - m_fullRows + 1;
  return m_top;
}

int GridWindow::rowOfRecord(int record) const {
  const int row = record - m_top;
  return row >= 0 && row < m_rows ? row : -1;
}

int GridWindow::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : m_rows;
}

int GridWindow::columnCount(const QModelIndex& parent) const {
  return parent.isValid() || m_source == nullptr ? 0 : m_source->columnCount();
}

QModelIndex GridWindow::sourceIndex(const QModelIndex& index) const {
  if (m_source == nullptr || !index.isValid() || index.row() >= m_rows)
    return {};
  return m_source->index(recordOfRow(index.row()), index.column());
}

QVariant GridWindow::data(const QModelIndex& index, int role) const {
  const QModelIndex source = sourceIndex(index);
  return source.isValid() ? m_source->data(source, role) : QVariant();
}

QVariant GridWindow::headerData(int section, Qt::Orientation orientation, int role) const {
  if (m_source == nullptr)
    return {};
  if (orientation == Qt::Horizontal)
    return m_source->headerData(section, orientation, role);
  return m_source->headerData(recordOfRow(section), orientation, role);
}

Qt::ItemFlags GridWindow::flags(const QModelIndex& index) const {
  const QModelIndex source = sourceIndex(index);
  return source.isValid() ? m_source->flags(source) : Qt::NoItemFlags;
}

bool GridWindow::setData(const QModelIndex& index, const QVariant& value, int role) {
  const QModelIndex source = sourceIndex(index);
  return source.isValid() && m_source->setData(source, value, role);
}

// The source's records came or went: the window keeps its top where it can, is filled from
// below where records are missing, and shows the records now under its rows.
void GridWindow::refit() {
  const int top = std::min(m_top, lastTop());
  const bool moved = top != m_top;
  if (moved) {
    emit aboutToMove();
    m_top = top;
  }
  const bool resized = resizeTo(std::min(m_shownRows, recordCount() - m_top));
  markAllChanged();
  if (moved || resized)
    emit windowChanged();
}

void GridWindow::moveTo(int top) {
  if (top == m_top)
    return;
  emit aboutToMove();
  m_top = top;
  resizeTo(std::min(m_shownRows, recordCount() - m_top));
  markAllChanged();
  emit windowChanged();
}

bool GridWindow::resizeTo(int rows) {
  rows = std::max(rows, 0);
  if (rows > m_rows) {
    beginInsertRows(QModelIndex(), m_rows, rows - 1);
    m_rows = rows;
    endInsertRows();
    return true;
  }
  if (rows < m_rows) {
    beginRemoveRows(QModelIndex(), rows, m_rows - 1);
    m_rows = rows;
    endRemoveRows();
    return true;
  }
  return false;
}

void GridWindow::markAllChanged() {
  if (m_rows > 0 && columnCount() > 0)
    emit dataChanged(index(0, 0), index(m_rows - 1, columnCount() - 1));
}

} // namespace kelvor
