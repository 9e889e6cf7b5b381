#pragma once

#include <QWidget>

#include <array>
#include <functional>

class QToolButton;

namespace kelvor {

class TableModel;

// The record navigator of the TABULKA page (`DBNavigator1`): ten buttons in a row acting on
// the table of its data source. Each button carries its hint for the status line, without a
// tooltip.
class DBNavigator : public QWidget {
  Q_OBJECT

public:
  enum class Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
  static constexpr int kButtonCount = 10;

  using Confirmation = std::function<bool(QWidget* parent)>;

  explicit DBNavigator(QWidget* parent = nullptr);

  void setDataSource(TableModel* dataSource);
  TableModel* dataSource() const { return m_dataSource; }
  // Replaces the "Delete record?" box, for tests and callers that ask differently.
  void setConfirmation(Confirmation confirmation);

  QToolButton* button(Button which) const;
  static QString hint(Button which);

  // What a click on the button does.
  void perform(Button which);

protected:
  void resizeEvent(QResizeEvent* event) override;

private:
  void createButtons();
  void layOutButtons();
  void updateButtons();

  TableModel* m_dataSource = nullptr;
  Confirmation m_confirmation;
  std::array<QToolButton*, kButtonCount> m_buttons{};
};

} // namespace kelvor
