#pragma once

namespace kelvor {

// A byte that continues a UTF-8 sequence rather than starting a character.
inline bool isUtf8ContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0U) == 0x80U;
}

} // namespace kelvor
