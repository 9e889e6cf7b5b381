#include "app/hints.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace kelvor {
namespace {

// Menus report their highlighted items themselves.
bool isTrackedControl(const QObject* object) {
  return object->isWidgetType() && qobject_cast<const QMenu*>(object) == nullptr &&
         qobject_cast<const QMenuBar*>(object) == nullptr;
}

} // namespace

HintTracker::HintTracker(QObject* parent) : QObject(parent) {}

bool HintTracker::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
  // Entering runs from the window down to the control under the pointer; leaving a control
  // for its parent brings no enter event, so the parent's hint is shown.
  case QEvent::Enter:
    if (isTrackedControl(watched))
      showHintOfWidget(static_cast<QWidget*>(watched));
    break;
  case QEvent::Leave:
    if (isTrackedControl(watched)) {
      auto* left = static_cast<QWidget*>(watched);
      showHintOfWidget(left->isWindow() ? nullptr : left->parentWidget());
    }
    break;
  default:
    break;
  }
  return QObject::eventFilter(watched, event);
}

void HintTracker::trackMenu(QMenu* menu) {
  connect(menu, &QMenu::hovered, this,
          [this](QAction* action) { setCurrentHint(longHint(hintOf(action))); });
}

void HintTracker::trackMenuBar(QMenuBar* bar) {
  connect(bar, &QMenuBar::hovered, this,
          [this](QAction* action) { setCurrentHint(longHint(hintOf(action))); });
}

void HintTracker::showHintOfWidget(QWidget* widget) {
  for (QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
    const QString hint = hintOf(w);
    if (!hint.isEmpty()) {
      setCurrentHint(longHint(hint));
      return;
    }
    if (w->isWindow())
      break;
  }
  setCurrentHint(QString());
}

void HintTracker::setCurrentHint(const QString& hint) {
  if (hint == m_hint)
    return;
  m_hint = hint;
  emit hintChanged(hint);
}

} // namespace kelvor
