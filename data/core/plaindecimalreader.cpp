#include "data/core/plaindecimalreader.h"

#include <array>
#include <bit>
#include <cstddef>

namespace kelvor {
namespace {

constexpr unsigned kCodeCount = 12;

// How many codes a mask of codes holds: the multiplication adds every code's bit into the
// last code's place, and no sum of twelve carries out of it.
unsigned codesCounted(std::uint64_t mask) {
  return static_cast<unsigned>((mask * PlainDecimalReader::kCodeBits) >> (4 * (kCodeCount - 1)) &
                               0xFU);
}

// `codes` without the code at `at` (a single bit at a code's lowest bit, or none).
std::uint64_t withoutCode(std::uint64_t codes, std::uint64_t at) {
  const std::uint64_t before = at - 1;
  return (codes & before) | (codes >> 4U & ~before);
}

} // namespace

double PlainDecimalReader::readNewShape(std::uint64_t codes) {
  static constexpr std::array<double, kCodeCount + 1> kPowersOfTen = {
      1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12};
  // Bit 4i of bitK is bit K of code i.
  const std::uint64_t bit0 = codes & kCodeBits;
  const std::uint64_t bit1 = codes >> 1U & kCodeBits;
  const std::uint64_t bit2 = codes >> 2U & kCodeBits;
  const std::uint64_t bit3 = codes >> 3U & kCodeBits;
  const std::uint64_t twelveOrMore = bit3 & bit2;
  const std::uint64_t endsAndBlanks = kCodeBits & ~(bit1 | bit2 | bit3);
  const std::uint64_t digits = kCodeBits & ~twelveOrMore & ~endsAndBlanks;
  const std::uint64_t point = twelveOrMore & ~bit1 & ~bit0;
  const std::uint64_t sign = twelveOrMore & (bit1 ^ bit0);
  const std::uint64_t exponent = twelveOrMore & bit1 & bit0;
  // Between the blanks one run of codes: a sign first, then digits and at most one point.
  const std::uint64_t run = kCodeBits & ~endsAndBlanks;
  const std::uint64_t runFilled = run * 0xFU;
  const bool oneRun = ((runFilled + (runFilled & (~runFilled + 1))) & runFilled) == 0;
  if (digits == 0 || exponent != 0 || (point & (point - 1)) != 0 || (sign & run & (run - 1)) != 0 ||
      !oneRun)
    return kNotPlain;

  // Codes after the last digit once the point is out, read as zeros.
  const auto lastDigit = static_cast<unsigned>(std::bit_width(withoutCode(digits, point)) - 1) / 4;
  const unsigned zeros = kCodeCount - 1 - lastDigit;
  const unsigned decimals = codesCounted(digits & ~(point | (point - 1)));
  const std::uint64_t others = (kCodeBits & ~digits) * 0xFU;
  m_shape = {
      .others = others,
      .otherCodes = codes & others,
      .digitBits = digits,
      .beforePoint = point - 1,
      .divisor = ((sign & bit0) != 0 ? -1.0 : 1.0) * kPowersOfTen[decimals + zeros],
  };
  return m_shape.valueOf(codes);
}

} // namespace kelvor
