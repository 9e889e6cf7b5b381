#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvor {

// A colour as the settings file and the controls know it: 0x00BBGGRR for a plain colour
// (blue in the high byte), or a system colour (high bit set, low byte the system index)
// that resolves through the present palette.
using TColor = std::uint32_t;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;

inline constexpr TColor kSystemColor = 0x80000000;
inline constexpr TColor clScrollBar = kSystemColor | 0x00;
inline constexpr TColor clBackground = kSystemColor | 0x01;
inline constexpr TColor clActiveCaption = kSystemColor | 0x02;
inline constexpr TColor clInactiveCaption = kSystemColor | 0x03;
inline constexpr TColor clMenu = kSystemColor | 0x04;
inline constexpr TColor clWindow = kSystemColor | 0x05;
inline constexpr TColor clWindowFrame = kSystemColor | 0x06;
inline constexpr TColor clMenuText = kSystemColor | 0x07;
inline constexpr TColor clWindowText = kSystemColor | 0x08;
inline constexpr TColor clCaptionText = kSystemColor | 0x09;
inline constexpr TColor clActiveBorder = kSystemColor | 0x0A;
inline constexpr TColor clInactiveBorder = kSystemColor | 0x0B;
inline constexpr TColor clAppWorkSpace = kSystemColor | 0x0C;
inline constexpr TColor clHighlight = kSystemColor | 0x0D;
inline constexpr TColor clHighlightText = kSystemColor | 0x0E;
inline constexpr TColor clBtnFace = kSystemColor | 0x0F;
inline constexpr TColor clBtnShadow = kSystemColor | 0x10;
inline constexpr TColor clGrayText = kSystemColor | 0x11;
inline constexpr TColor clBtnText = kSystemColor | 0x12;
inline constexpr TColor clInactiveCaptionText = kSystemColor | 0x13;
inline constexpr TColor clBtnHighlight = kSystemColor | 0x14;
inline constexpr TColor cl3DDkShadow = kSystemColor | 0x15;
inline constexpr TColor cl3DLight = kSystemColor | 0x16;
inline constexpr TColor clInfoText = kSystemColor | 0x17;
inline constexpr TColor clInfoBk = kSystemColor | 0x18;

constexpr bool isSystemColor(TColor c) {
  return (c & kSystemColor) != 0;
}
constexpr TColor rgbColor(int r, int g, int b) {
  return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

// "clBlue", or "$00BBGGRR" for a colour without a name.
std::string colorToString(TColor color);
// An identifier (without regard to case), "$" and hexadecimal digits, or a decimal number.
std::optional<TColor> stringToColor(std::string_view text);

} // namespace kelvor
