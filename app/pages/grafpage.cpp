#include "app/pages/grafpage.h"

#include "app/core/settingsvalues.h"
#include "app/core/valuelists.h"
#include "app/pages/exportmessage.h"
#include "app/pages/pagebuilder.h"
#include "app/pages/pagehost.h"
#include "app/tablereportsource.h"
#include "data/chartbinding.h"
#include "data/chartexport.h"
#include "data/chartview.h"
#include "data/core/fileerror.h"
#include "data/core/measurementtable.h"
#include "data/core/numbertext.h"
#include "data/core/referencecurve.h"
#include "data/timeformat.h"
#include "instrument/core/measuringcycle.h"
#include "instrument/measuringcontroller.h"
#include "widgets/controlhint.h"
#include "widgets/led.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFile>
#include <QToolButton>

#include <cmath>
#include <exception>
#include <optional>
#include <utility>

namespace kelvor {
namespace {

// The hourglass for the duration of a long operation.
class ChartWaitCursor {
public:
  ChartWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ChartWaitCursor(const ChartWaitCursor&) = delete;
  ChartWaitCursor& operator=(const ChartWaitCursor&) = delete;
  ~ChartWaitCursor() { QApplication::restoreOverrideCursor(); }
};

// The item at `index` of a scale group; none before the menu hands its groups over.
QAction* scaleItemAt(const QActionGroup* group, std::size_t index) {
  if (group == nullptr)
    return nullptr;
  const QList<QAction*> items = group->actions();
  const auto at = static_cast<qsizetype>(index);
  return at < items.size() ? items.at(at) : nullptr;
}

} // namespace

GrafPage::GrafPage(PageHost& host, MeasurementTable& table, const MeasuringController& measuring,
                   QWidget* parent)
    : QWidget(parent), m_host(host), m_table(table), m_cycle(measuring.cycle) {
  setUpPage(this, "GRAF");
  Report1 = new ChartView(chartReport, this);
  place(Report1, "Report1", {56, -24, 674, 476});
  setHint(Report1, QString::fromUtf8(kChartHint));
  Led1 = placeLed(this, "Led1", {608, 416}, TLEDStyle::LEDSmall);
  Graf_Measure_Led = placeLed(this, "Graf_Measure_Led", {752, 16}, TLEDStyle::LEDLarge);
  setHint(Graf_Measure_Led, QString::fromUtf8(kMeasuringLedHint));
  SpeedButton3 =
      placePrintButton(this, "SpeedButton3", {752, 424, 25, 25},
                       "Tímto  tlačítkem  můžete  zobrazit  náhled  a  vytisknout  graf");
  connect(SpeedButton3, &QToolButton::clicked, this, &GrafPage::Tisk_GrafuClick);
  connect(&measuring, &MeasuringController::measuringSwitched, this, &GrafPage::setMeasuringLed);
  connect(&measuring, &MeasuringController::recordStored, this, &GrafPage::chartReread);
  chartReport.chart().setStorageInterval([this] { return static_cast<double>(m_cycle.Doba); });
}

GrafPage::~GrafPage() = default;

void GrafPage::setScaleItems(QActionGroup* timeAxis, QActionGroup* voltageAxis) {
  m_timeAxisGroup = timeAxis;
  m_voltageAxisGroup = voltageAxis;
}

// The menu builder adds each group's items in the order of its scale list.
std::vector<GrafPage::ScaleItem> GrafPage::scaleItems() {
  std::vector<ScaleItem> items;
  for (std::size_t i = 0; i < kTimeAxisScales.size(); ++i)
    if (QAction* item = scaleItemAt(m_timeAxisGroup, i))
      items.push_back({item, &ScaleX, kTimeAxisScales[i].value});
  for (std::size_t i = 0; i < kVoltageAxisScales.size(); ++i)
    if (QAction* item = scaleItemAt(m_voltageAxisGroup, i))
      items.push_back({item, &ScaleY, kVoltageAxisScales[i].value});
  return items;
}

void GrafPage::markScaleItems() {
  for (const ScaleItem& scale : scaleItems())
    if (*scale.value == scale.setting)
      scale.item->setChecked(true);
}

void GrafPage::takeSettings(const SettingsValues& values) {
  ScaleX = values.ScaleX;
  ScaleY = values.ScaleY;
  Titulek = QString::fromStdString(values.Titulek);
  Barva = QString::fromStdString(values.Barva);
  Reference = QString::fromStdString(values.Reference);
  loadStoredReference();
}

// A scale whose group has no checked item stays as it was read.
void GrafPage::collectSettings(SettingsValues& values) {
  for (const ScaleItem& scale : scaleItems())
    if (scale.item->isChecked())
      *scale.value = scale.setting;
  Barva = QString::fromStdString(colorToString(chartReport.chart().series().color()));
  values.ScaleX = ScaleX;
  values.ScaleY = ScaleY;
  values.Titulek = Titulek.toStdString();
  values.Barva = Barva.toStdString();
  values.Reference = Reference.toStdString();
}

void GrafPage::scaleChart(double factor) {
  Report1->setZoom(Report1->zoom() * factor);
}

// The series takes its y values from VOLTAGE and its labels from MINUTES, and follows the
// table from here on as the grid does.
void GrafPage::bindChartToTable() {
  chartReport.bindTable(m_table, [this] {
    if (Report1)
      Report1->update();
  });
  // A colour the settings file does not name leaves the designed blue.
  chartReport.chart().series().setColor(stringToColor(Barva.toStdString()).value_or(clBlue));
}

void GrafPage::RedrawScreen() {
  ChartEngine& chart = chartReport.chart();
  // Every listed combination divides evenly; halves go to the even neighbour.
  chart.bottomAxis().maximum = std::nearbyint(ScaleX * 60.0 / m_cycle.Doba);
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
void GrafPage::chartReread() {
  if (m_rereading)
    return;
  m_rereading = true;
  const ChartWaitCursor hourglass;
  std::optional<std::string> error;
  if (m_table.isOpen()) {
    MeasurementTable::ViewSuspension suspended(m_table);
    const TableBookmark remembered = m_table.bookmark();
    try {
      m_table.first();
      if (ChartBinding* binding = chartReport.binding())
        binding->catchUp();
      m_table.gotoBookmark(remembered);
    } catch (const std::exception& failure) {
      error = failure.what();
      m_host.runCommand([this, remembered] { m_table.gotoBookmark(remembered); });
    }
  } else {
    chartReport.chart().series().clear();
  }
  if (ChartBinding* binding = chartReport.binding(); !error && binding && m_table.isOpen())
    error = binding->invalidVoltage();
  Report1->update();
  m_rereading = false;
  if (error)
    m_host.showError(QString::fromStdString(*error));
}

void GrafPage::selectScale(int& value, int setting, QAction* item) {
  value = setting;
  if (item != nullptr)
    item->setChecked(true);
  RedrawScreen();
}

void GrafPage::selectTimeScale(std::size_t index) {
  selectScale(ScaleX, kTimeAxisScales[index].value, scaleItemAt(m_timeAxisGroup, index));
}

void GrafPage::selectVoltageScale(std::size_t index) {
  selectScale(ScaleY, kVoltageAxisScales[index].value, scaleItemAt(m_voltageAxisGroup, index));
}

void GrafPage::Sca_X_060Click() {
  selectTimeScale(0);
}
void GrafPage::Sca_X_120Click() {
  selectTimeScale(1);
}
void GrafPage::Sca_X_300Click() {
  selectTimeScale(2);
}
void GrafPage::Sca_X_600Click() {
  selectTimeScale(3);
}
void GrafPage::Sca_Y_15Click() {
  selectVoltageScale(0);
}
void GrafPage::Sca_Y_03Click() {
  selectVoltageScale(1);
}

// After a cancel the dialog still holds the preset, so the colour stays.
void GrafPage::Barva_KrivkyClick() {
  ChartSeries& series = chartReport.chart().series();
  series.setColor(m_host.dialogs().chooseColor(series.color()));
  RedrawScreen();
}

void GrafPage::Titulek_GrafuClick() {
  Titulek = chartReport.chart().firstTitleLine();
  const std::optional<QString> title =
      m_host.dialogs().inputText(QStringLiteral("TITULEK  GRAFU:"),
                                 QStringLiteral("Zadejte  titulek [ 30 znaků ]:"), Titulek, 255);
  if (!title)
    return;
  Titulek = *title;
  RedrawScreen();
}

void GrafPage::Tisk_GrafuClick() {
  QApplication::processEvents();
  m_host.runCommand([this] {
    m_table.requireOpen();
    chartReport.preview(TableReportSource(m_table), window());
  });
}

// The chart goes out as the page shows it. The file appears under the chosen name whole or
// not at all; a failure reaches the operator as the other file commands report it.
void GrafPage::exportChart(const SaveDialogOptions& options, ChartFileWriter write) {
  const std::optional<QString> chosen = m_host.dialogs().saveFileName(options);
  if (!chosen)
    return;
  const bool written = m_host.runCommand([this, &chosen, write] {
    m_table.requireOpen();
    const std::string path = QFile::encodeName(*chosen).toStdString();
    checkFileOperation(write(chartReport.chart(), Report1->chartPicture(), path));
  });
  if (written)
    showExportedTo(m_host.dialogs(), *chosen);
}

void GrafPage::Export_BMPClick() {
  exportChart({{QStringLiteral("Bitmap  (  *.BMP  ) (*.bmp)"), kAllFilesFilter},
               QStringLiteral("bmp"),
               true},
              &exportChartBitmap);
}

void GrafPage::Export_WMFClick() {
  exportChart({{QStringLiteral("Metafile  (  *.WMF  ) (*.wmf)"), kAllFilesFilter},
               QStringLiteral("wmf"),
               true},
              &exportChartMetafile);
}

const std::vector<ReferencePoint>& GrafPage::reference() const {
  return chartReport.chart().reference();
}

void GrafPage::showReference(std::vector<ReferencePoint> points) {
  chartReport.chart().setReference(std::move(points));
  Report1->update();
  emit referenceChanged();
}

// A reference that went missing since the last run (a removed stick, a deleted file) must not
// stop the start with a box: the chart goes without it and the status line says why. The file
// stays named, so it is back once the file is.
void GrafPage::loadStoredReference() {
  if (Reference.isEmpty())
    return;
  QString problem;
  try {
    ReferenceCurve curve = loadReferenceCurve(QFile::encodeName(Reference).toStdString(),
                                              timeTextFormat(TimeFormat()));
    if (curve.stop)
      problem = QString::fromStdString(*curve.stop);
    showReference(std::move(curve.points));
  } catch (const std::exception& failure) {
    problem = QString::fromStdString(failure.what());
  }
  if (!problem.isEmpty())
    emit statusShown(
        QStringLiteral("Referenční  křivka  ze  souboru  %1:  %2").arg(Reference, problem));
}

// A file that cannot be read keeps the reference there was; a bad line keeps the lines before
// it and is reported as the import reports it.
void GrafPage::Referencni_KrivkaClick() {
  const std::optional<QString> chosen = m_host.dialogs().openFileName();
  if (!chosen)
    return;
  std::optional<ReferenceCurve> curve;
  m_host.runCommand([&curve, &chosen] {
    curve =
        loadReferenceCurve(QFile::encodeName(*chosen).toStdString(), timeTextFormat(TimeFormat()));
  });
  if (!curve)
    return;
  Reference = curve->points.empty() ? QString() : *chosen;
  showReference(std::move(curve->points));
  if (curve->stop)
    m_host.showError(QString::fromStdString(*curve->stop));
}

void GrafPage::Bez_Referencni_KrivkyClick() {
  Reference.clear();
  showReference({});
}

void GrafPage::setMeasuringLed(bool on) {
  Graf_Measure_Led->setValue(on);
}

} // namespace kelvor
