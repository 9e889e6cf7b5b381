#pragma once

#include "data/core/measurementtable.h"
#include "data/core/numbertext.h"

#include <QString>

namespace kelvor::bench {

// A table of `count` records as the measuring cycle stores them at Doba 6.
inline void fillDischargeTable(const QString& tableFile, int count) {
  MeasurementTable table;
  table.open(tableFile.toStdString());
  MeasurementTable::Batch batch(table);
  for (int i = 0; i < count; ++i) {
    table.append();
    table.setTime(i * 6 % kSecondsPerDay);
    table.setMinutes(formatFixed(i * 0.1, 6, 1));
    table.setVoltage(formatFixed(12.8 - i * 1e-6, 6, 3));
  }
  table.post();
  batch.commit();
}

} // namespace kelvor::bench
