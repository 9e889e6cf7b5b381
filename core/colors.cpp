#include "core/colors.h"

#include "core/textcase.h"

#include <array>
#include <charconv>
#include <cstdio>

namespace kelvor {
namespace {

struct NamedColor {
  TColor value;
  const char* name;
};

constexpr std::array kNamedColors{
    NamedColor{clBlack, "clBlack"},
    NamedColor{clMaroon, "clMaroon"},
    NamedColor{clGreen, "clGreen"},
    NamedColor{clOlive, "clOlive"},
    NamedColor{clNavy, "clNavy"},
    NamedColor{clPurple, "clPurple"},
    NamedColor{clTeal, "clTeal"},
    NamedColor{clGray, "clGray"},
    NamedColor{clSilver, "clSilver"},
    NamedColor{clRed, "clRed"},
    NamedColor{clLime, "clLime"},
    NamedColor{clYellow, "clYellow"},
    NamedColor{clBlue, "clBlue"},
    NamedColor{clFuchsia, "clFuchsia"},
    NamedColor{clAqua, "clAqua"},
    NamedColor{clWhite, "clWhite"},
    NamedColor{clScrollBar, "clScrollBar"},
    NamedColor{clBackground, "clBackground"},
    NamedColor{clActiveCaption, "clActiveCaption"},
    NamedColor{clInactiveCaption, "clInactiveCaption"},
    NamedColor{clMenu, "clMenu"},
    NamedColor{clWindow, "clWindow"},
    NamedColor{clWindowFrame, "clWindowFrame"},
    NamedColor{clMenuText, "clMenuText"},
    NamedColor{clWindowText, "clWindowText"},
    NamedColor{clCaptionText, "clCaptionText"},
    NamedColor{clActiveBorder, "clActiveBorder"},
    NamedColor{clInactiveBorder, "clInactiveBorder"},
    NamedColor{clAppWorkSpace, "clAppWorkSpace"},
    NamedColor{clHighlight, "clHighlight"},
    NamedColor{clHighlightText, "clHighlightText"},
    NamedColor{clBtnFace, "clBtnFace"},
    NamedColor{clBtnShadow, "clBtnShadow"},
    NamedColor{clGrayText, "clGrayText"},
    NamedColor{clBtnText, "clBtnText"},
    NamedColor{clInactiveCaptionText, "clInactiveCaptionText"},
    NamedColor{clBtnHighlight, "clBtnHighlight"},
    NamedColor{cl3DDkShadow, "cl3DDkShadow"},
    NamedColor{cl3DLight, "cl3DLight"},
    NamedColor{clInfoText, "clInfoText"},
    NamedColor{clInfoBk, "clInfoBk"},
};

} // namespace

std::string colorToString(TColor color) {
  for (const auto& named : kNamedColors)
    if (named.value == color)
      return named.name;
  std::array<char, 16> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "$%08X", static_cast<unsigned>(color));
  return buffer.data();
}

std::optional<TColor> stringToColor(std::string_view text) {
  for (const auto& named : kNamedColors)
    if (equalIgnoringAsciiCase(text, named.name))
      return named.value;
  if (text.empty())
    return std::nullopt;
  std::uint32_t value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  int base = 10;
  if (text.front() == '$') {
    ++first;
    base = 16;
  } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    first += 2;
    base = 16;
  }
  if (first == last)
    return std::nullopt;
  const auto [ptr, ec] = std::from_chars(first, last, value, base);
  if (ec != std::errc() || ptr != last)
    return std::nullopt;
  return value;
}

} // namespace kelvor
