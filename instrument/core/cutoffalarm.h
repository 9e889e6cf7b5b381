#pragma once

#include <optional>

namespace kelvor {

// How a battery showed that it reached its end.
enum class CutoffKind {
  // The set number of readings in a row at or below the cut-off voltage.
  BelowCutoff,
  // A reading below a tenth of the one before: the battery's own protection opened.
  Collapse,
};

// What the alarm watches for, as the operator set it on the analysis page.
struct CutoffRule {
  // Volts; 0 or less means no alarm at all.
  double cutoffVolts = 0.0;
  // Readings in a row at or below the cut-off; below 1 counts as 1.
  int readingsInRow = 3;

  bool enabled() const { return cutoffVolts > 0.0; }
};

// Watches the readings of one measuring run for the battery's end and says so once per run.
// Only readings count: a reply the measuring cycle rejected never reaches here, so it neither
// counts towards the run of low readings nor breaks it.
class CutoffAlarm {
public:
  void setRule(const CutoffRule& rule) { m_rule = rule; }
  const CutoffRule& rule() const { return m_rule; }

  // Measuring switched on: a new run, which may raise the alarm again.
  void startRun();
  // Measuring switched off: readings that still arrive belong to no run.
  void endRun();
  bool running() const { return m_running; }
  bool raisedInRun() const { return m_raised; }

  // One reading of the run; returns the kind when this reading raises the alarm.
  std::optional<CutoffKind> reading(double volts);

private:
  CutoffRule m_rule;
  bool m_running = false;
  bool m_raised = false;
  int m_lowInRow = 0;
  std::optional<double> m_previous;
};

} // namespace kelvor
