#pragma once

#include <QString>

class QAction;
class QObject;
class QWidget;

namespace kelvor {

// A hint is "short|long" or one text serving as both. The status line shows the long part,
// a tooltip the short part. Controls keep their hint in one property, which the program's
// hint tracker reads.
QString shortHint(const QString& hint);
QString longHint(const QString& hint);

void setHint(QWidget* widget, const QString& hint);
// The hint also shows as the control's own tooltip.
void setHintWithTooltip(QWidget* widget, const QString& hint);
void setHint(QAction* action, const QString& hint);
QString hintOf(const QObject* object);

} // namespace kelvor
