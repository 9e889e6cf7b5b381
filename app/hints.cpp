#include "app/hints.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QWidget>

namespace kelvor {
namespace {

// Menus report their highlighted items themselves; while one is open, the pointer's comings
// and goings over the window beneath it (the open menu takes the pointer) say nothing.
bool isTrackedControl(const QObject* object) {
  return object->isWidgetType() && qobject_cast<const QMenu*>(object) == nullptr &&
         qobject_cast<const QMenuBar*>(object) == nullptr &&
         qobject_cast<QMenu*>(QApplication::activePopupWidget()) == nullptr;
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
  // A menu opened by its letter highlights its first item only after it is shown, and says
  // nothing of it.
  connect(menu, &QMenu::aboutToShow, this, [this, menu] {
    QTimer::singleShot(0, menu, [this, menu] {
      if (menu->isVisible() && menu->activeAction() != nullptr)
        setCurrentHint(longHint(hintOf(menu->activeAction())));
    });
  });
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
