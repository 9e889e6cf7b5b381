#pragma once

#include "data/timeformat.h"

#include <string>
#include <vector>

namespace kelvor {

// Seconds of the day as a TimeFormat writes them, in UTF-8, for writing many of them. The
// format's pattern is taken apart once into literal pieces and hour, minute and
// second fields whose texts the format itself writes, so a time costs a few copies instead of
// a locale's formatting. Where the pieces do not give the format's own texts back (a pattern
// read differently than expected), every time is formatted whole by the format instead.
class TimeOfDayTexts {
public:
  explicit TimeOfDayTexts(const TimeFormat& format = TimeFormat());

  // `secondsOfDay` lies in [0, 86400).
  std::string of(int secondsOfDay) const;
  // False when the times are formatted whole.
  bool isComposed() const { return !m_pieces.empty(); }

private:
  // What a piece's text depends on; compose() indexes the values of a time by it.
  enum class Unit { Fixed, Hour, Minute, Second };
  struct Piece {
    Unit unit = Unit::Fixed;
    std::vector<std::string> texts; // by the value of the unit
  };

  void compose(int secondsOfDay, std::string& text) const;
  bool composesLikeTheFormat() const;

  TimeFormat m_format;
  std::vector<Piece> m_pieces;
  std::size_t m_longest = 0; // the sum of each piece's longest text
};

} // namespace kelvor
