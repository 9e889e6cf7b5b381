#pragma once

#include "data/core/plainreading.h"
#include "data/core/referencecurve.h"

#include <optional>
#include <span>

namespace kelvor {

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

  // Records in table order; a record without a time of day (an imported line, a row of the
  // logger's memory) is taken to follow its predecessor without a gap.
  void add(std::span<const PlainReading> records);
  // A record whose minutes or volts are no number: counted, and otherwise passed over.
  void addUnreadable() { ++m_unreadable; }

  const SummaryParameters& parameters() const { return m_parameters; }
  int records() const { return m_records; }
  int unreadable() const { return m_unreadable; }
  int gaps() const { return m_sums.gaps; }
  std::optional<int> firstTime() const { return timeOf(m_first); }
  std::optional<int> lastTime() const { return timeOf(m_last); }
  double firstMinutes() const { return m_first.minutes; }
  double lastMinutes() const { return m_last.minutes; }
  double durationMinutes() const { return m_last.minutes - m_first.minutes; }
  double startVolts() const { return m_first.volts; }
  double endVolts() const { return m_last.volts; }
  double lowestVolts() const { return m_sums.lowest; }
  double highestVolts() const { return m_sums.highest; }
  double meanVolts() const { return m_records > 0 ? m_sums.volts / m_records : 0.0; }
  // Elapsed minutes of the first record at or below the cut-off, counted from the first record.
  std::optional<double> curveCutoffMinutes() const { return m_curveCutoff; }

  // Hours between records not across a gap, ∫V dt in volt-hours and ∫V² dt in V²·h.
  double measuredHours() const {
    return (durationMinutes() - m_sums.skippedMinutes) / kMinutesPerHour;
  }
  double voltHours() const { return m_sums.twiceVoltMinutes / 2.0 / kMinutesPerHour; }
  double squareVoltHours() const { return m_sums.twiceSquareVoltMinutes / 2.0 / kMinutesPerHour; }
  double ampHoursAtCurrent(double amps) const { return amps * measuredHours(); }
  double wattHoursAtCurrent(double amps) const { return amps * voltHours(); }
  double ampHoursAtResistance(double ohms) const { return voltHours() / ohms; }
  double wattHoursAtResistance(double ohms) const { return squareVoltHours() / ohms; }

private:
  // Summed in the records' own unit, minutes, and turned into hours only when asked: the
  // pass over a year of records then divides nothing per record.
  static constexpr double kMinutesPerHour = 60.0;

  // What a fold changes with every record; add() keeps it in locals while it folds a block,
  // so the sums stay in registers instead of going to memory after each record.
  struct Sums {
    double lowest = 0.0;
    double highest = 0.0;
    double volts = 0.0;
    // The minutes between records across a gap or going backwards: the rest of the
    // duration is measured.
    double skippedMinutes = 0.0;
    // The trapezoids' sums doubled: halving each trapezoid is exact, so halving the sum once
    // gives the same.
    double twiceVoltMinutes = 0.0;
    double twiceSquareVoltMinutes = 0.0;
    int gaps = 0;
  };

  static std::optional<int> timeOf(const PlainReading& record);
  int wholeGapSeconds() const;
  void start(const PlainReading& first);
  // The records up to the first at or below the cut-off, if any, get the cut-off check.
  void noteCurveCutoff(std::span<const PlainReading> records);

  SummaryParameters m_parameters;
  int m_records = 0;
  int m_unreadable = 0;
  PlainReading m_first;
  PlainReading m_last;
  Sums m_sums;
  std::optional<double> m_curveCutoff;
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
