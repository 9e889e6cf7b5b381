#include "widgets/ledimages.h"

#include <array>
#include <span>
#include <string_view>
#include <vector>

namespace kelvor {
namespace {

// The lamp pictures, top row first: K black, S silver, G grey, W white, L the lens.
constexpr std::array<std::string_view, 16> kLedSm{
    "WWWWWWWWWWWWWWWW", "WSSSSKKKKKKSSSSG", "WSSSKWWWWWSKSSSG", "WSSKWWKKKKSSKSSG",
    "WSKWWKLLLLKSSKSG", "WKWWKWLWLLLKSGKG", "WKWKLLWLLLLLKGKG", "WKWKLWLLLLLLKGKG",
    "WKWKLLLLLLLLKGKG", "WKWKLLLLLLLLKGKG", "WKSSKLLLLLLKGGKG", "WSKSSKLLLLKGGKSG",
    "WSSKSSKKKKGGKSSG", "WSSSKGGGGGGKSSSG", "WSSSSKKKKKKSSSSG", "GGGGGGGGGGGGGGGG",
};

constexpr std::array<std::string_view, 22> kLedLg{
    "WWWWWWWWWWWWWWWWWWWWWW", "WSSSSSSSKKKKKKSSSSSSSG", "WSSSSSKKWWWWWWKKSSSSSG",
    "WSSSKKWWKKKKKKSSKKSSSG", "WSSKWWKKLLLLLLKKSSKSSG", "WSSKWKLLLLLLLLLLKSKSSG",
    "WSKWKLLLWWLLLLLLLKSKSG", "WSKWKLLWWLLLLLLLLKSKSG", "WKWKLLWWLLLLLLLLLLKGKG",
    "WKWKLLWLLLLLLLLLLLKGKG", "WKWKLLLLLLLLLLLLLLKGKG", "WKWKLWWLLLLLLLLLLLKGKG",
    "WKWKLWWLLLLLLLLLLLKGKG", "WKWKLLLLLLLLLLLLLLKGKG", "WSKSKLLLLLLLLLLLLKGKSG",
    "WSKSKLLLLLLLLLLLLKGKSG", "WSSKSKLLLLLLLLLLKGKSSG", "WSSKSSKKLLLLLLKKGGKSSG",
    "WSSSKKSSKKKKKKGGKKSSSG", "WSSSSSKKGGGGGGKKSSSSSG", "WSSSSSSSKKKKKKSSSSSSSG",
    "GGGGGGGGGGGGGGGGGGGGGG",
};

constexpr std::array<std::string_view, 16> kLedSqSm{
    "WWWWWWWWWWWWWWWW", "WKKKKKKKKKKKKKKG", "WKSSSSSSSSSSSSKG", "WKSKKKKKKKKKKGKG",
    "WKSKLLLLLLLLKGKG", "WKSKLLWWWLLLKGKG", "WKSKLWWLLLLLKGKG", "WKSKLWLLLLLLKGKG",
    "WKSKLLLLLLLLKGKG", "WKSKLLLLLLLLKGKG", "WKSKLLLLLLLLKGKG", "WKSKLLLLLLLLKGKG",
    "WKSKKKKKKKKKKGKG", "WKSGGGGGGGGGGGKG", "WKKKKKKKKKKKKKKG", "WGGGGGGGGGGGGGGG",
};

constexpr std::array<std::string_view, 22> kLedSqLg{
    "WWWWWWWWWWWWWWWWWWWWWW", "WKKKKKKKKKKKKKKKKKKKKG", "WKSSSSSSSSSSSSSSSSSSKG",
    "WKSKKKKKKKKKKKKKKKKGKG", "WKSKLLLLLLLLLLLLLLKGKG", "WKSKLLLLLLLLLLLLLLKGKG",
    "WKSKLLLLWWLLLLLLLLKGKG", "WKSKLLLWWLLLLLLLLLKGKG", "WKSKLLWWLLLLLLLLLLKGKG",
    "WKSKLLWLLLLLLLLLLLKGKG", "WKSKLLLLLLLLLLLLLLKGKG", "WKSKLLLLLLLLLLLLLLKGKG",
    "WKSKLLLLLLLLLLLLLLKGKG", "WKSKLLLLLLLLLLLLLLKGKG", "WKSKLLLLLLLLLLLLLLKGKG",
    "WKSKLLLLLLLLLLLLLLKGKG", "WKSKLLLLLLLLLLLLLLKGKG", "WKSKLLLLLLLLLLLLLLKGKG",
    "WKSKKKKKKKKKKKKKKKKGKG", "WKSGGGGGGGGGGGGGGGGGKG", "WKKKKKKKKKKKKKKKKKKKKG",
    "GGGGGGGGGGGGGGGGGGGGGG",
};

constexpr std::array<std::string_view, 22> kLedVt{
    "WWWWWWWWWWWWWW", "WKKKKKKKKKKKKG", "WKSSSSSSSSSSKG", "WKSKKKKKKKKGKG", "WKSKLLLLLLKGKG",
    "WKSKLLWWLLKGKG", "WKSKLWWLLLKGKG", "WKSKLWLLLLKGKG", "WKSKLWLLLLKGKG", "WKSKLLLLLLKGKG",
    "WKSKLLLLLLKGKG", "WKSKLLLLLLKGKG", "WKSKLLLLLLKGKG", "WKSKLLLLLLKGKG", "WKSKLLLLLLKGKG",
    "WKSKLLLLLLKGKG", "WKSKLLLLLLKGKG", "WKSKLLLLLLKGKG", "WKSKKKKKKKKGKG", "WKSGGGGGGGGGKG",
    "WKKKKKKKKKKKKG", "GGGGGGGGGGGGGG",
};

constexpr std::array<std::string_view, 14> kLedHz{
    "WWWWWWWWWWWWWWWWWWWWWW", "WKKKKKKKKKKKKKKKKKKKKG", "WKSSSSSSSSSSSSSSSSSSKG",
    "WKSKKKKKKKKKKKKKKKKGKG", "WKSKLLLLLLLLLLLLLLKGKG", "WKSKLLWWWLLLLLLLLLKGKG",
    "WKSKLWWLLLLLLLLLLLKGKG", "WKSKLWLLLLLLLLLLLLKGKG", "WKSKLLLLLLLLLLLLLLKGKG",
    "WKSKLLLLLLLLLLLLLLKGKG", "WKSKKKKKKKKKKKKKKKKGKG", "WKGGGGGGGGGGGGGGGGGGKG",
    "WKKKKKKKKKKKKKKKKKKKKG", "GGGGGGGGGGGGGGGGGGGGGG",
};

QRgb pixelColor(char code) {
  switch (code) {
  case 'K':
    return qRgb(0, 0, 0);
  case 'S':
    return qRgb(192, 192, 192);
  case 'G':
    return qRgb(128, 128, 128);
  case 'W':
    return qRgb(255, 255, 255);
  default:
    return kLensGreen;
  }
}

std::span<const std::string_view> imageRows(TLEDStyle style) {
  switch (style) {
  case TLEDStyle::LEDSmall:
    return kLedSm;
  case TLEDStyle::LEDLarge:
    return kLedLg;
  case TLEDStyle::LEDSqSmall:
    return kLedSqSm;
  case TLEDStyle::LEDSqLarge:
    return kLedSqLg;
  case TLEDStyle::LEDVertical:
    return kLedVt;
  case TLEDStyle::LEDHorizontal:
    return kLedHz;
  }
  return kLedSm;
}

} // namespace

const char* ledImageName(TLEDStyle style) {
  switch (style) {
  case TLEDStyle::LEDSmall:
    return "LEDSM";
  case TLEDStyle::LEDLarge:
    return "LEDLG";
  case TLEDStyle::LEDSqSmall:
    return "LEDSQSM";
  case TLEDStyle::LEDSqLarge:
    return "LEDSQLG";
  case TLEDStyle::LEDVertical:
    return "LEDVT";
  case TLEDStyle::LEDHorizontal:
    return "LEDHZ";
  }
  return "LEDSM";
}

QImage ledImage(TLEDStyle style) {
  const auto rows = imageRows(style);
  const int height = int(rows.size());
  const int width = int(rows.front().size());
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x)
      line[x] = pixelColor(rows[std::size_t(y)][std::size_t(x)]);
  }
  return image;
}

void floodFill(QImage& image, QPoint start, QRgb replacement) {
  if (!image.rect().contains(start))
    return;
  const QRgb target = image.pixel(start);
  if (target == replacement)
    return;
  std::vector<QPoint> pending{start};
  while (!pending.empty()) {
    const QPoint p = pending.back();
    pending.pop_back();
    if (!image.rect().contains(p) || image.pixel(p) != target)
      continue;
    image.setPixel(p, replacement);
    pending.push_back(p + QPoint(1, 0));
    pending.push_back(p + QPoint(-1, 0));
    pending.push_back(p + QPoint(0, 1));
    pending.push_back(p + QPoint(0, -1));
  }
}

} // namespace kelvor
