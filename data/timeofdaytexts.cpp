#include "data/timeofdaytexts.h"

#include <QTime>

#include <algorithm>
#include <array>
#include <optional>

namespace kelvor {
namespace {

// One token of a time pattern as QTime formatting reads it.
struct Token {
  enum class Kind { Literal, Hour, TwelveHour, Minute, Second, Milliseconds, AmPm, Unknown };
  Kind kind = Kind::Literal;
  QString source;
};

qsizetype runLength(const QString& pattern, qsizetype at) {
  qsizetype end = at;
  while (end < pattern.size() && pattern[end] == pattern[at])
    ++end;
  return end - at;
}

// The length of the quoted text starting at `at`: up to the closing quote, a doubled quote
// inside standing for a quote; a lone doubled quote is a quote too.
qsizetype quotedLength(const QString& pattern, qsizetype at) {
  qsizetype end = at + 1;
  if (end < pattern.size() && pattern[end] == kTimePatternQuote)
    return 2;
  while (end < pattern.size()) {
    if (pattern[end] != kTimePatternQuote) {
      ++end;
    } else if (end + 1 < pattern.size() && pattern[end + 1] == kTimePatternQuote) {
      end += 2;
    } else {
      ++end;
      break;
    }
  }
  return end - at;
}

// The token starting at `at`: its kind and how many characters of the pattern it takes.
std::pair<Token::Kind, qsizetype> tokenAt(const QString& pattern, qsizetype at) {
  using Kind = Token::Kind;
  const QChar c = pattern[at];
  const qsizetype run = runLength(pattern, at);
  switch (c.unicode()) {
  case '\'':
    return {Kind::Literal, quotedLength(pattern, at)};
  case 'h':
    return {Kind::TwelveHour, std::min<qsizetype>(run, 2)};
  case 'H':
    return {Kind::Hour, std::min<qsizetype>(run, 2)};
  case 'm':
    return {Kind::Minute, std::min<qsizetype>(run, 2)};
  case 's':
    return {Kind::Second, std::min<qsizetype>(run, 2)};
  case 'z':
    return {Kind::Milliseconds, run >= 3 ? 3 : 1};
  case 'a':
  case 'A': {
    const bool withP = at + 1 < pattern.size() && pattern[at + 1].toLower() == u'p';
    return {Kind::AmPm, withP ? 2 : 1};
  }
  case 't':
    return {Kind::Unknown, run};
  default:
    return {Kind::Literal, run};
  }
}

std::vector<Token> tokensOf(const QString& pattern) {
  std::vector<Token> tokens;
  bool hasAmPm = false;
  for (qsizetype at = 0; at < pattern.size();) {
    const auto [kind, length] = tokenAt(pattern, at);
    tokens.push_back({kind, pattern.mid(at, length)});
    hasAmPm = hasAmPm || kind == Token::Kind::AmPm;
    at += length;
  }
  // "h" counts the hours from 1 to 12 only beside an AM/PM marker.
  for (Token& token : tokens)
    if (token.kind == Token::Kind::TwelveHour && !hasAmPm)
      token.kind = Token::Kind::Hour;
  return tokens;
}

std::string formatted(const QLocale& locale, const QTime& time, const QString& pattern) {
  return locale.toString(time, pattern).toStdString();
}

// The hour a twelve-hour clock shows, 12 for midnight and noon.
int twelveHourOf(int hour) {
  return hour % 12 == 0 ? 12 : hour % 12;
}

} // namespace

TimeOfDayTexts::TimeOfDayTexts(const TimeFormat& format) : m_format(format) {
  using Kind = Token::Kind;
  const QLocale& locale = m_format.locale();
  for (const Token& token : tokensOf(m_format.pattern())) {
    Piece piece;
    switch (token.kind) {
    case Kind::Literal:
    case Kind::Milliseconds: // every time of the table is a whole second
      piece.texts = {formatted(locale, QTime(0, 0), token.source)};
      break;
    case Kind::Hour:
    case Kind::AmPm:
      piece.unit = Unit::Hour;
      for (int hour = 0; hour < 24; ++hour)
        piece.texts.push_back(formatted(locale, QTime(hour, 0), token.source));
      break;
    case Kind::TwelveHour: {
      piece.unit = Unit::Hour;
      const QString asHours = QString(token.source).replace(u'h', u'H');
      for (int hour = 0; hour < 24; ++hour)
        piece.texts.push_back(formatted(locale, QTime(twelveHourOf(hour), 0), asHours));
      break;
    }
    case Kind::Minute:
    case Kind::Second:
      piece.unit = token.kind == Kind::Minute ? Unit::Minute : Unit::Second;
      for (int value = 0; value < 60; ++value)
        piece.texts.push_back(
            formatted(locale, token.kind == Kind::Minute ? QTime(0, value) : QTime(0, 0, value),
                      token.source));
      break;
    case Kind::Unknown:
      m_pieces.clear();
      return;
    }
    std::size_t longest = 0;
    for (const std::string& text : piece.texts)
      longest = std::max(longest, text.size());
    m_longest += longest;
    m_pieces.push_back(std::move(piece));
  }
  if (!composesLikeTheFormat())
    m_pieces.clear();
}

std::string TimeOfDayTexts::of(int secondsOfDay) const {
  if (!isComposed())
    return m_format.format(secondsOfDay).toStdString();
  std::string text;
  compose(secondsOfDay, text);
  return text;
}

void TimeOfDayTexts::compose(int secondsOfDay, std::string& text) const {
  // By unit: a fixed piece has its one text.
  const std::array<int, 4> values = {0, secondsOfDay / 3600, secondsOfDay / 60 % 60,
                                     secondsOfDay % 60};
  text.resize(m_longest);
  char* end = text.data();
  for (const Piece& piece : m_pieces) {
    const std::string& part =
        piece.texts[static_cast<std::size_t>(values[static_cast<std::size_t>(piece.unit)])];
    end = std::copy(part.begin(), part.end(), end);
  }
  text.resize(static_cast<std::size_t>(end - text.data()));
}

// Times where each field changes the number of its digits or its side of noon.
bool TimeOfDayTexts::composesLikeTheFormat() const {
  if (m_pieces.empty())
    return false;
  for (const int seconds : {0, 1, 3723, 32949, 36610, 43199, 43200, 45296, 47107, 86399}) {
    std::string text;
    compose(seconds, text);
    if (text != m_format.format(seconds).toStdString())
      return false;
  }
  return true;
}

} // namespace kelvor
