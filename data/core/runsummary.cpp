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

std::optional<int> RunSummary::timeOf(const PlainReading& record) {
  return record.time == PlainReading::kNoTime ? std::nullopt : std::optional<int>(record.time);
}

void RunSummary::start(const PlainReading& first) {
  m_first = m_last = first;
  m_sums.lowest = m_sums.highest = first.volts;
}

void RunSummary::add(std::span<const PlainReading> records) {
  if (records.empty())
    return;
  std::span<const PlainReading> following = records;
  Sums sums = m_sums;
  if (m_records == 0) {
    start(records.front());
    sums = m_sums;
    sums.volts += records.front().volts;
    following = records.subspan(1);
  }
  const double gapSeconds = kGapFactor * m_parameters.dobaSeconds;
  PlainReading last = m_last;
  for (const PlainReading& record : following) {
    const bool timed = last.time != PlainReading::kNoTime && record.time != PlainReading::kNoTime;
    if (timed && secondsBetween(last.time, record.time) > gapSeconds) {
      ++sums.gaps;
    } else if (record.minutes >= last.minutes) {
      const double minutes = record.minutes - last.minutes;
      sums.minutes += minutes;
      sums.voltMinutes += (last.volts + record.volts) / 2.0 * minutes;
      sums.squareVoltMinutes +=
          (last.volts * last.volts + record.volts * record.volts) / 2.0 * minutes;
    }
    sums.lowest = std::min(sums.lowest, record.volts);
    sums.highest = std::max(sums.highest, record.volts);
    sums.volts += record.volts;
    last = record;
  }
  m_sums = sums;
  m_last = last;
  m_records += static_cast<int>(records.size());
  noteCurveCutoff(records);
}

void RunSummary::noteCurveCutoff(std::span<const PlainReading> records) {
  const double cutoff = m_parameters.cutoffVolts;
  if (m_curveCutoff || cutoff <= 0.0)
    return;
  const auto reached = std::find_if(records.begin(), records.end(),
                                    [cutoff](const PlainReading& r) { return r.volts <= cutoff; });
  if (reached != records.end())
    m_curveCutoff = reached->minutes - m_first.minutes;
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
