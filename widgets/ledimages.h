#pragma once

#include <QImage>

namespace kelvor {

enum class TLEDStyle { LEDSmall, LEDLarge, LEDSqSmall, LEDSqLarge, LEDVertical, LEDHorizontal };

// The lens of every lamp picture is drawn in this pure green; recolouring replaces it.
inline constexpr QRgb kLensGreen = 0xFF00FF00;

// The resource name of the style's picture: "LEDSM", "LEDLG", "LEDSQSM", "LEDSQLG", "LEDVT",
// "LEDHZ".
const char* ledImageName(TLEDStyle style);

// The style's picture (16 colours, lens in kLensGreen); its size is the lamp's size.
QImage ledImage(TLEDStyle style);

// Replaces the 4-connected area of the start pixel's colour by `replacement`; nothing happens
// when the start pixel lies outside the image or already has the replacement colour.
void floodFill(QImage& image, QPoint start, QRgb replacement);

} // namespace kelvor
