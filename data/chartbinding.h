#pragma once

#include "data/chartengine.h"
#include "data/core/measurementtable.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kelvor {

// Keeps the chart's series equal to the table's stored records, as the grid follows the
// table: x the record's position, y its VOLTAGE read as a number, the label its MINUTES. A
// record stored at the end adds one point; any other change reads the records again in one
// pass. A VOLTAGE that is no number ends the series at its record, and is remembered for the
// message of the next re-read.
class ChartBinding : private TableListener {
public:
  // `changed` runs after the series changed while following the table.
  ChartBinding(MeasurementTable& table, ChartSeries& series, std::function<void()> changed);
  ChartBinding(const ChartBinding&) = delete;
  ChartBinding& operator=(const ChartBinding&) = delete;
  ~ChartBinding();

  // Brings the series in line with the table now, also while the table's views are
  // suspended; true when the series changed.
  bool catchUp();
  // "'%s' is not a valid floating point value" for the record the series ends at, if any.
  const std::optional<std::string>& invalidVoltage() const { return m_invalidVoltage; }

private:
  void tableChanged() override;
  void tableDestroyed() override;
  void readAll();
  void readFrom(int first);
  std::string labelOf(std::size_t index) const;

  MeasurementTable* m_table;
  ChartSeries& m_series;
  std::function<void()> m_changed;
  // The records the series has seen, and the table's change count at that moment.
  int m_seen = 0;
  std::optional<std::uint64_t> m_seenChangeCount;
  std::optional<std::string> m_invalidVoltage;
};

} // namespace kelvor
