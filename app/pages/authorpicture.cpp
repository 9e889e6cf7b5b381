#include "app/pages/authorpicture.h"

#include <QPainter>
#include <QPainterPath>

namespace kelvor {

void AuthorPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF area = rect().adjusted(8, 8, -8, -8);
  const QRectF body(area.left() + area.width() * 0.2, area.top() + area.height() * 0.12,
                    area.width() * 0.6, area.height() * 0.85);
  const QRectF terminal(body.center().x() - body.width() * 0.15, area.top(), body.width() * 0.3,
                        area.height() * 0.12);
  painter.setPen(QPen(Qt::black, 3));
  painter.setBrush(QColor(128, 128, 128));
  painter.drawRect(terminal);
  painter.setBrush(QColor(0, 0, 255));
  painter.drawRoundedRect(body, 6, 6);

  const QRectF charge = body.adjusted(8, body.height() * 0.3, -8, -8);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0, 255, 0));
  painter.drawRect(charge);

  QPainterPath curve;
  curve.moveTo(body.left() + 8, body.top() + body.height() * 0.18);
  curve.cubicTo(body.center().x(), body.top() + body.height() * 0.15, body.center().x(),
                body.top() + body.height() * 0.22, body.right() - 8,
                body.top() + body.height() * 0.26);
  painter.setPen(QPen(QColor(255, 255, 0), 3));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(curve);
}

} // namespace kelvor
