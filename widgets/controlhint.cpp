#include "widgets/controlhint.h"

#include <QAction>
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

} // namespace kelvor
