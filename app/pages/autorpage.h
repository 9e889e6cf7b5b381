#pragma once

#include <QWidget>

namespace kelvor {

// The AUTOR page: the picture and the author's contact lines on a white panel.
class AutorPage : public QWidget {
  Q_OBJECT

public:
  explicit AutorPage(QWidget* parent = nullptr);
};

} // namespace kelvor
