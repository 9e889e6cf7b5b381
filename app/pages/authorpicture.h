#pragma once

#include <QWidget>

namespace kelvor {

// The picture of the AUTOR page: a battery with its charge curve, drawn to any size.
class AuthorPicture : public QWidget {
  Q_OBJECT

public:
  using QWidget::QWidget;

protected:
  void paintEvent(QPaintEvent* event) override;
};

} // namespace kelvor
