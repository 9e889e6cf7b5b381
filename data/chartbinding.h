#pragma once

#include "data/chartengine.h"
#include "data/core/measurementtable.h"
#include "data/core/tablefollower.h"

#include <functional>
#include <optional>
#include <string>

namespace kelvor {

// Keeps the chart's series equal to the table's stored records, as the grid follows the
// table: x the record's position, y its VOLTAGE read as a number, the label its MINUTES. A
// record stored at the end adds one point; any other change reads the records again in one
// pass. A VOLTAGE that is no number ends the series at its record, and is remembered for the
// message of the next re-read.
class ChartBinding : public TableFollower {
public:
  // `changed` runs after the series changed while following the table.
  ChartBinding(MeasurementTable& table, ChartSeries& series, std::function<void()> changed);
  ~ChartBinding();

  // "'%s' is not a valid floating point value" for the record the series ends at, if any.
  const std::optional<std::string>& invalidVoltage() const { return m_invalidVoltage; }

private:
  bool forget() override;
  void readFrom(int first) override;
  std::string labelOf(std::size_t index) const;

  ChartSeries& m_series;
  std::optional<std::string> m_invalidVoltage;
};

} // namespace kelvor
