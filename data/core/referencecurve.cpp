#include "data/core/referencecurve.h"

#include "data/core/fileerror.h"
#include "data/core/numbertext.h"

namespace kelvor {
namespace {

// The import refuses a line for its time alone; a curve needs its minutes and volts too, and
// names the first of them that is no number, as the chart names a bad voltage.
std::optional<std::string> addPoint(std::vector<ReferencePoint>& points,
                                    const AsciiRecordTexts& texts, const TimeTextFormat& format) {
  if (!parseTimeOfDay(texts.time, format))
    return notAValidTimeMessage(texts.time);
  const std::optional<double> minutes = parseFloat(texts.minutes);
  if (!minutes)
    return notAValidFloatMessage(texts.minutes);
  const std::optional<double> volts = parseFloat(texts.voltage);
  if (!volts)
    return notAValidFloatMessage(texts.voltage);
  points.push_back({*minutes, *volts});
  return std::nullopt;
}

} // namespace

ReferenceCurve loadReferenceCurve(const std::string& path, const TimeTextFormat& format) {
  AsciiFileReader file;
  checkFileOperation(file.open(path));
  ReferenceCurve curve;
  AsciiRecordTexts texts;
  while (file.readLine(texts)) {
    curve.stop = addPoint(curve.points, texts, format);
    if (curve.stop)
      return curve;
  }
  checkFileOperation(file.error());
  return curve;
}

} // namespace kelvor
