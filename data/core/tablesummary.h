#pragma once

#include "data/core/eventlog.h"
#include "data/core/measurementtable.h"
#include "data/core/runsummary.h"
#include "data/core/tablefollower.h"

#include <functional>
#include <optional>
#include <span>
#include <utility>

namespace kelvor {

// Keeps a RunSummary equal to the table's stored records, as the chart follows the table: a
// record stored at the end is folded in at constant cost; any other change (clearing, an
// interval selection, an import, an edit) and any change of the parameters summarise the
// table again in one pass.
class TableSummary : public TableFollower {
public:
  // `changed` runs after the summary changed while following the table.
  TableSummary(MeasurementTable& table, std::function<void()> changed)
      : TableFollower(table, std::move(changed)) {}

  void setParameters(const SummaryParameters& parameters);
  // One pass over every stored record.
  void summariseAll() { readAgain(); }
  const RunSummary& summary() const { return m_summary; }

  // Elapsed minutes to the cut-off: the earliest noted cut-off that lies within the table's
  // minutes (an event of an earlier, cleared table does not), else where the curve first
  // reaches the cut-off voltage.
  std::optional<double> minutesToCutoff(std::span<const MeasuringEvent> events) const;
  // The table's volts `minutes` after its first record, interpolated between the records
  // around it (records in ascending minutes).
  std::optional<double> voltsAtElapsed(double minutes) const;

private:
  bool forget() override;
  void readFrom(int first) override;
  // A record the plain reading stopped at: read as a number if it is one, else unreadable.
  void addGenerallyRead(int index);
  std::optional<double> minutesOf(int index) const;

  RunSummary m_summary;
};

} // namespace kelvor
