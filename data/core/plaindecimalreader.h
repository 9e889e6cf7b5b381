#pragma once

#include <cstdint>
#include <limits>

namespace kelvor {

// Reads plain decimals (blanks, a sign, digits around at most one point, blanks) straight
// from a packed text's twelve 4-bit codes (code i at bits 4i to 4i+3; 0 after the text, 1 a
// blank, 2 to 11 the digits, 12 to 15 point, minus, plus and exponent letter). Each value is
// the text's mantissa of at most twelve digits divided by an exact power of ten, rounded once,
// as the text's general reading gives.
//
// The texts of one column mostly share their shape (where the blanks, the sign and the point
// stand and how many digits there are), so the reader keeps what it worked out for the last
// shape and reads a text of the same shape from its digits alone: about half the work of
// classing every code, which a pass over a year of records does millions of times.
class PlainDecimalReader {
public:
  // No plain decimal reads as NaN, which no plain decimal is.
  static constexpr double kNotPlain = std::numeric_limits<double>::quiet_NaN();

  double read(std::uint64_t codes) {
    if ((codes & m_shape.others) != m_shape.otherCodes || !digitsWhere(codes, m_shape))
      return readNewShape(codes);
    return valueOfDigits(codes, m_shape);
  }

private:
  // One bit a code, at the code's lowest bit.
  static constexpr std::uint64_t kCodeBits = 0x1111'1111'1111U;

  struct Shape {
    // Every bit of the codes that are no digits, and those codes; the initial shape matches
    // no text (no code reaches bit 63).
    std::uint64_t others = ~std::uint64_t{0};
    std::uint64_t otherCodes = std::uint64_t{1} << 63U;
    std::uint64_t digitBits = 0; // kCodeBits at the digits
    // Keeps the codes before the point; the rest move one code down over it.
    std::uint64_t beforePoint = ~std::uint64_t{0};
    // Moves the last digit to the top of sixteen codes.
    unsigned shift = 0;
    // The power of ten of the decimals, negative for a minus: a zero then reads as -0.
    double divisor = 1.0;
  };

  // Every code where the shape has a digit lies in 2 to 11.
  static bool digitsWhere(std::uint64_t codes, const Shape& shape) {
    const std::uint64_t twelveOrMore = codes & codes >> 1U & shape.digitBits << 2U;
    const std::uint64_t twoOrMore = (codes | codes >> 1U | codes >> 2U) & shape.digitBits << 1U;
    return twelveOrMore == 0 && twoOrMore == shape.digitBits << 1U;
  }

  static double valueOfDigits(std::uint64_t codes, const Shape& shape) {
    const std::uint64_t digits = (codes - 2 * shape.digitBits) & shape.digitBits * 0xFU;
    const std::uint64_t joined = (digits & shape.beforePoint) | (digits >> 4U & ~shape.beforePoint);
    return static_cast<double>(mantissaOf(joined << shape.shift)) / shape.divisor;
  }

  // Sixteen digit values, the most significant in the lowest code, as a number: neighbours
  // are joined in pairs, fours, eights and the whole, one multiplication a step.
  static std::uint64_t mantissaOf(std::uint64_t digits) {
    const std::uint64_t pairs =
        (digits & 0x0F0F'0F0F'0F0F'0F0FU) * 10 + (digits >> 4U & 0x0F0F'0F0F'0F0F'0F0FU);
    const std::uint64_t fours =
        (pairs & 0x00FF'00FF'00FF'00FFU) * 100 + (pairs >> 8U & 0x00FF'00FF'00FF'00FFU);
    const std::uint64_t eights =
        (fours & 0x0000'FFFF'0000'FFFFU) * 10000 + (fours >> 16U & 0x0000'FFFF'0000'FFFFU);
    return (eights & 0xFFFF'FFFFU) * 100000000 + (eights >> 32U);
  }

  // Classes every code, and reads the text as the shape it has.
  double readNewShape(std::uint64_t codes);

  Shape m_shape;
};

} // namespace kelvor
