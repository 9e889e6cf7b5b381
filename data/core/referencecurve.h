#pragma once

#include "data/core/asciiformat.h"

#include <optional>
#include <string>
#include <vector>

namespace kelvor {

// One reading of an earlier discharge: its elapsed minutes and its volts.
struct ReferencePoint {
  double minutes = 0.0;
  double volts = 0.0;

  bool operator==(const ReferencePoint&) const = default;
};

// An earlier discharge, read from a file the ASCII export wrote, to lay beside the present
// one. The points keep the file's order.
struct ReferenceCurve {
  std::vector<ReferencePoint> points;
  // The message of the line that stopped the reading, in the import's words; the lines
  // before it are in `points`.
  std::optional<std::string> stop;
};

// Reads the lines of an ASCII measurement file as the import does, until the file ends or a
// line holds no time of day, or minutes or volts that are no number. Throws FileError when
// the file cannot be opened or read.
ReferenceCurve loadReferenceCurve(const std::string& path, const TimeTextFormat& format);

} // namespace kelvor
