#include "data/timeformat.h"

#include "data/core/measurementtable.h"

#include <QTime>

namespace kelvor {
namespace {

bool isHourLetter(QChar c) {
  return c == u'H' || c == u'h';
}

// The literal text between the hour field and the minute field of a pattern, quotes
// removed; ":" when the pattern has no such place.
QString separatorOf(const QString& pattern) {
  int i = 0;
  bool quoted = false;
  while (i < pattern.size() && (quoted || !isHourLetter(pattern[i]))) {
    if (pattern[i] == kTimePatternQuote)
      quoted = !quoted;
    ++i;
  }
  while (i < pattern.size() && isHourLetter(pattern[i]))
    ++i;
  QString separator;
  quoted = false;
  for (; i < pattern.size(); ++i) {
    const QChar c = pattern[i];
    if (c == kTimePatternQuote) {
      quoted = !quoted;
      continue;
    }
    if (!quoted && c == u'm')
      return separator.isEmpty() ? QStringLiteral(":") : separator;
    separator += c;
  }
  return QStringLiteral(":");
}

} // namespace

QString withoutTimeZone(const QString& format) {
  QString result;
  bool quoted = false;
  bool droppedZone = false;
  for (const QChar c : format) {
    if (c == kTimePatternQuote)
      quoted = !quoted;
    if (!quoted && c == u't') {
      while (result.endsWith(u' '))
        result.chop(1);
      droppedZone = true;
      continue;
    }
    if (droppedZone && c == u' ')
      continue;
    if (droppedZone && !result.isEmpty())
      result += u' ';
    droppedZone = false;
    result += c;
  }
  return result;
}

TimeFormat::TimeFormat(const QLocale& locale)
    : m_locale(locale), m_pattern(withoutTimeZone(locale.timeFormat(QLocale::LongFormat))),
      m_separator(separatorOf(m_pattern)) {}

QString TimeFormat::format(int secondsOfDay) const {
  return m_locale.toString(QTime(0, 0).addSecs(secondsOfDay % kSecondsPerDay), m_pattern);
}

std::optional<int> TimeFormat::parse(const QString& text) const {
  const QString trimmed = text.trimmed();
  QTime time = m_locale.toTime(trimmed, m_pattern);
  if (!time.isValid()) {
    const QString sep = m_separator.trimmed().isEmpty() ? QStringLiteral(":") : m_separator;
    const QString quotedSep = kTimePatternQuote + sep + kTimePatternQuote;
    const QString hoursMinutes = QStringLiteral("H") + quotedSep + QStringLiteral("m");
    for (const QString& fallback : {hoursMinutes + quotedSep + QStringLiteral("s"), hoursMinutes}) {
      time = QTime::fromString(trimmed, fallback);
      if (time.isValid())
        break;
    }
  }
  if (!time.isValid())
    return std::nullopt;
  return time.msecsSinceStartOfDay() / 1000;
}

TimeTextFormat timeTextFormat(const TimeFormat& format) {
  TimeTextFormat text;
  text.timeSeparator = format.separator().toStdString();
  text.decimalSeparator = format.locale().decimalPoint().toStdString();
  text.amText = format.amText().toStdString();
  text.pmText = format.pmText().toStdString();
  return text;
}

} // namespace kelvor
