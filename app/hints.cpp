#include "hints.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace kelvor {
namespace {
constexpr char kHintProperty[] = "kelvorHint";
}

QString shortHint(const QString& hint) {
  const int bar = hint.indexOf(QLatin1Char('|'));
  return bar < 0 ? hint : hint.left(bar);
}

QString longHint(const QString& hint) {
  const int bar = hint.indexOf(QLatin1Char('|'));
  return bar < 0 ? hint : hint.mid(bar + 1);
}

void setHint(QWidget* widget, const QString& hint) {
  widget->setProperty(kHintProperty, hint);
}

void setHintWithTooltip(QWidget* widget, const QString& hint) {
  setHint(widget, hint);
  widget->setToolTip(shortHint(hint));
}

void setHint(QAction* action, const QString& hint) {
  action->setProperty(kHintProperty, hint);
}

QString hintOf(const QObject* object) {
  return object->property(kHintProperty).toString();
}

HintTracker::HintTracker(QObject* parent) : QObject(parent) {}

bool HintTracker::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
  case QEvent::Enter:
  case QEvent::Leave:
    if (!qobject_cast<QMenu*>(watched) && !qobject_cast<QMenuBar*>(watched))
      showHintOfWidget(QApplication::widgetAt(QCursor::pos()));
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
