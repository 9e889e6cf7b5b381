#include "app/pages/pagebuilder.h"

#include "app/designfonts.h"
#include "app/pages/printbuttonicon.h"
#include "widgets/controlhint.h"
#include "widgets/led.h"

#include <QLabel>
#include <QToolButton>

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

void setUpPage(QWidget* page, const char* caption) {
  page->setObjectName(QString::fromLatin1(caption));
  QFont face = page->font();
  face.setFamily(QString::fromLatin1(kDesignFace));
  page->setFont(face);
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

QToolButton* placePrintButton(QWidget* page, const char* name, const QRect& rect,
                              const char* hint) {
  auto* button = new QToolButton(page);
  place(button, name, rect);
  button->setAutoRaise(true);
  button->setIcon(printButtonIcon());
  setHint(button, QString::fromUtf8(hint));
  return button;
}

} // namespace kelvor
