#pragma once

#include "data/core/referencecurve.h"

#include <optional>
#include <span>

namespace kelvor {

// One record as the summary reads it: its time of day if it has one, its elapsed minutes and
// its volts.
struct SummaryRecord {
  std::optional<int> time; // seconds of the day
  double minutes = 0.0;
  double volts = 0.0;
};

// What shapes the summary besides the records.
struct SummaryParameters {
  // Seconds between two records; two records further apart than 1.5 times this lie across a
  // gap (a restart, an unplugged adapter).
  double dobaSeconds = 60.0;
  // Volts; 0 or less: no cut-off.
  double cutoffVolts = 0.0;

  bool operator==(const SummaryParameters&) const = default;
};

// The run's summary, folded one record at a time at constant cost. Capacity and energy are
// kept as integrals of the voltage over the hours measured, so a load given later needs no
// new pass: with a constant current I the charge is I·t and the energy I·∫V dt, with a load
// resistance R they are ∫V dt / R and ∫V² dt / R. Trapezoids never span a gap, nor two records
// whose minutes go backwards.
class RunSummary {
public:
  explicit RunSummary(const SummaryParameters& parameters = {}) : m_parameters(parameters) {}

  void add(const SummaryRecord& record);
  // A record whose minutes or volts are no number: counted, and otherwise passed over.
  void addUnreadable() { ++m_unreadable; }

  const SummaryParameters& parameters() const { return m_parameters; }
  int records() const { return m_records; }
  int unreadable() const { return m_unreadable; }
  int gaps() const { return m_gaps; }
  std::optional<int> firstTime() const { return m_firstTime; }
  std::optional<int> lastTime() const { return m_lastTime; }
  double firstMinutes() const { return m_first.minutes; }
  double lastMinutes() const { return m_last.minutes; }
  double durationMinutes() const { return m_last.minutes - m_first.minutes; }
  double startVolts() const { return m_first.volts; }
  double endVolts() const { return m_last.volts; }
  double lowestVolts() const { return m_lowest; }
  double highestVolts() const { return m_highest; }
  double meanVolts() const { return m_records > 0 ? m_voltSum / m_records : 0.0; }
  // Elapsed minutes of the first record at or below the cut-off, counted from the first record.
  std::optional<double> curveCutoffMinutes() const { return m_curveCutoff; }

  // Hours between records not across a gap, ∫V dt in volt-hours and ∫V² dt in V²·h.
  double measuredHours() const { return m_minutes / kMinutesPerHour; }
  double voltHours() const { return m_voltMinutes / kMinutesPerHour; }
  double squareVoltHours() const { return m_squareVoltMinutes / kMinutesPerHour; }
  double ampHoursAtCurrent(double amps) const { return amps * measuredHours(); }
  double wattHoursAtCurrent(double amps) const { return amps * voltHours(); }
  double ampHoursAtResistance(double ohms) const { return voltHours() / ohms; }
  double wattHoursAtResistance(double ohms) const { return squareVoltHours() / ohms; }

private:
  bool isGap(const SummaryRecord& before, const SummaryRecord& after) const;

  SummaryParameters m_parameters;
  int m_records = 0;
  int m_unreadable = 0;
  int m_gaps = 0;
  SummaryRecord m_first;
  SummaryRecord m_last;
  std::optional<int> m_firstTime;
  std::optional<int> m_lastTime;
  double m_lowest = 0.0;
  double m_highest = 0.0;
  double m_voltSum = 0.0;
  std::optional<double> m_curveCutoff;
  // Summed in the records' own unit, minutes, and turned into hours only when asked: the
  // pass over a year of records then divides nothing per record.
  static constexpr double kMinutesPerHour = 60.0;
  double m_minutes = 0.0;
  double m_voltMinutes = 0.0;
  double m_squareVoltMinutes = 0.0;
};

// The volts of a curve at `minutes` after its first point, interpolated between the points
// around it; nothing outside the curve. The points' minutes ascend.
std::optional<double> voltsAtElapsed(std::span<const ReferencePoint> curve, double minutes);
// Elapsed minutes from the first point to the first at or below `cutoffVolts`.
std::optional<double> elapsedToCutoff(std::span<const ReferencePoint> curve, double cutoffVolts);

// The run against a reference curve: how much later the run reached the cut-off (negative:
// sooner), and how much higher its voltage stood at half its own time to the cut-off.
struct ReferenceComparison {
  std::optional<double> cutoffMinutesDifference;
  std::optional<double> halfTimeVoltsDifference;
};

// `runCutoffMinutes` and `runVoltsAtHalf` are the run's; the reference's time to the cut-off
// is where its curve first reaches `cutoffVolts`.
ReferenceComparison compareWithReference(std::span<const ReferencePoint> reference,
                                         std::optional<double> runCutoffMinutes,
                                         std::optional<double> runVoltsAtHalf, double cutoffVolts);

} // namespace kelvor
