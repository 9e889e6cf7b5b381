#pragma once

#include "data/core/plaindecimalreader.h"

#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kelvor {

// Reads a record's MINUTES and VOLTAGE together, each as PlainDecimalReader reads it. Where
// the processor has SSE2 (every x86-64 one), a pair whose texts keep their shapes is read in
// one go, the two texts side by side in one register: a record then costs little more than
// one text alone.
class PlainPairReader {
public:
  // False when either text is no plain decimal.
  bool read(std::uint64_t minutesCodes, std::uint64_t voltsCodes, double& minutes, double& volts) {
#if defined(__SSE2__)
    const __m128i codes =
        _mm_set_epi64x(static_cast<long long>(voltsCodes), static_cast<long long>(minutesCodes));
    if (m_shapes.fit(codes)) {
      const __m128d values = m_shapes.valuesOf(codes);
      _mm_storel_pd(&minutes, values);
      _mm_storeh_pd(&volts, values);
      return true;
    }
#endif
    minutes = m_minutes.read(minutesCodes);
    volts = m_volts.read(voltsCodes);
#if defined(__SSE2__)
    m_shapes = SideBySide(m_minutes.shape(), m_volts.shape());
#endif
    return !std::isnan(minutes) && !std::isnan(volts);
  }

private:
  PlainDecimalReader m_minutes;
  PlainDecimalReader m_volts;

#if defined(__SSE2__)
  // Two shapes side by side, the minutes' in the low half, and the same steps as
  // PlainDecimalReader::Shape on both at once.
  class SideBySide {
  public:
    SideBySide() : SideBySide({}, {}) {}
    SideBySide(const PlainDecimalReader::Shape& low, const PlainDecimalReader::Shape& high)
        : m_others(pair(low.others, high.others)),
          m_otherCodes(pair(low.otherCodes, high.otherCodes)),
          m_digitBits1(pair(low.digitBits << 1U, high.digitBits << 1U)),
          m_digitBits2(pair(low.digitBits << 2U, high.digitBits << 2U)),
          m_twos(pair(2 * low.digitBits, 2 * high.digitBits)),
          m_digitCodes(pair(low.digitBits * 0xFU, high.digitBits * 0xFU)),
          m_beforePoint(pair(low.beforePoint, high.beforePoint)),
          m_divisors(_mm_set_pd(high.divisor, low.divisor)) {}

    bool fit(__m128i codes) const {
      const __m128i down1 = _mm_srli_epi64(codes, 1);
      const __m128i down2 = _mm_srli_epi64(codes, 2);
      const __m128i sameOthers = _mm_cmpeq_epi32(_mm_and_si128(codes, m_others), m_otherCodes);
      const __m128i twelveOrMore = _mm_and_si128(_mm_and_si128(codes, down1), m_digitBits2);
      const __m128i belowTwelve = _mm_cmpeq_epi32(twelveOrMore, _mm_setzero_si128());
      const __m128i twoOrMore = _mm_cmpeq_epi32(
          _mm_and_si128(_mm_or_si128(_mm_or_si128(codes, down1), down2), m_digitBits1),
          m_digitBits1);
      const __m128i all = _mm_and_si128(_mm_and_si128(sameOthers, belowTwelve), twoOrMore);
      return _mm_movemask_epi8(all) == 0xFFFF;
    }

    // The digits joined over the point and moved to the top of sixteen codes, then read as
    // PlainDecimalReader reads them: pairs of codes, fours, eights and the whole.
    __m128d valuesOf(__m128i codes) const {
      const __m128i digits = _mm_and_si128(_mm_sub_epi64(codes, m_twos), m_digitCodes);
      const __m128i joined =
          _mm_or_si128(_mm_and_si128(digits, m_beforePoint),
                       _mm_andnot_si128(m_beforePoint, _mm_srli_epi64(digits, 4)));
      const __m128i aligned = _mm_slli_epi64(joined, PlainDecimalReader::kAlignment);
      const __m128i lowNibbles = _mm_set1_epi8(0x0F);
      const __m128i first = _mm_and_si128(aligned, lowNibbles);
      const __m128i second = _mm_and_si128(_mm_srli_epi16(aligned, 4), lowNibbles);
      // Ten times the first of a pair as eight times plus twice: no byte multiplication.
      const __m128i pairs =
          _mm_add_epi8(_mm_add_epi8(_mm_slli_epi16(first, 3), _mm_slli_epi16(first, 1)), second);
      const __m128i fours = _mm_add_epi16(
          _mm_mullo_epi16(_mm_and_si128(pairs, _mm_set1_epi16(0x00FF)), _mm_set1_epi16(100)),
          _mm_srli_epi16(pairs, 8));
      const __m128i eights = _mm_madd_epi16(fours, _mm_set1_epi32(0x0001'2710));
      const __m128i whole = _mm_add_epi64(_mm_mul_epu32(eights, _mm_set1_epi64x(100000000)),
                                          _mm_srli_epi64(eights, 32));
      // Below 2^52 a whole number is its bits beside those of 2^52, less 2^52.
      const __m128i twoTo52 = _mm_set1_epi64x(0x4330'0000'0000'0000);
      const __m128d number =
          _mm_sub_pd(_mm_castsi128_pd(_mm_or_si128(whole, twoTo52)), _mm_castsi128_pd(twoTo52));
      return _mm_div_pd(number, m_divisors);
    }

  private:
    static __m128i pair(std::uint64_t low, std::uint64_t high) {
      return _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low));
    }

    __m128i m_others;
    __m128i m_otherCodes;
    __m128i m_digitBits1;
    __m128i m_digitBits2;
    __m128i m_twos;
    __m128i m_digitCodes;
    __m128i m_beforePoint;
    __m128d m_divisors;
  };

  SideBySide m_shapes;
#endif
};

} // namespace kelvor
