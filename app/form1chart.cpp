#include "app/core/valuelists.h"
#include "app/form1.h"
#include "app/tablereportsource.h"
#include "data/chartbinding.h"
#include "data/chartview.h"
#include "data/core/numbertext.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>

#include <cmath>

namespace kelvor {
namespace {

// The hourglass for the duration of a long operation.
class WaitCursor {
public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

// The series takes its y values from VOLTAGE and its labels from MINUTES, and follows the
// table from here on as the grid does.
void TForm1::bindChartToTable() {
  chartReport.bindTable(Table1, [this] {
    if (Report1)
      Report1->update();
  });
  // A colour the settings file does not name leaves the designed blue.
  chartReport.chart().series().setColor(stringToColor(Barva.toStdString()).value_or(clBlue));
}

void TForm1::RedrawScreen() {
  ChartEngine& chart = chartReport.chart();
  // Every listed combination divides evenly; halves go to the even neighbour.
  chart.bottomAxis().maximum = std::nearbyint(ScaleX * 60.0 / m_measuring->cycle.Doba);
  if (const int item = itemOf(kVoltageAxisScales, ScaleY); item >= 0) {
    const VoltageAxisScale& scale = kVoltageAxisScales[static_cast<std::size_t>(item)];
    chart.leftAxis().minimum = scale.minimum;
    chart.leftAxis().maximum = scale.maximum;
    chart.leftAxis().increment = scale.increment;
  }
  chart.setFirstTitleLine(Titulek);
  chartReread();
}

// The series already follows the table; the re-read stores a record still being appended,
// reads what the series has not seen (one pass when records changed other than at the end),
// returns to the remembered record and reports the VOLTAGE the series ends at.
void TForm1::chartReread() {
  if (m_rereading)
    return;
  m_rereading = true;
  const WaitCursor hourglass;
  std::optional<std::string> error;
  if (Table1.isOpen()) {
    MeasurementTable::ViewSuspension suspended(Table1);
    const TableBookmark remembered = Table1.bookmark();
    try {
      Table1.first();
      if (ChartBinding* binding = chartReport.binding())
        binding->catchUp();
      Table1.gotoBookmark(remembered);
    } catch (const std::exception& failure) {
      error = failure.what();
      runCommand([this, remembered] { Table1.gotoBookmark(remembered); });
    }
  } else {
    chartReport.chart().series().clear();
  }
  if (ChartBinding* binding = chartReport.binding(); !error && binding && Table1.isOpen())
    error = binding->invalidVoltage();
  Report1->update();
  m_rereading = false;
  if (error)
    showError(QString::fromStdString(*error));
}

void TForm1::selectScale(QAction* item) {
  for (const ScaleItem& scale : scaleItems())
    if (scale.item == item)
      *scale.value = scale.setting;
  item->setChecked(true);
  RedrawScreen();
}

void TForm1::Sca_X_060Click() {
  selectScale(Sca_X_060);
}
void TForm1::Sca_X_120Click() {
  selectScale(Sca_X_120);
}
void TForm1::Sca_X_300Click() {
  selectScale(Sca_X_300);
}
void TForm1::Sca_X_600Click() {
  selectScale(Sca_X_600);
}
void TForm1::Sca_Y_15Click() {
  selectScale(Sca_Y_15);
}
void TForm1::Sca_Y_03Click() {
  selectScale(Sca_Y_03);
}

// After a cancel the dialog still holds the preset, so the colour stays.
void TForm1::Barva_KrivkyClick() {
  ChartSeries& series = chartReport.chart().series();
  series.setColor(m_dialogs->chooseColor(series.color()));
  RedrawScreen();
}

void TForm1::Titulek_GrafuClick() {
  Titulek = chartReport.chart().firstTitleLine();
  const std::optional<QString> title =
      m_dialogs->inputText(QStringLiteral("TITULEK  GRAFU:"),
                           QStringLiteral("Zadejte  titulek [ 30 znaků ]:"), Titulek, 255);
  if (!title)
    return;
  Titulek = *title;
  RedrawScreen();
}

void TForm1::Tisk_GrafuClick() {
  QApplication::processEvents();
  runCommand([this] { chartReport.preview(TableReportSource(Table1), this); });
}

} // namespace kelvor
