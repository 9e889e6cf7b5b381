#pragma once

#include "widgets/ledimages.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QLabel;
class QToolButton;
class QWidget;

namespace kelvor {

class TLed;

// Builds page controls at their designed places: positions and sizes are pixels of the
// 800-pixel-wide design, scaled once at start-up.
struct TextLook {
  QColor text = Qt::black;
  QColor background = Qt::transparent;
  int pixelSize = 0;
  bool bold = false;
  bool underline = false;
  QString family = {};
  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
};

QFont designFont(const TextLook& look, const QFont& base);
void applyLook(QWidget* widget, const TextLook& look);
QLabel* placeLabel(QWidget* page, const char* name, const QString& caption, const QRect& place,
                   const TextLook& look);
void place(QWidget* widget, const char* name, const QRect& place);

// A page of the frame's tabs: grey, named by its tab caption, its controls in the designed
// face unless they name another.
void setUpPage(QWidget* page, const char* caption);
// A measuring lamp: steady, black while measuring is off.
TLed* placeLed(QWidget* page, const char* name, const QPoint& at, TLEDStyle style);
QToolButton* placePrintButton(QWidget* page, const char* name, const QRect& rect, const char* hint);

inline const QColor kYellow(255, 255, 0);
inline const QColor kBlue(0, 0, 255);
inline const QColor kWhite(255, 255, 255);
inline const QColor kGreen(0, 128, 0);
inline const QColor kRed(255, 0, 0);

// The heading above a page's main control.
inline const TextLook kHeading{.text = kWhite,
                               .pixelSize = 23,
                               .bold = true,
                               .underline = true,
                               .family = QStringLiteral("MS Sans Serif"),
                               .alignment = Qt::AlignCenter};
inline constexpr char kMeasuringLedHint[] =
    "Tato  LED  dioda  signalizuje,  zda  je  měření  ZAPNUTO  nebo  VYPNUTO";

} // namespace kelvor
