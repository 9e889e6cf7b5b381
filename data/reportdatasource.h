#pragma once

#include <QString>

namespace kelvor {

// The rows a report prints, one detail band per row in this order. Field values come as the
// texts to print, so the source decides how a field is formatted.
class ReportDataSource {
public:
  virtual ~ReportDataSource() = default;
  virtual int rowCount() const = 0;
  virtual QString fieldText(int row, const QString& fieldName) const = 0;
};

} // namespace kelvor
