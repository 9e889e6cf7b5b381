#include "instrument/core/cutoffalarm.h"

#include <algorithm>
#include <utility>

namespace kelvor {

void CutoffAlarm::startRun() {
  m_running = true;
  m_raised = false;
  m_lowInRow = 0;
  m_previous.reset();
}

void CutoffAlarm::endRun() {
  m_running = false;
}

std::optional<CutoffKind> CutoffAlarm::reading(double volts) {
  if (!m_running || m_raised || !m_rule.enabled())
    return std::nullopt;
  const std::optional<double> previous = std::exchange(m_previous, volts);
  m_lowInRow = volts <= m_rule.cutoffVolts ? m_lowInRow + 1 : 0;
  std::optional<CutoffKind> kind;
  // A logger that reads 0 V before the battery is connected has nothing to fall from.
  if (previous && *previous > 0.0 && volts < *previous / 10.0)
    kind = CutoffKind::Collapse;
  else if (m_lowInRow >= std::max(1, m_rule.readingsInRow))
    kind = CutoffKind::BelowCutoff;
  m_raised = kind.has_value();
  return kind;
}

} // namespace kelvor
