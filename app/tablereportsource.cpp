#include "app/tablereportsource.h"

namespace kelvor {

QString TableReportSource::fieldText(int row, const QString& fieldName) const {
  const MeasurementRecord record = m_table.record(row);
  switch (MeasurementTable::fieldByName(fieldName.toStdString())) {
  case Field::Time:
    return record.time ? m_timeFormat.format(*record.time) : QString();
  case Field::Minutes:
    return QString::fromStdString(record.minutes);
  case Field::Voltage:
    return QString::fromStdString(record.voltage);
  }
  return QString();
}

} // namespace kelvor
