#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvor {

// Texts inside the program are UTF-8. Files and the logger may carry Windows-1250, the code
// page of the Czech Windows programs that wrote them.

// A byte that continues a UTF-8 sequence rather than starting a character.
inline bool isUtf8ContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0U) == 0x80U;
}

// The characters (code points) of UTF-8 text.
std::size_t utf8CharacterCount(std::string_view utf8);
// The byte offset where the character `characters` after the one at `from` begins (or the end).
std::size_t offsetOfCharacter(std::string_view utf8, std::size_t from, std::size_t characters);

// Checks bytes for valid UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF)
// piece by piece, so a sequence may be split between two pieces.
class Utf8Validator {
public:
  void feed(std::string_view bytes);
  bool isValid() const { return m_valid && m_pending == 0; }
  void reset() { *this = Utf8Validator(); }

private:
  int m_pending = 0;
  unsigned char m_low = 0x80;
  unsigned char m_high = 0xBF;
  bool m_valid = true;
};

bool isValidUtf8(std::string_view bytes);
std::string windows1250ToUtf8(std::string_view bytes);
// UTF-8 text in Windows-1250, for file formats that carry that code page; a character the
// code page lacks (or a byte that is no UTF-8) becomes "?".
std::string utf8ToWindows1250(std::string_view utf8);

} // namespace kelvor
