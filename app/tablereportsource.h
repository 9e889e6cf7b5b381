#pragma once

#include "data/core/measurementtable.h"
#include "data/reportdatasource.h"
#include "data/timeformat.h"

namespace kelvor {

// The measurement table as the report engine reads it, in table order; TIME in the user's
// long time format.
class TableReportSource : public ReportDataSource {
public:
  explicit TableReportSource(const MeasurementTable& table) : m_table(table) {}

  int rowCount() const override { return m_table.recordCount(); }
  QString fieldText(int row, const QString& fieldName) const override;

private:
  const MeasurementTable& m_table;
  TimeFormat m_timeFormat;
};

} // namespace kelvor
