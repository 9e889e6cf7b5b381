#include "data/core/runsummary.h"

#include "data/core/measurementtable.h"

#include <algorithm>
#include <cmath>
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

// Whole seconds compare with the gap's bound as with its whole part; a bound beyond any day
// (or no number) finds no gap, one below zero finds a gap everywhere.
int RunSummary::wholeGapSeconds() const {
  const double bound = kGapFactor * m_parameters.dobaSeconds;
  if (!(bound < kSecondsPerDay))
    return kSecondsPerDay;
  return bound < 0.0 ? -1 : static_cast<int>(std::floor(bound));
}

void RunSummary::start(const PlainReading& first) {
  m_first = m_last = first;
  m_sums.lowest = m_sums.highest = m_sums.volts = first.volts;
}

void RunSummary::add(std::span<const PlainReading> records) {
  if (records.empty())
    return;
  std::span<const PlainReading> following = records;
  if (m_records == 0) {
    start(records.front());
    following = records.subspan(1);
  }
  Sums sums = m_sums;
  const int gapSeconds = wholeGapSeconds();
  PlainReading last = m_last;
  double lastSquare = last.volts * last.volts;
  for (const PlainReading& record : following) {
    const double square = record.volts * record.volts;
    // Times lie in [0, kSecondsPerDay); kNoTime is the only negative one.
    const bool timed = (last.time | record.time) >= 0;
    const double minutes = record.minutes - last.minutes;
    const bool gap = timed && secondsBetween(last.time, record.time) > gapSeconds;
    if (!gap && minutes >= 0.0) {
      sums.twiceVoltMinutes += (last.volts + record.volts) * minutes;
      sums.twiceSquareVoltMinutes += (lastSquare + square) * minutes;
    } else {
      sums.gaps += gap ? 1 : 0;
      sums.skippedMinutes += minutes;
    }
    sums.lowest = std::min(sums.lowest, record.volts);
    sums.highest = std::max(sums.highest, record.volts);
    sums.volts += record.volts;
    last = record;
    lastSquare = square;
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
