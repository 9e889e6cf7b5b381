#include "widgets/tcolor.h"

#include <QApplication>
#include <QPalette>

namespace kelvor {
namespace {

QColor systemColor(TColor color) {
  const QPalette palette = QApplication::palette();
  switch (color) {
  case clWindow:
  case clInfoBk:
    return palette.color(QPalette::Base);
  case clWindowText:
  case clMenuText:
  case clCaptionText:
  case clInfoText:
    return palette.color(QPalette::WindowText);
  case clBtnText:
    return palette.color(QPalette::ButtonText);
  case clBtnFace:
  case clMenu:
  case clScrollBar:
  case clActiveBorder:
  case clInactiveBorder:
    return palette.color(QPalette::Button);
  case clBtnShadow:
    return palette.color(QPalette::Dark);
  case clBtnHighlight:
    return palette.color(QPalette::Light);
  case cl3DLight:
    return palette.color(QPalette::Midlight);
  case cl3DDkShadow:
  case clWindowFrame:
    return palette.color(QPalette::Shadow);
  case clHighlight:
  case clActiveCaption:
    return palette.color(QPalette::Highlight);
  case clHighlightText:
    return palette.color(QPalette::HighlightedText);
  case clGrayText:
  case clInactiveCaption:
  case clInactiveCaptionText:
    return palette.color(QPalette::Disabled, QPalette::Text);
  case clBackground:
  case clAppWorkSpace:
    return palette.color(QPalette::Window);
  default:
    return palette.color(QPalette::Button);
  }
}

} // namespace

QColor toQColor(TColor color) {
  if (isSystemColor(color))
    return systemColor(color);
  return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

TColor resolvedRgb(TColor color) {
  return fromQColor(toQColor(color));
}

TColor fromQColor(const QColor& color) {
  return rgbColor(color.red(), color.green(), color.blue());
}

} // namespace kelvor
