#pragma once

#include "widgets/controlhint.h"

#include <QObject>
#include <QString>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace kelvor {

// Follows the mouse pointer and the highlighted menu item and reports the application's
// hint: the long part of the hint of the nearest enclosing control that has one, or of the
// highlighted menu item; empty over controls without any hint. It watches the enter and
// leave events of every control (install it on the application).
class HintTracker : public QObject {
  Q_OBJECT

public:
  explicit HintTracker(QObject* parent = nullptr);

  QString currentHint() const { return m_hint; }
  // Menu items report their hint when highlighted, by mouse or keyboard.
  void trackMenu(QMenu* menu);
  void trackMenuBar(QMenuBar* bar);

signals:
  void hintChanged(const QString& hint);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void showHintOfWidget(QWidget* widget);
  void setCurrentHint(const QString& hint);

  QString m_hint;
};

} // namespace kelvor
