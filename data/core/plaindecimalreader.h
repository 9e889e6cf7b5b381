#pragma once

#include <cstdint>
#include <limits>

namespace kelvor {

// Reads plain decimals (blanks, a sign, digits around at most one point, blanks) straight
// from a packed text's twelve 4-bit codes (code i at bits 4i to 4i+3; 0 after the text, 1 a
// blank, 2 to 11 the digits, 12 to 15 point, minus, plus and exponent letter). Each value is
// the one the text's general reading gives: its digits as a whole number of at most twelve
// digits, divided by an exact power of ten and rounded once.
//
// The texts of one column mostly share their shape (where the blanks, the sign and the point
// stand and how many digits there are), so the reader keeps what it worked out for the last
// shape and reads a text of the same shape from its digits alone: about half the work of
// classing every code, which a pass over a year of records does millions of times.
class PlainDecimalReader {
public:
  // One bit a code, at the code's lowest bit.
  static constexpr std::uint64_t kCodeBits = 0x1111'1111'1111U;
  // No plain decimal reads as NaN, which no plain decimal is.
  static constexpr double kNotPlain = std::numeric_limits<double>::quiet_NaN();

  // What texts of one shape have in common.
  struct Shape {
    // The bits of the codes that are no digits, and those codes; the first shape matches no
    // text (no code reaches bit 63).
    std::uint64_t others = ~std::uint64_t{0};
    std::uint64_t otherCodes = std::uint64_t{1} << 63U;
    // kCodeBits at the digits.
    std::uint64_t digitBits = 0;
    // Keeps the codes before the point; the codes after it move one code down over it.
    std::uint64_t beforePoint = ~std::uint64_t{0};
    // The digits are read as the last digits of a twelve-digit number, the codes after the
    // last digit as zeros; the divisor takes those zeros away with the decimals. Both stay
    // exact: the number is below 10^12 and the divisor at most 10^12. It is negative for a
    // minus, so that a zero reads as -0.
    double divisor = 1.0;

    bool fits(std::uint64_t codes) const {
      const std::uint64_t twelveOrMore = codes & codes >> 1U & digitBits << 2U;
      const std::uint64_t twoOrMore = (codes | codes >> 1U | codes >> 2U) & digitBits << 1U;
      return (codes & others) == otherCodes && twelveOrMore == 0 && twoOrMore == digitBits << 1U;
    }

    double valueOf(std::uint64_t codes) const {
      const std::uint64_t digits = (codes - 2 * digitBits) & digitBits * 0xFU;
      const std::uint64_t joined = (digits & beforePoint) | (digits >> 4U & ~beforePoint);
      return static_cast<double>(numberOf(joined << kAlignment)) / divisor;
    }
  };

  // Moves the twelve codes to the top of sixteen.
  static constexpr unsigned kAlignment = 16;

  double read(std::uint64_t codes) {
    return m_shape.fits(codes) ? m_shape.valueOf(codes) : readNewShape(codes);
  }
  const Shape& shape() const { return m_shape; }

private:
  // Sixteen digit values, the most significant in the lowest code, as a number: neighbours
  // are joined in pairs, fours, eights and the whole, one multiplication a step.
  static std::uint64_t numberOf(std::uint64_t digits) {
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
