#include "data/dbnavigator.h"

#include "data/tablemodel.h"
#include "widgets/controlhint.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolButton>

namespace kelvor {
namespace {

constexpr int kIconSize = 16;
constexpr Qt::GlobalColor kGlyphColor = Qt::black;

struct ButtonDescription {
  const char* name;
  const char* hint;
};

constexpr std::array<ButtonDescription, DBNavigator::kButtonCount> kButtons = {{
    {"nbFirst", "Skok  na  první  záznam  v  tabulce"},
    {"nbPrior", "Skok  na  předcházející  záznam  v  tabulce"},
    {"nbNext", "Skok  na  následující  záznam  v  tabulce"},
    {"nbLast", "Skok  na  poslední  záznam  v  tabulce"},
    {"nbInsert", "Vložení  nového  záznamu  do  tabulky"},
    {"nbDelete", "Vymazání  aktuálního  záznamu  z  tabulky"},
    {"nbEdit", "Editace  aktuálního  záznamu  v  tabulce"},
    {"nbPost", "Odeslání  aktuálního  záznamu"},
    {"nbCancel", "Zrušení  editace  aktuálního  záznamu"},
    {"nbRefresh", "Obnovení  dat  v  tabulce"},
}};

int indexOf(DBNavigator::Button which) {
  return static_cast<int>(which);
}

QPolygonF triangle(QPointF tip, double direction) {
  // A triangle 8 pixels wide pointing right (direction 1) or left (direction -1) at `tip`.
  return QPolygonF({tip, QPointF(tip.x() - 5 * direction, tip.y() - 5),
                    QPointF(tip.x() - 5 * direction, tip.y() + 5)});
}

void drawGlyph(QPainter& painter, DBNavigator::Button which) {
  using Button = DBNavigator::Button;
  const QPointF c(kIconSize / 2.0, kIconSize / 2.0);
  switch (which) {
  case Button::First:
    painter.drawRect(QRectF(3, 3, 2, 10));
    painter.drawPolygon(triangle(QPointF(6, c.y()), -1));
    break;
  case Button::Prior:
    painter.drawPolygon(triangle(QPointF(5.5, c.y()), -1));
    break;
  case Button::Next:
    painter.drawPolygon(triangle(QPointF(10.5, c.y()), 1));
    break;
  case Button::Last:
    painter.drawPolygon(triangle(QPointF(10, c.y()), 1));
    painter.drawRect(QRectF(11, 3, 2, 10));
    break;
  case Button::Insert:
    painter.drawRect(QRectF(3, 7, 10, 2));
    painter.drawRect(QRectF(7, 3, 2, 10));
    break;
  case Button::Delete:
    painter.drawRect(QRectF(3, 7, 10, 2));
    break;
  case Button::Edit:
    painter.drawPolygon(QPolygonF({QPointF(c.x(), 4), QPointF(3, 11), QPointF(13, 11)}));
    break;
  case Button::Post: {
    QPainterPath check;
    check.moveTo(3, 8);
    check.lineTo(6.5, 12);
    check.lineTo(13, 4);
    painter.strokePath(check, QPen(kGlyphColor, 2.2));
    break;
  }
  case Button::Cancel:
    painter.setPen(QPen(kGlyphColor, 2.2));
    painter.drawLine(QPointF(4, 4), QPointF(12, 12));
    painter.drawLine(QPointF(12, 4), QPointF(4, 12));
    break;
  case Button::Refresh: {
    painter.setPen(QPen(kGlyphColor, 1.8));
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(3.5, 3.5, 9, 9), 90 * 16, 270 * 16);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kGlyphColor);
    painter.drawPolygon(QPolygonF({QPointF(8, 1.5), QPointF(11.5, 4), QPointF(8, 6.5)}));
    break;
  }
  }
}

QIcon glyphIcon(DBNavigator::Button which) {
  QPixmap pixmap(kIconSize, kIconSize);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(kGlyphColor);
  drawGlyph(painter, which);
  return QIcon(pixmap);
}

} // namespace

DBNavigator::DBNavigator(QWidget* parent)
    : QWidget(parent), m_confirmation([](QWidget* owner) { return confirmRecordDeletion(owner); }) {
  setObjectName(QStringLiteral("DBNavigator1"));
  createButtons();
  updateButtons();
}

QString DBNavigator::hint(Button which) {
  return QString::fromUtf8(kButtons[static_cast<std::size_t>(indexOf(which))].hint);
}

QToolButton* DBNavigator::button(Button which) const {
  return m_buttons[static_cast<std::size_t>(indexOf(which))];
}

void DBNavigator::createButtons() {
  for (int i = 0; i < kButtonCount; ++i) {
    const auto which = static_cast<Button>(i);
    auto* button = new QToolButton(this);
    button->setObjectName(QString::fromLatin1(kButtons[static_cast<std::size_t>(i)].name));
    button->setIcon(glyphIcon(which));
    button->setIconSize(QSize(kIconSize, kIconSize));
    setHint(button, hint(which));
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, this, [this, which] { perform(which); });
    m_buttons[static_cast<std::size_t>(i)] = button;
  }
}

void DBNavigator::setDataSource(TableModel* dataSource) {
  if (m_dataSource != nullptr)
    disconnect(m_dataSource, nullptr, this, nullptr);
  m_dataSource = dataSource;
  if (dataSource != nullptr) {
    connect(dataSource, &TableModel::tableStateChanged, this, &DBNavigator::updateButtons);
    connect(dataSource, &QObject::destroyed, this, [this] {
      m_dataSource = nullptr;
      updateButtons();
    });
  }
  updateButtons();
}

void DBNavigator::setConfirmation(Confirmation confirmation) {
  m_confirmation = std::move(confirmation);
}

void DBNavigator::perform(Button which) {
  if (m_dataSource == nullptr || !m_dataSource->hasTable())
    return;
  if (which == Button::Delete && !m_confirmation(this))
    return;
  m_dataSource->perform([which](MeasurementTable& table) {
    switch (which) {
    case Button::First:
      table.first();
      break;
    case Button::Prior:
      table.prior();
      break;
    case Button::Next:
      table.next();
      break;
    case Button::Last:
      table.last();
      break;
    case Button::Insert:
      table.append();
      break;
    case Button::Delete:
      table.deleteCurrent();
      break;
    case Button::Edit:
      table.edit();
      break;
    case Button::Post:
      table.post();
      break;
    case Button::Cancel:
      table.cancel();
      break;
    case Button::Refresh:
      table.refresh();
      break;
    }
  });
  updateButtons();
}

void DBNavigator::updateButtons() {
  const MeasurementTable* table =
      m_dataSource != nullptr && m_dataSource->hasTable() ? &m_dataSource->table() : nullptr;
  const bool active = table != nullptr && table->isOpen();
  const bool editing = active && table->state() != TableState::Browse;
  // On the first record there is nowhere to go back to, on the last nowhere to go on to,
  // whether or not a move has yet tried to leave the table.
  const int record = active ? table->recNo() : -1;
  const bool canGoBack = active && !table->bof() && record > 0;
  const bool canGoOn = active && !table->eof() && record + 1 < table->recordCount();
  const bool hasRecords = active && !(table->bof() && table->eof());
  button(Button::First)->setEnabled(canGoBack);
  button(Button::Prior)->setEnabled(canGoBack);
  button(Button::Next)->setEnabled(canGoOn);
  button(Button::Last)->setEnabled(canGoOn);
  button(Button::Insert)->setEnabled(active);
  button(Button::Delete)->setEnabled(hasRecords);
  button(Button::Edit)->setEnabled(active && !editing);
  button(Button::Post)->setEnabled(editing);
  button(Button::Cancel)->setEnabled(editing);
  button(Button::Refresh)->setEnabled(active);
}

void DBNavigator::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layOutButtons();
}

void DBNavigator::layOutButtons() {
  // The buttons share the width; the pixels left over go to the first ones.
  const int base = width() / kButtonCount;
  const int extra = width() % kButtonCount;
  int left = 0;
  for (int i = 0; i < kButtonCount; ++i) {
    const int w = base + (i < extra ? 1 : 0);
    m_buttons[static_cast<std::size_t>(i)]->setGeometry(left, 0, w, height());
    left += w;
  }
}

} // namespace kelvor
