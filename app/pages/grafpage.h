#pragma once

#include "data/chartreport.h"

#include <QString>
#include <QWidget>

#include <cstddef>
#include <string>
#include <vector>

class QAction;
class QActionGroup;
class QToolButton;

namespace kelvor {

struct ChartPicture;
class MeasuringController;
class MeasuringCycle;
struct SaveDialogOptions;
class ChartView;
class MeasurementTable;
class PageHost;
struct SettingsValues;
class TLed;

// The GRAF page: the voltage chart over the measurement table, its scales, colour and title,
// and its print and export commands. The scale items stay in the frame's menu; the page marks
// them and reads them back.
class GrafPage : public QWidget {
  Q_OBJECT

public:
  // The session's cycle gives the storage interval that turns the time scale into records;
  // every record it stores has the chart read the table again, and its lamp shows whether it
  // measures.
  GrafPage(PageHost& host, MeasurementTable& table, const MeasuringController& measuring,
           QWidget* parent = nullptr);
  ~GrafPage() override;

  // Settings values.
  int ScaleX = 0;
  int ScaleY = 0;
  QString Titulek;
  QString Barva;
  // The reference curve's file; empty for none.
  QString Reference;

  ChartReport chartReport;

  // The menu's time-axis and voltage-axis items, in the order of their scale lists.
  void setScaleItems(QActionGroup* timeAxis, QActionGroup* voltageAxis);
  // Checks the items that stand for ScaleX and ScaleY.
  void markScaleItems();
  // Start-up: the chart's part of the settings. Shutdown: the checked scales and the curve's
  // colour with the title.
  void takeSettings(const SettingsValues& values);
  void collectSettings(SettingsValues& values);
  // Scales the chart's drawing along with the page's controls.
  void scaleChart(double factor);
  void setMeasuringLed(bool on);

  // The earlier discharge drawn behind the line, in its file's order; empty for none.
  const std::vector<ReferencePoint>& reference() const;

  void bindChartToTable();
  void RedrawScreen();
  void chartReread();
  void Sca_X_060Click();
  void Sca_X_120Click();
  void Sca_X_300Click();
  void Sca_X_600Click();
  void Sca_Y_15Click();
  void Sca_Y_03Click();
  void Barva_KrivkyClick();
  void Titulek_GrafuClick();
  void Tisk_GrafuClick();
  void Export_BMPClick();
  void Export_WMFClick();
  void Referencni_KrivkaClick();
  void Bez_Referencni_KrivkyClick();

signals:
  // A text for the status line that no control's hint gives.
  void statusShown(const QString& text);
  // Another reference, or none, from now on.
  void referenceChanged();

private:
  ChartView* Report1 = nullptr;
  TLed* Led1 = nullptr;
  TLed* Graf_Measure_Led = nullptr;
  QToolButton* SpeedButton3 = nullptr;

  struct ScaleItem {
    QAction* item;
    int* value;
    int setting;
  };
  // Each scale item with the setting it changes and the value it stands for.
  std::vector<ScaleItem> scaleItems();
  void selectScale(int& value, int setting, QAction* item);
  void selectTimeScale(std::size_t index);
  void selectVoltageScale(std::size_t index);
  using ChartFileWriter = int (*)(const ChartEngine&, const ChartPicture&, const std::string&);
  void exportChart(const SaveDialogOptions& options, ChartFileWriter write);
  void loadStoredReference();
  void showReference(std::vector<ReferencePoint> points);

  PageHost& m_host;
  MeasurementTable& m_table;
  const MeasuringCycle& m_cycle;
  QActionGroup* m_timeAxisGroup = nullptr;
  QActionGroup* m_voltageAxisGroup = nullptr;
  bool m_rereading = false;
};

} // namespace kelvor
