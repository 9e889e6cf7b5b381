#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvor {

// A positional edit mask written as "999.9;1;_": the positions, then after ";" the flag that
// keeps literals in the text (the program's masks all do, and this text always keeps them),
// then after another ";" the character that shows an unfilled position.
//
// Positions: "9" an optional digit, "0" a required digit, "\" makes the next character a
// literal, every other character is a literal that stands in the text as it is. Mask and
// texts are ASCII.
//
// The text always has the mask's shape: one character per position, a blank for an unfilled
// data position, the literals in place.
class EditMask {
public:
  // A text with the caret where the next character will be typed.
  struct Edit {
    std::string text;
    std::size_t caret = 0;
  };

  explicit EditMask(std::string_view mask);

  std::size_t length() const { return m_positions.size(); }
  bool isLiteral(std::size_t pos) const;
  char blankChar() const { return m_blank; }

  // Every data position unfilled: "   . " for "999.9;1;_".
  std::string emptyText() const;

  // Lays `text` over the mask from the left, one character per position: a digit on a data
  // position fills it, any other character there leaves it unfilled, a character on a literal
  // position is dropped (the literal stays), characters beyond the mask are dropped and a
  // shorter text leaves the rest unfilled. A shaped text comes back unchanged; "1.0" on
  // "999.9" gives "1 0. ". Non-ASCII characters count as one position each.
  std::string shape(std::string_view text) const;

  // Lays a value read from a file (a settings file) over the mask. A number (digits with at
  // most one ".", blanks around them) stands aligned at the mask's first "." literal: its
  // whole part right-aligned in the data positions before it, its fraction left-aligned in
  // those after it, fraction digits beyond the last position dropped. "1.000000000" on
  // "999.999999999" gives "  1.000000000", "12.5" gives " 12.5        ". Anything else, a
  // whole part longer than its positions, or a mask without a point is laid as shape() does.
  std::string shapeValue(std::string_view text) const;

  // The text as shown: unfilled data positions in the blank character.
  std::string displayText(std::string_view shapedText) const;

  // Typing `ch` over the range [from, to) (from == to: the caret): the range is unfilled
  // first, a literal under the caret is skipped, and the character replaces the data position
  // there; the caret then moves past it and past any literals that follow. Typing a literal's
  // character moves the caret past that literal. No result when the character does not fit
  // or the caret stands at the end.
  std::optional<Edit> typeCharacter(std::string_view shapedText, std::size_t from, std::size_t to,
                                    char ch) const;

  // Backspace: unfills the range, or else the data position before the caret (over literals).
  Edit eraseBackward(std::string_view shapedText, std::size_t from, std::size_t to) const;
  // Delete: unfills the range, or else the data position at the caret; the caret stays.
  Edit eraseForward(std::string_view shapedText, std::size_t from, std::size_t to) const;

private:
  enum class Kind { Literal, OptionalDigit, RequiredDigit };
  struct Position {
    Kind kind = Kind::Literal;
    char literal = ' ';
  };

  bool fits(std::size_t pos, char ch) const;
  std::string unfilled(std::string_view shapedText, std::size_t from, std::size_t to) const;
  std::size_t nextDataPosition(std::size_t pos) const;
  std::optional<std::size_t> pointPosition() const;

  std::vector<Position> m_positions;
  char m_blank = '_';
};

} // namespace kelvor
