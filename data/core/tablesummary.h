#pragma once

#include "data/core/eventlog.h"
#include "data/core/measurementtable.h"
#include "data/core/runsummary.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace kelvor {

// Keeps a RunSummary equal to the table's stored records, as the chart follows the table: a
// record stored at the end is folded in at constant cost; any other change (clearing, an
// interval selection, an import, an edit) and any change of the parameters summarise the
// table again in one pass.
class TableSummary : private TableListener {
public:
  // `changed` runs after the summary changed while following the table.
  TableSummary(MeasurementTable& table, std::function<void()> changed);
  TableSummary(const TableSummary&) = delete;
  TableSummary& operator=(const TableSummary&) = delete;
  ~TableSummary();

  void setParameters(const SummaryParameters& parameters);
  // Brings the summary in line with the table now; true when it changed.
  bool catchUp();
  // One pass over every stored record.
  void summariseAll();
  const RunSummary& summary() const { return m_summary; }

  // Elapsed minutes to the cut-off: the earliest noted cut-off that lies within the table's
  // minutes (an event of an earlier, cleared table does not), else where the curve first
  // reaches the cut-off voltage.
  std::optional<double> minutesToCutoff(std::span<const MeasuringEvent> events) const;
  // The table's volts `minutes` after its first record, interpolated between the records
  // around it (records in ascending minutes).
  std::optional<double> voltsAtElapsed(double minutes) const;

private:
  void tableChanged() override;
  void tableDestroyed() override;
  void readFrom(int first);
  std::optional<double> minutesOf(int index) const;

  MeasurementTable* m_table;
  std::function<void()> m_changed;
  RunSummary m_summary;
  int m_seen = 0;
  std::optional<std::uint64_t> m_seenChangeCount;
};

} // namespace kelvor
