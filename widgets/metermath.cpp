#include "widgets/metermath.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>

namespace kelvor {
namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr int kFullCircle16 = 360 * 16;

int normalizedAngle16(int angle16) {
  const int wrapped = angle16 % kFullCircle16;
  return wrapped < 0 ? wrapped + kFullCircle16 : wrapped;
}

// Qt's parametric angle (degrees) of the ray from the centre through the integer point of
// the ellipse at theta.
double parametricAngle(int a, int b, double theta) {
  const MeterPoint p = ellipseOffset(a, b, theta);
  if (p.x == 0 && p.y == 0)
    return 270.0 - theta;
  return std::atan2(-static_cast<double>(p.y) * a, static_cast<double>(p.x) * b) / kDegree;
}

// The decimal digits of a non-negative finite number: value = 0.d1d2d3... × 10^pointPos.
struct Digits {
  std::string digits;
  int pointPos = 0;
};

Digits decimalDigits(double magnitude) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, 17);
  const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const std::size_t e = text.find('e');
  Digits d;
  for (char c : text.substr(0, e))
    if (c != '.')
      d.digits.push_back(c);
  int exponent = 0;
  const std::string_view exponentText = text.substr(e + 1);
  const bool negative = exponentText.front() == '-';
  std::from_chars(exponentText.data() + 1, exponentText.data() + exponentText.size(), exponent);
  d.pointPos = (negative ? -exponent : exponent) + 1;
  return d;
}

// Keeps the first `keep` digits, rounding half away from zero; the result may carry into a
// new leading digit. Keeping none or fewer leaves zero or a single carried "1".
Digits roundDigits(const Digits& in, int keep) {
  Digits out = in;
  if (keep < 0) {
    out.digits.clear();
    return out;
  }
  const auto k = static_cast<std::size_t>(keep);
  if (k >= out.digits.size())
    return out;
  const bool roundUp = out.digits[k] >= '5';
  out.digits.resize(k);
  if (!roundUp)
    return out;
  std::size_t i = k;
  while (i > 0 && out.digits[i - 1] == '9') {
    out.digits[i - 1] = '0';
    --i;
  }
  if (i == 0) {
    out.digits.insert(out.digits.begin(), '1');
    ++out.pointPos;
  } else {
    ++out.digits[i - 1];
  }
  return out;
}

bool allZero(const std::string& digits) {
  return std::all_of(digits.begin(), digits.end(), [](char c) { return c == '0'; });
}

char digitAt(const Digits& d, int index) {
  if (index < 0 || index >= static_cast<int>(d.digits.size()))
    return '0';
  return d.digits[static_cast<std::size_t>(index)];
}

std::string scientificText(const Digits& rounded, std::string_view separator) {
  std::string mantissa = rounded.digits;
  while (mantissa.size() > 1 && mantissa.back() == '0')
    mantissa.pop_back();
  std::string text(1, mantissa.front());
  if (mantissa.size() > 1) {
    text += separator;
    text += mantissa.substr(1);
  }
  const int exponent = rounded.pointPos - 1;
  text += exponent < 0 ? "E-" : "E+";
  const std::string exponentDigits = std::to_string(std::abs(exponent));
  if (exponentDigits.size() < 2)
    text += '0';
  return text + exponentDigits;
}

std::string fixedText(const Digits& rounded, int decimals, std::string_view separator) {
  std::string text;
  if (rounded.pointPos <= 0)
    text = "0";
  for (int i = 0; i < rounded.pointPos; ++i)
    text += digitAt(rounded, i);
  if (decimals > 0) {
    text += separator;
    for (int i = 0; i < decimals; ++i)
      text += digitAt(rounded, rounded.pointPos + i);
  }
  return text;
}

} // namespace

float scaleStartAngle(int angularRange) {
  return static_cast<float>(360 - angularRange) / 2.0f;
}

float scaleAngle(float value, float min, float max, int angularRange) {
  const float start = scaleStartAngle(angularRange);
  if (max == min)
    return start;
  const float theta = (value - min) * static_cast<float>(angularRange) / (max - min) + start;
  return std::isfinite(theta) ? theta : start;
}

int roundHalfEven(double x) {
  if (std::isnan(x))
    return 0;
  const double rounded = std::nearbyint(x);
  if (rounded >= static_cast<double>(std::numeric_limits<int>::max()))
    return std::numeric_limits<int>::max();
  if (rounded <= static_cast<double>(std::numeric_limits<int>::min()))
    return std::numeric_limits<int>::min();
  return static_cast<int>(rounded);
}

MeterPoint ellipseOffset(int a, int b, double theta) {
  if (a <= 0 || b <= 0 || !std::isfinite(theta))
    return {};
  const double s = std::sin(theta * kDegree);
  const double c = std::cos(theta * kDegree);
  const double ad = a;
  const double bd = b;
  const double r = ad * bd / std::sqrt(bd * bd * s * s + ad * ad * c * c);
  return {roundHalfEven(-s * r), roundHalfEven(c * r)};
}

int qtAngle16(double theta) {
  return normalizedAngle16(roundHalfEven(16.0 * (270.0 - theta)));
}

QtArc qtEllipseArc(int a, int b, double alpha, double beta) {
  const double start = parametricAngle(a, b, alpha);
  const double end = parametricAngle(a, b, beta);
  double sweep = std::fmod(start - end, 360.0);
  if (sweep < 0)
    sweep += 360.0;
  // Rounding to integer points can make the ends meet or cross; the meter angles decide
  // whether that means nothing or the full ellipse.
  const double wanted = beta - alpha;
  if (std::abs(sweep - wanted) > 180.0)
    sweep = wanted > 180.0 ? 360.0 : 0.0;
  return {normalizedAngle16(roundHalfEven(16.0 * start)), -roundHalfEven(16.0 * sweep)};
}

std::vector<ZoneSector> zoneSectors(float min, float max, float lowZoneValue, float highZoneValue,
                                    int angularRange) {
  const auto angle = [&](float v) { return scaleAngle(v, min, max, angularRange); };
  const float start = scaleStartAngle(angularRange);
  std::vector<ZoneSector> sectors;
  if (lowZoneValue > min)
    sectors.push_back({Zone::Low, start, angle(lowZoneValue)});
  if (highZoneValue > lowZoneValue)
    sectors.push_back({Zone::OK, angle(lowZoneValue), angle(highZoneValue)});
  if (highZoneValue < max)
    sectors.push_back({Zone::High, angle(highZoneValue), 360.0f - start});
  return sectors;
}

NeedleLayout computeNeedleLayout(int width, int height, int textHeight, float startAngle) {
  NeedleLayout l;
  l.m = (width + height) / 40;
  const int availableHeight = height - 2 * l.m - (textHeight + 2);
  const int availableWidth = width - 2 * l.m;
  if (startAngle >= 90.0f) {
    l.ry = availableHeight;
  } else {
    // Grow the vertical semi-axis until the scale's two ends reach the available height.
    const double a = availableWidth * std::cos(startAngle * kDegree) / 2.0;
    const double sinStart = std::sin(startAngle * kDegree);
    const double s = sinStart * sinStart;
    const auto heightAtEnds = [&](int d) {
      const double denominator = std::sqrt(a * a + s * d * d);
      return d + (denominator > 0.0 ? a * d / denominator : 0.0);
    };
    int d = availableHeight / 2;
    while (heightAtEnds(d) < availableHeight)
      ++d;
    l.ry = d - 1;
  }
  l.cy = l.m + l.ry;
  l.cx = width / 2;
  l.rx = l.cx - l.m;
  const int band = (width + height) / 25;
  l.irx = l.rx - band;
  l.iry = l.ry - band;
  return l;
}

MeterPoint tickLabelTopLeft(MeterPoint anchor, int w, int h, double theta) {
  const auto part = [](int extent, double f) { return static_cast<int>(std::trunc(extent * f)); };
  if (theta <= 45.0 || theta >= 315.0) {
    const double f = theta <= 45.0 ? (45.0 - theta) / 90.0 : 1.0 - (theta - 315.0) / 90.0;
    return {anchor.x - part(w, f), anchor.y - h};
  }
  if (theta < 135.0) {
    const double f = 1.0 - (theta - 45.0) / 90.0;
    return {anchor.x, anchor.y - part(h, f)};
  }
  if (theta <= 225.0) {
    const double f = (theta - 135.0) / 90.0;
    return {anchor.x - part(w, f), anchor.y};
  }
  const double f = (theta - 225.0) / 90.0;
  return {anchor.x - w, anchor.y - part(h, f)};
}

std::string formatFixedPoint(double value, int precision, int digits,
                             std::string_view decimalSeparator) {
  if (std::isnan(value))
    return "NAN";
  if (std::isinf(value))
    return value < 0 ? "-INF" : "INF";
  const int significant = std::clamp(precision, 2, 18);
  const int decimals = std::clamp(digits, 0, 18);
  const Digits exact = decimalDigits(std::abs(value));
  const Digits rounded = roundDigits(exact, std::min(significant, exact.pointPos + decimals));
  if (rounded.pointPos > significant)
    return (value < 0 ? "-" : "") + scientificText(rounded, decimalSeparator);
  const bool zero = rounded.digits.empty() || allZero(rounded.digits);
  const std::string text = fixedText(rounded, decimals, decimalSeparator);
  return (value < 0 && !zero ? "-" : "") + text;
}

} // namespace kelvor
