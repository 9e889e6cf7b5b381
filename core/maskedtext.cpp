#include "core/maskedtext.h"

#include "core/textencoding.h"

#include <algorithm>

namespace kelvor {
namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

} // namespace

EditMask::EditMask(std::string_view mask) {
  std::size_t i = 0;
  for (; i < mask.size() && mask[i] != ';'; ++i) {
    Position position;
    if (mask[i] == '\\' && i + 1 < mask.size()) {
      position.literal = mask[++i];
    } else if (mask[i] == '9') {
      position.kind = Kind::OptionalDigit;
    } else if (mask[i] == '0') {
      position.kind = Kind::RequiredDigit;
    } else {
      position.literal = mask[i];
    }
    m_positions.push_back(position);
  }
  const std::size_t blankField = mask.find(';', std::min(i + 1, mask.size()));
  if (blankField != std::string_view::npos && blankField + 1 < mask.size())
    m_blank = mask[blankField + 1];
}

bool EditMask::isLiteral(std::size_t pos) const {
  return pos < m_positions.size() && m_positions[pos].kind == Kind::Literal;
}

std::string EditMask::emptyText() const {
  std::string text;
  text.reserve(m_positions.size());
  for (const Position& position : m_positions)
    text.push_back(position.kind == Kind::Literal ? position.literal : ' ');
  return text;
}

std::string EditMask::shape(std::string_view text) const {
  std::string shaped = emptyText();
  std::size_t pos = 0;
  for (std::size_t i = 0; i < text.size() && pos < shaped.size(); ++i) {
    if (isUtf8ContinuationByte(text[i]))
      continue;
    if (!isLiteral(pos) && isDigit(text[i]))
      shaped[pos] = text[i];
    ++pos;
  }
  return shaped;
}

std::optional<std::size_t> EditMask::pointPosition() const {
  for (std::size_t pos = 0; pos < m_positions.size(); ++pos) {
    if (isLiteral(pos) && m_positions[pos].literal == '.')
      return pos;
  }
  return std::nullopt;
}

std::string EditMask::shapeValue(std::string_view text) const {
  const std::size_t begin = text.find_first_not_of(' ');
  const std::size_t end = text.find_last_not_of(' ');
  const std::string_view number =
      begin == std::string_view::npos ? std::string_view() : text.substr(begin, end - begin + 1);
  const std::size_t dot = number.find('.');
  const std::string_view whole = number.substr(0, dot);
  const std::string_view fraction =
      dot == std::string_view::npos ? std::string_view() : number.substr(dot + 1);
  const auto allDigits = [](std::string_view part) {
    return std::all_of(part.begin(), part.end(), isDigit);
  };
  const std::optional<std::size_t> point = pointPosition();
  if (!point || whole.size() + fraction.size() == 0 || !allDigits(whole) || !allDigits(fraction))
    return shape(text);

  std::string shaped = emptyText();
  std::size_t digit = whole.size();
  for (std::size_t pos = *point; pos > 0 && digit > 0; --pos) {
    if (!isLiteral(pos - 1))
      shaped[pos - 1] = whole[--digit];
  }
  if (digit > 0)
    return shape(text);
  digit = 0;
  for (std::size_t pos = *point + 1; pos < shaped.size() && digit < fraction.size(); ++pos) {
    if (!isLiteral(pos))
      shaped[pos] = fraction[digit++];
  }
  return shaped;
}

std::string EditMask::displayText(std::string_view shapedText) const {
  std::string display = shape(shapedText);
  for (std::size_t pos = 0; pos < display.size(); ++pos) {
    if (!isLiteral(pos) && display[pos] == ' ')
      display[pos] = m_blank;
  }
  return display;
}

bool EditMask::fits(std::size_t pos, char ch) const {
  if (pos >= m_positions.size())
    return false;
  switch (m_positions[pos].kind) {
  case Kind::OptionalDigit:
    return isDigit(ch) || ch == ' ';
  case Kind::RequiredDigit:
    return isDigit(ch);
  case Kind::Literal:
    break;
  }
  return false;
}

std::string EditMask::unfilled(std::string_view shapedText, std::size_t from,
                               std::size_t to) const {
  std::string text = shape(shapedText);
  to = std::min(to, text.size());
  for (std::size_t pos = from; pos < to; ++pos) {
    if (!isLiteral(pos))
      text[pos] = ' ';
  }
  return text;
}

std::size_t EditMask::nextDataPosition(std::size_t pos) const {
  while (pos < m_positions.size() && isLiteral(pos))
    ++pos;
  return pos;
}

std::optional<EditMask::Edit> EditMask::typeCharacter(std::string_view shapedText, std::size_t from,
                                                      std::size_t to, char ch) const {
  if (from > to)
    std::swap(from, to);
  std::string text = unfilled(shapedText, from, to);
  const auto literal =
      std::find_if(m_positions.begin() + static_cast<std::ptrdiff_t>(std::min(from, length())),
                   m_positions.end(), [ch](const Position& position) {
                     return position.kind == Kind::Literal && position.literal == ch;
                   });
  if (literal != m_positions.end() && !fits(from, ch)) {
    const auto past = static_cast<std::size_t>(literal - m_positions.begin()) + 1;
    return Edit{text, nextDataPosition(past)};
  }
  const std::size_t pos = nextDataPosition(from);
  if (!fits(pos, ch))
    return std::nullopt;
  text[pos] = ch;
  return Edit{text, nextDataPosition(pos + 1)};
}

EditMask::Edit EditMask::eraseBackward(std::string_view shapedText, std::size_t from,
                                       std::size_t to) const {
  if (from > to)
    std::swap(from, to);
  if (from != to)
    return Edit{unfilled(shapedText, from, to), std::min(from, length())};
  std::string text = shape(shapedText);
  std::size_t pos = std::min(from, text.size());
  while (pos > 0 && isLiteral(pos - 1))
    --pos;
  if (pos == 0)
    return Edit{text, std::min(from, text.size())};
  text[pos - 1] = ' ';
  return Edit{text, pos - 1};
}

EditMask::Edit EditMask::eraseForward(std::string_view shapedText, std::size_t from,
                                      std::size_t to) const {
  if (from > to)
    std::swap(from, to);
  if (from != to)
    return Edit{unfilled(shapedText, from, to), std::min(from, length())};
  std::string text = shape(shapedText);
  const std::size_t pos = nextDataPosition(from);
  if (pos < text.size())
    text[pos] = ' ';
  return Edit{text, std::min(from, text.size())};
}

} // namespace kelvor
