#pragma once

#include "core/colors.h"

#include <QColor>

namespace kelvor {

// The colour as drawn now: a system colour through the application palette.
QColor toQColor(TColor color);
// The packed 0x00BBGGRR value of the colour as drawn now (system colours resolved).
TColor resolvedRgb(TColor color);
TColor fromQColor(const QColor& color);

} // namespace kelvor
