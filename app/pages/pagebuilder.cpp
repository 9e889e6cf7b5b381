#include "app/pages/pagebuilder.h"

#include "widgets/led.h"

#include <QLabel>

namespace kelvor {

const TextLook kHeading{.text = kWhite,
                        .pixelSize = 23,
                        .bold = true,
                        .underline = true,
                        .family = QStringLiteral("MS Sans Serif"),
                        .alignment = Qt::AlignCenter};

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

void shapePage(QWidget* page, const char* name) {
  page->setObjectName(QString::fromLatin1(name));
  QPalette grey = page->palette();
  grey.setColor(QPalette::Window, QColor(128, 128, 128));
  page->setPalette(grey);
  page->setAutoFillBackground(true);
}

TLed* placeLed(QWidget* page, const char* name, const QPoint& at, TLEDStyle style) {
  auto* led = new TLed(page);
  led->setFalseColor(clBlack);
  led->setBlink(false);
  led->setLEDStyle(style);
  place(led, name, QRect(at, led->size()));
  return led;
}

} // namespace kelvor
