#include "data/core/runsummary.h"

#include "data/core/measurementtable.h"

#include <algorithm>
#include <iterator>

namespace kelvor {
namespace {

constexpr double kGapFactor = 1.5;

// Times of day lie in [0, kSecondsPerDay); a later one that is smaller lies on the next day.
int secondsBetween(int before, int after) {
  const int seconds = after - before;
  return seconds < 0 ? seconds + kSecondsPerDay : seconds;
}

} // namespace

// A record without a time of day (an imported line, a row of the logger's memory) is taken to
// follow its predecessor without a gap.
bool RunSummary::isGap(const SummaryRecord& before, const SummaryRecord& after) const {
  if (!before.time || !after.time)
    return false;
  return secondsBetween(*before.time, *after.time) > kGapFactor * m_parameters.dobaSeconds;
}

void RunSummary::add(const SummaryRecord& record) {
  if (m_records == 0) {
    m_first = record;
    m_firstTime = record.time;
    m_lowest = m_highest = record.volts;
  } else {
    if (isGap(m_last, record)) {
      ++m_gaps;
    } else if (record.minutes >= m_last.minutes) {
      const double minutes = record.minutes - m_last.minutes;
      m_minutes += minutes;
      m_voltMinutes += (m_last.volts + record.volts) / 2.0 * minutes;
      m_squareVoltMinutes +=
          (m_last.volts * m_last.volts + record.volts * record.volts) / 2.0 * minutes;
    }
    m_lowest = std::min(m_lowest, record.volts);
    m_highest = std::max(m_highest, record.volts);
  }
  ++m_records;
  m_last = record;
  m_lastTime = record.time;
  m_voltSum += record.volts;
  if (!m_curveCutoff && m_parameters.cutoffVolts > 0.0 && record.volts <= m_parameters.cutoffVolts)
    m_curveCutoff = record.minutes - m_first.minutes;
}

std::optional<double> voltsAtElapsed(std::span<const ReferencePoint> curve, double minutes) {
  if (curve.empty() || minutes < 0.0)
    return std::nullopt;
  const double at = curve.front().minutes + minutes;
  const auto after = std::lower_bound(
      curve.begin(), curve.end(), at,
      [](const ReferencePoint& point, double wanted) { return point.minutes < wanted; });
  if (after == curve.end())
    return std::nullopt;
  if (after->minutes == at || after == curve.begin())
    return after->volts;
  const ReferencePoint& before = *std::prev(after);
  const double share = (at - before.minutes) / (after->minutes - before.minutes);
  return before.volts + share * (after->volts - before.volts);
}

std::optional<double> elapsedToCutoff(std::span<const ReferencePoint> curve, double cutoffVolts) {
  if (cutoffVolts <= 0.0)
    return std::nullopt;
  const auto reached =
      std::find_if(curve.begin(), curve.end(),
                   [cutoffVolts](const ReferencePoint& p) { return p.volts <= cutoffVolts; });
  if (reached == curve.end())
    return std::nullopt;
  return reached->minutes - curve.front().minutes;
}

ReferenceComparison compareWithReference(std::span<const ReferencePoint> reference,
                                         std::optional<double> runCutoffMinutes,
                                         std::optional<double> runVoltsAtHalf, double cutoffVolts) {
  ReferenceComparison comparison;
  if (!runCutoffMinutes)
    return comparison;
  if (const std::optional<double> referenceCutoff = elapsedToCutoff(reference, cutoffVolts))
    comparison.cutoffMinutesDifference = *runCutoffMinutes - *referenceCutoff;
  const std::optional<double> referenceAtHalf = voltsAtElapsed(reference, *runCutoffMinutes / 2.0);
  if (runVoltsAtHalf && referenceAtHalf)
    comparison.halfTimeVoltsDifference = *runVoltsAtHalf - *referenceAtHalf;
  return comparison;
}

} // namespace kelvor
