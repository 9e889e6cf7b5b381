#include "data/core/tablecommands.h"

#include "data/core/fileerror.h"
#include "data/core/measurementtable.h"
#include "data/core/numbertext.h"

#include <utility>

namespace kelvor {
namespace {

void deleteAboveUpper(MeasurementTable& table, const BoundReading& upper) {
  table.last();
  while (!table.bof()) {
    const double minutes = table.fieldAsFloat(Field::Minutes);
    if (upper() >= minutes)
      table.prior();
    else
      table.deleteCurrent();
  }
}

void deleteBelowLower(MeasurementTable& table, const BoundReading& lower) {
  table.first();
  while (!table.eof()) {
    const double minutes = table.fieldAsFloat(Field::Minutes);
    if (lower() <= minutes)
      table.next();
    else
      table.deleteCurrent();
  }
}

ImportedLines appendLines(MeasurementTable& table, AsciiFileReader& file,
                          const TimeTextFormat& format) {
  ImportedLines imported;
  AsciiRecordTexts texts;
  while (file.readLine(texts)) {
    table.append();
    const std::optional<int> time = parseTimeOfDay(texts.time, format);
    if (!time) {
      imported.stop = notAValidTimeMessage(texts.time);
      return imported;
    }
    table.setTime(*time);
    table.setMinutes(texts.minutes);
    imported.lastMinutes = texts.minutes;
    table.setVoltage(texts.voltage);
  }
  checkFileOperation(file.error());
  return imported;
}

} // namespace

void clearTable(MeasurementTable& table) {
  MeasurementTable::Batch batch(table);
  MeasurementTable::ViewSuspension suspended(table);
  table.last();
  while (!table.bof()) {
    table.prior();
    table.deleteCurrent();
  }
  batch.commit();
}

void keepMinutesWithin(MeasurementTable& table, const BoundReading& lower,
                       const BoundReading& upper) {
  MeasurementTable::Batch batch(table);
  std::optional<std::string> invalidNumber;
  {
    MeasurementTable::ViewSuspension suspended(table);
    try {
      deleteAboveUpper(table, upper);
      deleteBelowLower(table, lower);
    } catch (const ConversionError& error) {
      invalidNumber = error.what();
    }
  }
  batch.commit();
  if (invalidNumber)
    throw ConversionError(*invalidNumber);
}

ImportedLines importAsciiLines(MeasurementTable& table, AsciiFileReader& file,
                               const TimeTextFormat& format) {
  MeasurementTable::Batch batch(table);
  ImportedLines imported;
  {
    MeasurementTable::ViewSuspension suspended(table);
    imported = appendLines(table, file, format);
    table.first();
  }
  batch.commit();
  return imported;
}

void exportAsciiFile(MeasurementTable& table, const std::string& path,
                     AsciiTimeColumns::TimeText timeText) {
  // Asked before the file is created: an earlier export under the chosen name must not be
  // emptied by an export that has no table to read.
  if (!table.isOpen())
    throw TableError(tableNotOpenMessage(table));
  AsciiFileWriter file;
  checkFileOperation(file.create(path));
  AsciiTimeColumns times(std::move(timeText));
  {
    MeasurementTable::ViewSuspension suspended(table);
    table.first();
    checkFileOperation(writeTableLines(file, times, table));
  }
  checkFileOperation(file.close());
}

} // namespace kelvor
