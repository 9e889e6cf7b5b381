#pragma once

#include "widgets/ledimages.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

class QLabel;
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
// Names a page after its tab and gives it the pages' grey.
void shapePage(QWidget* page, const char* name);
// A measuring lamp: steady, black while measuring is off.
TLed* placeLed(QWidget* page, const char* name, const QPoint& at, TLEDStyle style);

inline const QColor kYellow(255, 255, 0);
inline const QColor kBlue(0, 0, 255);
inline const QColor kWhite(255, 255, 255);
inline const QColor kGreen(0, 128, 0);
inline const QColor kRed(255, 0, 0);

// The pages' underlined white headings.
extern const TextLook kHeading;
inline constexpr char kMeasuringLedHint[] =
    "Tato  LED  dioda  signalizuje,  zda  je  měření  ZAPNUTO  nebo  VYPNUTO";

} // namespace kelvor
