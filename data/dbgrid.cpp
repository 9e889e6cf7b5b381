#include "data/dbgrid.h"

#include "core/designscale.h"
#include "data/gridwindow.h"
#include "data/tablemodel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <utility>

namespace kelvor {
namespace {

constexpr int kIndicatorWidth = 12;
constexpr int kCellMargin = 4;

// The record indicator column: an arrow at the current record, a bar while it is edited and
// a star while it is being appended.
class RecordIndicatorHeader : public QHeaderView {
public:
  explicit RecordIndicatorHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {}

  void setDataSource(const TableModel* dataSource, const GridWindow* window) {
    m_dataSource = dataSource;
    m_window = window;
  }

protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
    // The base leaves the painter clipped to nothing; the mark is drawn from a clean state.
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    if (m_dataSource == nullptr || !m_dataSource->hasTable() ||
        m_window->recordOfRow(logicalIndex) != m_dataSource->currentRow())
      return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(palette().color(QPalette::WindowText));
    painter->setBrush(palette().color(QPalette::WindowText));
    // The marks were drawn for the designed column; they grow with the column.
    const double unit = rect.width() / double(kIndicatorWidth);
    const QPointF c = QRectF(rect).center();
    const auto at = [&c, unit](double dx, double dy) {
      return QPointF(c.x() + dx * unit, c.y() + dy * unit);
    };
    switch (m_dataSource->table().state()) {
    case TableState::Browse: {
      const QPointF arrow[] = {at(-2, -4), at(2, 0), at(-2, 4)};
      painter->drawPolygon(arrow, 3);
      break;
    }
    case TableState::Edit:
      painter->drawLine(at(0, -5), at(0, 5));
      painter->drawLine(at(-2, -5), at(2, -5));
      painter->drawLine(at(-2, 5), at(2, 5));
      break;
    case TableState::Insert:
      painter->drawText(rect, Qt::AlignCenter, QStringLiteral("*"));
      break;
    }
    painter->restore();
  }

private:
  QPointer<const TableModel> m_dataSource;
  const GridWindow* m_window = nullptr;
};

QFont gridFont() {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(DBGrid::kFontPixelSize);
  return font;
}

} // namespace

DBGrid::DBGrid(QWidget* parent)
    : QTableView(parent), m_window(new GridWindow(this)),
      m_confirmation([](QWidget* owner) { return confirmRecordDeletion(owner); }) {
  setObjectName(QStringLiteral("DBGrid1"));
  setFont(gridFont());
  setVerticalHeader(new RecordIndicatorHeader(this));
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setFixedWidth(kIndicatorWidth);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setHighlightSections(false);
  setShowGrid(true);
  setTabKeyNavigation(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setModel(m_window);
  connect(m_window, &GridWindow::aboutToMove, this, [this] { closeOpenEditor(false); });
  connect(m_window, &GridWindow::windowChanged, this, &DBGrid::showCurrentRecord);
  applyRowHeight();
}

void DBGrid::setDataSource(TableModel* dataSource) {
  if (m_dataSource != nullptr)
    disconnect(m_dataSource, nullptr, this, nullptr);
  m_dataSource = dataSource;
  m_window->setSource(dataSource);
  static_cast<RecordIndicatorHeader*>(verticalHeader())->setDataSource(dataSource, m_window);
  if (dataSource != nullptr) {
    connect(dataSource, &TableModel::currentRowChanged, this, &DBGrid::followCurrentRecord);
    connect(dataSource, &TableModel::tableStateChanged, verticalHeader()->viewport(),
            qOverload<>(&QWidget::update));
    fitWindowToViewport();
    followCurrentRecord(dataSource->currentRow());
  }
  applyColumnWidths();
}

void DBGrid::setScale(double factor) {
  m_scale = factor;
  verticalHeader()->setFixedWidth(scaledDesignLength(kIndicatorWidth, factor));
  applyColumnWidths();
}

void DBGrid::setConfirmation(Confirmation confirmation) {
  m_confirmation = std::move(confirmation);
}

int DBGrid::fieldDefaultWidth(const QFontMetrics& metrics, int characters) {
  return characters * metrics.horizontalAdvance(u'0') + kCellMargin;
}

void DBGrid::applyColumnWidths() {
  if (model() == nullptr)
    return;
  const auto scaled = [this](int width) { return scaledDesignLength(width, m_scale); };
  setColumnWidth(TableModel::columnOfField(Field::Time), scaled(kTimeColumnWidth));
  setColumnWidth(TableModel::columnOfField(Field::Minutes),
                 fieldDefaultWidth(fontMetrics(), kFieldDisplayWidth));
  setColumnWidth(TableModel::columnOfField(Field::Voltage), scaled(kVoltageColumnWidth));
}

void DBGrid::applyRowHeight() {
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + kCellMargin);
  fitWindowToViewport();
}

void DBGrid::changeEvent(QEvent* event) {
  QTableView::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    applyRowHeight();
    applyColumnWidths();
  }
}

int DBGrid::recordOf(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != m_window || index.row() >= m_window->rowCount())
    return -1;
  return m_window->recordOfRow(index.row());
}

QModelIndex DBGrid::indexOfRecord(int record, int column) const {
  const int row = m_window->rowOfRecord(record);
  return row >= 0 ? m_window->index(row, column) : QModelIndex();
}

int DBGrid::currentColumn() const {
  return currentIndex().isValid() ? currentIndex().column() : m_column;
}

void DBGrid::followCurrentRecord(int row) {
  if (m_dataSource == nullptr || row < 0 || row >= m_dataSource->rowCount())
    return;
  m_window->scrollToShow(row);
  showCurrentRecord();
}

// Puts the current cell on the table's current record, or clears it while that record is
// scrolled out of sight: a cell left on a row whose record changed would edit another record.
void DBGrid::showCurrentRecord() {
  if (m_dataSource == nullptr || !m_dataSource->hasTable())
    return;
  const QModelIndex cell = indexOfRecord(m_dataSource->currentRow(), currentColumn());
  const bool following = std::exchange(m_followingTable, true);
  if (cell.isValid())
    setCurrentIndex(cell);
  else if (currentIndex().isValid())
    selectionModel()->clear();
  m_followingTable = following;
  applyScrollRange();
}

void DBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  if (current.isValid())
    m_column = current.column();
  const int record = recordOf(current);
  if (m_dataSource != nullptr && m_dataSource->hasTable() && !m_followingTable &&
      !m_dataSource->isFollowingTable() && record >= 0 && record != m_dataSource->table().recNo()) {
    // The edit belongs to the record it was opened on; it is stored before the cursor leaves.
    closeOpenEditor(true, previous);
    m_dataSource->perform([record](MeasurementTable& table) { table.moveTo(record); });
    // Following the table may have moved the window and with it the current cell; the view
    // has been told of that cell already.
    if (currentIndex() != current)
      return;
  }
  QTableView::currentChanged(current, previous);
}

void DBGrid::closeOpenEditor(bool commit, const QModelIndex& at) {
  if (state() != QAbstractItemView::EditingState)
    return;
  QWidget* editor = indexWidget(at.isValid() ? at : currentIndex());
  if (editor == nullptr)
    return;
  if (commit)
    commitData(editor);
  closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void DBGrid::scrollWindowTo(int top) {
  closeOpenEditor(true);
  const bool following = std::exchange(m_followingTable, true);
  m_window->setTop(top);
  m_followingTable = following;
  showCurrentRecord();
}

void DBGrid::fitWindowToViewport() {
  if (m_fitting)
    return;
  m_fitting = true;
  const int rowHeight = std::max(verticalHeader()->defaultSectionSize(), 1);
  // A grid not shown yet has no laid-out viewport; its own size tells what it will hold.
  const int titleHeight =
      horizontalHeader()->isHidden() ? 0 : horizontalHeader()->sizeHint().height();
  const int height = isVisible() ? viewport()->height() : contentsRect().height() - titleHeight;
  const int fullRows = std::max(height / rowHeight, 1);
  const bool currentWasShown = m_dataSource != nullptr && m_dataSource->hasTable() &&
                               m_window->rowOfRecord(m_dataSource->currentRow()) >= 0;
  m_window->setCapacity(fullRows, fullRows + (height % rowHeight != 0 ? 1 : 0));
  if (currentWasShown)
    m_window->scrollToShow(m_dataSource->currentRow());
  m_fitting = false;
}

// The view's own rows never scroll: its base code sets the row header's offset from the scroll
// bar, which stands for the window's top over the table.
void DBGrid::applyScrollRange() {
  verticalHeader()->setOffset(0);
  QScrollBar* bar = verticalScrollBar();
  const bool setting = std::exchange(m_settingScrollBar, true);
  bar->setRange(0, m_window->lastTop());
  bar->setPageStep(m_window->fullRows());
  bar->setSingleStep(1);
  bar->setValue(m_window->top());
  m_settingScrollBar = setting;
}

void DBGrid::updateGeometries() {
  const bool setting = std::exchange(m_settingScrollBar, true);
  QTableView::updateGeometries();
  m_settingScrollBar = setting;
  fitWindowToViewport();
  applyScrollRange();
}

void DBGrid::scrollContentsBy(int dx, int dy) {
  if (dy != 0 && !m_settingScrollBar)
    scrollWindowTo(verticalScrollBar()->value());
  if (dx != 0)
    QTableView::scrollContentsBy(dx, 0);
}

void DBGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
  const int record = recordOf(index);
  if (record < 0 || m_followingTable)
    return;
  const int fullRows = m_window->fullRows();
  switch (hint) {
  case PositionAtTop:
    scrollWindowTo(record);
    break;
  case PositionAtBottom:
    scrollWindowTo(record - fullRows + 1);
    break;
  case PositionAtCenter:
    scrollWindowTo(record - fullRows / 2);
    break;
  case EnsureVisible:
    scrollWindowTo(m_window->topShowing(record));
    break;
  }
  const QModelIndex shown = indexOfRecord(record, index.column());
  if (!shown.isValid())
    return;
  // The row is whole on screen now; the view scrolls only sideways to the column.
  const bool setting = std::exchange(m_settingScrollBar, true);
  QTableView::scrollTo(shown, EnsureVisible);
  m_settingScrollBar = setting;
  applyScrollRange();
}

int DBGrid::targetRecord(CursorAction cursorAction, Qt::KeyboardModifiers modifiers,
                         int from) const {
  const bool control = modifiers.testFlag(Qt::ControlModifier);
  const int lastColumn = kFieldCount - 1;
  switch (cursorAction) {
  case MoveUp:
    return from - 1;
  case MoveDown:
    return from + 1;
  case MovePageUp:
    return from - m_window->fullRows();
  case MovePageDown:
    return from + m_window->fullRows();
  case MoveHome:
    return control ? 0 : from;
  case MoveEnd:
    return control ? m_window->recordCount() - 1 : from;
  case MoveNext:
    return currentColumn() == lastColumn ? from + 1 : from;
  case MovePrevious:
    return currentColumn() == 0 ? from - 1 : from;
  case MoveLeft:
  case MoveRight:
    break;
  }
  return from;
}

// Keys move over the table's records, not over the rows the window holds.
QModelIndex DBGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
  const int count = m_window->recordCount();
  if (m_dataSource == nullptr || !m_dataSource->hasTable() || count == 0)
    return {};
  const int from = currentRecord() >= 0 ? currentRecord() : std::max(m_dataSource->currentRow(), 0);
  const int to = std::clamp(targetRecord(cursorAction, modifiers, from), 0, count - 1);
  const int lastColumn = kFieldCount - 1;
  int column = currentColumn();
  switch (cursorAction) {
  case MoveLeft:
    column = std::max(column - 1, 0);
    break;
  case MoveRight:
    column = std::min(column + 1, lastColumn);
    break;
  case MoveHome:
    column = modifiers.testFlag(Qt::ControlModifier) ? column : 0;
    break;
  case MoveEnd:
    column = modifiers.testFlag(Qt::ControlModifier) ? column : lastColumn;
    break;
  case MoveNext:
    column = to != from ? 0 : std::min(column + 1, lastColumn);
    break;
  case MovePrevious:
    column = to != from ? lastColumn : std::max(column - 1, 0);
    break;
  default:
    break;
  }
  scrollWindowTo(m_window->topShowing(to));
  return indexOfRecord(to, column);
}

bool DBGrid::deleteCurrentRecord() {
  if (m_dataSource == nullptr || !m_dataSource->hasTable() || m_dataSource->table().isEmpty() ||
      !m_confirmation(this))
    return false;
  return m_dataSource->perform([](MeasurementTable& table) { table.deleteCurrent(); });
}

void DBGrid::keyPressEvent(QKeyEvent* event) {
  if (m_dataSource != nullptr && m_dataSource->hasTable() &&
      state() != QAbstractItemView::EditingState) {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::ControlModifier) {
      deleteCurrentRecord();
      return;
    }
    if (event->key() == Qt::Key_Escape && m_dataSource->table().state() != TableState::Browse) {
      m_dataSource->perform([](MeasurementTable& table) { table.cancel(); });
      return;
    }
  }
  QTableView::keyPressEvent(event);
}

} // namespace kelvor
