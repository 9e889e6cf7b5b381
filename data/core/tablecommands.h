#pragma once

#include "data/core/asciiformat.h"

#include <functional>
#include <optional>
#include <string>

namespace kelvor {

class MeasurementTable;

// The commands on the whole table. Each runs in one transaction with the views suspended, so a
// crash leaves the table as it was before or after; the window asks the operator first and
// shows the messages of what they throw.

// Deletes every record. The walk deletes the second-last record first and the record that
// was last at the end, when the move before the first record fails.
void clearTable(MeasurementTable& table);

// A bound of the interval selection, read afresh for every record it is compared with.
using BoundReading = std::function<double()>;

// Keeps the records whose MINUTES lie within the bounds, both included: a pass from the last
// record back against `upper`, then one from the first on against `lower`. A bound or MINUTES
// text that is no number throws ConversionError where it is read; what was deleted before
// stays deleted.
void keepMinutesWithin(MeasurementTable& table, const BoundReading& lower,
                       const BoundReading& upper);

struct ImportedLines {
  // The MINUTES text of the last line appended whole, if any.
  std::optional<std::string> lastMinutes;
  // The message of the line that stopped the import: its time is no time of day. The lines
  // before it stay appended.
  std::optional<std::string> stop;
};

// Appends a record per line of `file` until it ends or a line's time is no time of day, then
// goes to the first record. A failure outside the lines' content (a read error, the table)
// throws and leaves the table as it was.
ImportedLines importAsciiLines(MeasurementTable& table, AsciiFileReader& file,
                               const TimeTextFormat& format);

// Writes the line of every stored record into a new file (or an emptied one) at `path`, from
// the first record; throws FileError for a failed file operation, and TableError for a table
// that is not open before any file is touched.
void exportAsciiFile(MeasurementTable& table, const std::string& path,
                     AsciiTimeColumns::TimeText timeText);

} // namespace kelvor
