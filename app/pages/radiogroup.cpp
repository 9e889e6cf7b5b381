#include "app/pages/radiogroup.h"

#include <QButtonGroup>
#include <QKeyEvent>
#include <QRadioButton>

#include <algorithm>

namespace kelvor {

RadioGroup::RadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), m_items(items), m_buttons(new QButtonGroup(this)) {
  m_buttons->setExclusive(false);
  for (int i = 0; i < m_items.size(); ++i) {
    auto* button = new QRadioButton(m_items[i], this);
    button->setAutoExclusive(false);
    m_buttons->addButton(button, i);
    button->installEventFilter(this);
  }
  admitTabToChosenItem();
  connect(m_buttons, &QButtonGroup::idClicked, this, [this](int id) {
    // The button toggles itself on a click; the group decides what stays checked.
    m_buttons->button(id)->setChecked(id == m_itemIndex);
    setItemIndex(id);
  });
}

void RadioGroup::setItemIndex(int index) {
  if (index < -1 || index >= count() || index == m_itemIndex)
    return;
  m_itemIndex = index;
  for (int i = 0; i < count(); ++i)
    m_buttons->button(i)->setChecked(i == index);
  admitTabToChosenItem();
  emit clicked();
}

// Tab enters the group on its chosen item (the first while none is chosen) and leaves it from
// there, as in any desktop toolkit; the arrow keys and the mouse reach the other items.
void RadioGroup::admitTabToChosenItem() {
  const int entry = std::max(m_itemIndex, 0);
  for (int i = 0; i < count(); ++i)
    m_buttons->button(i)->setFocusPolicy(i == entry ? Qt::StrongFocus : Qt::ClickFocus);
}

bool RadioGroup::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* button = qobject_cast<QAbstractButton*>(watched);
    const int from = button != nullptr ? m_buttons->id(button) : -1;
    switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Down:
    case Qt::Key_Right:
      if (from >= 0) {
        selectByArrow(from, 1);
        return true;
      }
      break;
    case Qt::Key_Up:
    case Qt::Key_Left:
      if (from >= 0) {
        selectByArrow(from, -1);
        return true;
      }
      break;
    default:
      break;
    }
  }
  return QGroupBox::eventFilter(watched, event);
}

void RadioGroup::selectByArrow(int from, int step) {
  const int to = (from + step + count()) % count();
  m_buttons->button(to)->setFocus(Qt::TabFocusReason);
  setItemIndex(to);
}

void RadioGroup::resizeEvent(QResizeEvent* event) {
  QGroupBox::resizeEvent(event);
  layoutItems();
}

// Items stand one below the other in equal rows inside the frame, as a radio group lays
// them out; the frame's caption takes the top.
void RadioGroup::layoutItems() {
  if (m_items.isEmpty())
    return;
  const int top = fontMetrics().height();
  const int margin = 8;
  const int rowHeight = (height() - top - margin) / count();
  for (int i = 0; i < count(); ++i)
    m_buttons->button(i)->setGeometry(margin, top + i * rowHeight, width() - 2 * margin, rowHeight);
}

} // namespace kelvor
