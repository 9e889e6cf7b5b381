#pragma once

#include "data/core/asciiformat.h"

#include <QLocale>
#include <QString>

#include <optional>

namespace kelvor {

// Quotes literal text in a QTime format pattern.
inline constexpr QChar kTimePatternQuote = u'\'';

// The user's long time format: hours, minutes and seconds in the locale's order and
// separator, without the time zone that Qt's long format carries.
class TimeFormat {
public:
  explicit TimeFormat(const QLocale& locale = QLocale());

  const QLocale& locale() const { return m_locale; }
  // A QTime format pattern, for example "H:mm:ss" (Czech) or "h:mm:ss AP" (US English).
  const QString& pattern() const { return m_pattern; }
  // What stands between the hours and the minutes, for example ":" or ".".
  const QString& separator() const { return m_separator; }
  QString amText() const { return m_locale.amText(); }
  QString pmText() const { return m_locale.pmText(); }

  QString format(int secondsOfDay) const;
  // Reads a time of day written in this format, or with the separator as hours:minutes:
  // seconds or hours:minutes; the seconds of the day, nothing when it is no time.
  std::optional<int> parse(const QString& text) const;

private:
  QLocale m_locale;
  QString m_pattern;
  QString m_separator;
};

// How the ASCII file reader takes a time of day written in `format`.
TimeTextFormat timeTextFormat(const TimeFormat& format);

// `format` without its time-zone field ("t") and the blanks around it; quoted text stays.
QString withoutTimeZone(const QString& format);

} // namespace kelvor
