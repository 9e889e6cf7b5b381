#pragma once

#include "data/reportengine.h"

#include <QWidget>

namespace kelvor {

inline constexpr const char* kTableReportTitle =
    "NÁHLED  TABULKY  S  NAMĚŘENÝMI  HODNOTAMI  PŘED  TISKEM:";
inline constexpr const char* kDesignedTableHeader = "TABULKA  NAMĚŘENÝCH  HODNOT:";
// Resource path of the picture in the page header.
inline constexpr const char* kReportHeaderPicture = ":/reports/reportheader.png";

// The form that carries the table report `Report1`. It lives for the whole run and is never
// shown: the program only previews its report. The report's data source gives the `TIME`
// field already written in the long time format and the `VOLTAGE` field as stored.
class TForm3 : public QWidget {
  Q_OBJECT

public:
  explicit TForm3(QWidget* parent = nullptr);

  Report& Report1() { return m_report1; }
  const Report& Report1() const { return m_report1; }

  QString headerCaption() const;
  // The caption of `HlavickaRepLabel`; an empty text prints nothing.
  void setHeaderCaption(const QString& caption);

  // Prepares the table report and shows its preview; returns when the preview closes.
  void preview(const ReportDataSource& table, QWidget* parent = nullptr) const;

private:
  Report m_report1;
};

} // namespace kelvor
