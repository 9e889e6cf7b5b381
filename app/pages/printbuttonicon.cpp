#include "app/pages/printbuttonicon.h"

#include <QPainter>
#include <QPixmap>

namespace kelvor {
namespace {

QPixmap printerPicture(const QColor& body) {
  QPixmap picture(20, 20);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setPen(Qt::black);
  painter.setBrush(Qt::white);
  painter.drawRect(5, 1, 9, 7); // paper going in
  painter.setBrush(body);
  painter.drawRect(1, 7, 17, 8); // the printer
  painter.setBrush(Qt::white);
  painter.drawRect(5, 12, 9, 6); // paper coming out
  painter.drawLine(7, 14, 12, 14);
  painter.drawLine(7, 16, 12, 16);
  painter.fillRect(14, 9, 2, 2, QColor(0, 255, 0));
  return picture;
}

} // namespace

QIcon printButtonIcon() {
  QIcon icon(printerPicture(QColor(192, 192, 192)));
  icon.addPixmap(printerPicture(QColor(128, 128, 128)), QIcon::Active, QIcon::On);
  return icon;
}

} // namespace kelvor
