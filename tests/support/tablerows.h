#pragma once

#include "data/core/measurementtable.h"

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

// Records written and compared as the tests of the table commands need them: a large table
// is prepared in one transaction, and rows compare as one text each so a failure shows them.
inline void appendRecords(kelvor::MeasurementTable& table,
                          const std::vector<kelvor::MeasurementRecord>& records) {
  kelvor::MeasurementTable::Batch batch(table);
  for (const kelvor::MeasurementRecord& record : records) {
    table.append();
    if (record.time)
      table.setTime(record.time);
    table.setMinutes(record.minutes);
    table.setVoltage(record.voltage);
  }
  table.first();
  batch.commit();
}

inline QString rowText(const kelvor::MeasurementRecord& record) {
  const std::string time = record.time ? kelvor::timeToStorageText(*record.time) : std::string("-");
  return QString::fromStdString(time + '|' + record.minutes + '|' + record.voltage);
}

inline QStringList rowTexts(const std::vector<kelvor::MeasurementRecord>& records) {
  QStringList rows;
  for (const kelvor::MeasurementRecord& record : records)
    rows << rowText(record);
  return rows;
}

inline QStringList rowTexts(const kelvor::MeasurementTable& table) {
  QStringList rows;
  for (int i = 0; i < table.recordCount(); ++i)
    rows << rowText(table.record(i));
  return rows;
}
