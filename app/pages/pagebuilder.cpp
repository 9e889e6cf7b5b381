#include "app/pages/pagebuilder.h"

#include <QLabel>

namespace kelvor {

QFont designFont(const TextLook& look, const QFont& base) {
  QFont font = base;
  if (!look.family.isEmpty())
    font.setFamily(look.family);
  if (look.pixelSize > 0)
    font.setPixelSize(look.pixelSize);
  font.setBold(look.bold);
  font.setUnderline(look.underline);
  return font;
}

void applyLook(QWidget* widget, const TextLook& look) {
  widget->setFont(designFont(look, widget->font()));
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, look.text);
  palette.setColor(QPalette::Text, look.text);
  palette.setColor(QPalette::ButtonText, look.text);
  if (look.background.alpha() != 0) {
    palette.setColor(QPalette::Window, look.background);
    palette.setColor(QPalette::Base, look.background);
    widget->setAutoFillBackground(true);
  }
  widget->setPalette(palette);
}

QLabel* placeLabel(QWidget* page, const char* name, const QString& caption, const QRect& rect,
                   const TextLook& look) {
  auto* label = new QLabel(caption, page);
  place(label, name, rect);
  applyLook(label, look);
  label->setAlignment(look.alignment);
  return label;
}

void place(QWidget* widget, const char* name, const QRect& rect) {
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(rect);
}

} // namespace kelvor
