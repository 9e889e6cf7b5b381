#include "dbgrid.h"

#include "tablemodel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPolygon>

#include <cmath>

namespace kelvor {
namespace {

constexpr int kIndicatorWidth = 12;
constexpr int kCellMargin = 4;

// The record indicator column: an arrow at the current record, a bar while it is edited and
// a star while it is being appended.
class RecordIndicatorHeader : public QHeaderView {
public:
  explicit RecordIndicatorHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {}

  void setDataSource(const TableModel* dataSource) { m_dataSource = dataSource; }

protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override {
    QHeaderView::paintSection(painter, rect, logicalIndex);
    if (m_dataSource == nullptr || !m_dataSource->hasTable() ||
        logicalIndex != m_dataSource->currentRow())
      return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(palette().color(QPalette::WindowText));
    painter->setBrush(palette().color(QPalette::WindowText));
    const QPoint c = rect.center();
    switch (m_dataSource->table().state()) {
    case TableState::Browse:
      painter->drawPolygon(QPolygon(
          {QPoint(c.x() - 2, c.y() - 4), QPoint(c.x() + 2, c.y()), QPoint(c.x() - 2, c.y() + 4)}));
      break;
    case TableState::Edit:
      painter->drawLine(c.x(), c.y() - 5, c.x(), c.y() + 5);
      painter->drawLine(c.x() - 2, c.y() - 5, c.x() + 2, c.y() - 5);
      painter->drawLine(c.x() - 2, c.y() + 5, c.x() + 2, c.y() + 5);
      break;
    case TableState::Insert:
      painter->drawText(rect, Qt::AlignCenter, QStringLiteral("*"));
      break;
    }
    painter->restore();
  }

private:
  const TableModel* m_dataSource = nullptr;
};

QFont gridFont() {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPixelSize(DBGrid::kFontPixelSize);
  return font;
}

} // namespace

DBGrid::DBGrid(QWidget* parent)
    : QTableView(parent),
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
  applyRowHeight();
}

void DBGrid::setDataSource(TableModel* dataSource) {
  if (m_dataSource != nullptr)
    disconnect(m_dataSource, nullptr, this, nullptr);
  m_dataSource = dataSource;
  setModel(dataSource);
  static_cast<RecordIndicatorHeader*>(verticalHeader())->setDataSource(dataSource);
  if (dataSource != nullptr) {
    connect(dataSource, &TableModel::currentRowChanged, this, &DBGrid::followCurrentRecord);
    connect(dataSource, &TableModel::tableStateChanged, verticalHeader()->viewport(),
            qOverload<>(&QWidget::update));
    followCurrentRecord(dataSource->currentRow());
  }
  applyColumnWidths();
}

void DBGrid::setScale(double factor) {
  m_scale = factor;
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
  const auto scaled = [this](int width) { return static_cast<int>(std::lround(width * m_scale)); };
  setColumnWidth(TableModel::columnOfField(Field::Time), scaled(kTimeColumnWidth));
  setColumnWidth(TableModel::columnOfField(Field::Minutes),
                 fieldDefaultWidth(fontMetrics(), kFieldDisplayWidth));
  setColumnWidth(TableModel::columnOfField(Field::Voltage), scaled(kVoltageColumnWidth));
}

void DBGrid::applyRowHeight() {
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + kCellMargin);
}

void DBGrid::changeEvent(QEvent* event) {
  QTableView::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    applyRowHeight();
    applyColumnWidths();
  }
}

void DBGrid::followCurrentRecord(int row) {
  if (m_dataSource == nullptr || row < 0 || row >= m_dataSource->rowCount())
    return;
  const int column = currentIndex().isValid() ? currentIndex().column() : 0;
  m_followingTable = true;
  setCurrentIndex(m_dataSource->index(row, column));
  scrollTo(currentIndex());
  m_followingTable = false;
}

void DBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  if (m_dataSource == nullptr || !m_dataSource->hasTable() || m_followingTable ||
      m_dataSource->isFollowingTable() || !current.isValid() ||
      current.row() == m_dataSource->table().recNo())
    return;
  const int row = current.row();
  m_dataSource->perform([row](MeasurementTable& table) { table.moveTo(row); });
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
