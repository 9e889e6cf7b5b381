#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;

namespace kelvor {

// A framed group of radio items with one selected item (or none). Selecting an item, by
// the operator or by the program, raises clicked(); selecting the item already selected
// raises nothing. The arrow keys select the item after or before the focused one, wrapping
// round at the ends, as in a standard radio group. Tab enters the group on its selected item.
class RadioGroup : public QGroupBox {
  Q_OBJECT

public:
  RadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);

  int itemIndex() const { return m_itemIndex; }
  void setItemIndex(int index);
  int count() const { return static_cast<int>(m_items.size()); }

signals:
  void clicked();

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void layoutItems();
  void admitTabToChosenItem();
  void selectByArrow(int from, int step);
  void resizeEvent(QResizeEvent* event) override;

  QStringList m_items;
  QButtonGroup* m_buttons = nullptr;
  int m_itemIndex = -1;
};

} // namespace kelvor
