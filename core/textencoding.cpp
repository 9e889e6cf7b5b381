#include "core/textencoding.h"

#include <algorithm>
#include <array>

namespace kelvor {
namespace {

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// One character's bytes as a code point; anything but a whole, valid sequence gives a value
// no code page holds.
char32_t decodeUtf8(std::string_view bytes) {
  constexpr char32_t kInvalid = 0xFFFFFFFF;
  if (bytes.empty() || !isValidUtf8(bytes))
    return kInvalid;
  const auto lead = static_cast<unsigned char>(bytes.front());
  if (lead < 0x80)
    return lead;
  const std::size_t trailing = bytes.size() - 1;
  char32_t c = lead & (0x3Fu >> trailing);
  for (std::size_t k = 1; k < bytes.size(); ++k)
    c = (c << 6) | (static_cast<unsigned char>(bytes[k]) & 0x3Fu);
  return c;
}

// Windows-1250 bytes 0x80 to 0xFF. The five unassigned bytes keep their C1 control value, as
// the Windows conversion does.
constexpr std::array<char16_t, 128> kWindows1250High = {
    0x20AC, 0x0081, 0x201A, 0x0083, 0x201E, 0x2026, 0x2020, 0x2021, 0x0088, 0x2030, 0x0160, 0x2039,
    0x015A, 0x0164, 0x017D, 0x0179, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141,
    0x00A4, 0x0104, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B,
    0x00B0, 0x00B1, 0x02DB, 0x0142, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB,
    0x013D, 0x02DD, 0x013E, 0x017C, 0x0154, 0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7,
    0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD, 0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3,
    0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA, 0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF,
    0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7, 0x010D, 0x00E9, 0x0119, 0x00EB,
    0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4, 0x0151, 0x00F6, 0x00F7,
    0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

} // namespace

std::size_t utf8CharacterCount(std::string_view utf8) {
  return static_cast<std::size_t>(
      std::count_if(utf8.begin(), utf8.end(), [](char c) { return !isUtf8ContinuationByte(c); }));
}

std::size_t offsetOfCharacter(std::string_view utf8, std::size_t from, std::size_t characters) {
  std::size_t i = from;
  while (i < utf8.size() && characters > 0) {
    ++i;
    while (i < utf8.size() && isUtf8ContinuationByte(utf8[i]))
      ++i;
    --characters;
  }
  return i;
}

void Utf8Validator::feed(std::string_view bytes) {
  for (const char ch : bytes) {
    if (!m_valid)
      return;
    const auto b = static_cast<unsigned char>(ch);
    if (m_pending > 0) {
      if (b < m_low || b > m_high) {
        m_valid = false;
        return;
      }
      --m_pending;
      m_low = 0x80;
      m_high = 0xBF;
      continue;
    }
    if (b < 0x80)
      continue;
    if (b >= 0xC2 && b <= 0xDF) {
      m_pending = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      m_pending = 2;
      if (b == 0xE0)
        m_low = 0xA0; // overlong
      else if (b == 0xED)
        m_high = 0x9F; // surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
      m_pending = 3;
      if (b == 0xF0)
        m_low = 0x90; // overlong
      else if (b == 0xF4)
        m_high = 0x8F; // beyond U+10FFFF
    } else {
      m_valid = false;
    }
  }
}

bool isValidUtf8(std::string_view bytes) {
  Utf8Validator validator;
  validator.feed(bytes);
  return validator.isValid();
}

std::string windows1250ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    appendUtf8(out, b < 0x80 ? char32_t{b} : char32_t{kWindows1250High[b - 0x80]});
  }
  return out;
}

std::string utf8ToWindows1250(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::size_t next = offsetOfCharacter(utf8, i, 1);
    const char32_t c = decodeUtf8(utf8.substr(i, next - i));
    i = next;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    const auto* found = std::find(kWindows1250High.begin(), kWindows1250High.end(), c);
    out.push_back(found == kWindows1250High.end()
                      ? '?'
                      : static_cast<char>(0x80 + (found - kWindows1250High.begin())));
  }
  return out;
}

} // namespace kelvor
