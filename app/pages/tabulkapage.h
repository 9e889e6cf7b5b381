#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class QToolButton;

namespace kelvor {

class DBGrid;
class DBNavigator;
class MeasurementTable;
class MeasuringController;
class MeasuringCycle;
class PageHost;
struct SettingsValues;
class TForm3;
class TForm7;
class TLed;
class TableModel;

// The TABULKA page: the grid and navigator over the measurement table, and the table's
// commands (clear, header, print, interval selection, ASCII export and import). A command
// that changes the records says so, for the views that keep their own copy of them.
class TabulkaPage : public QWidget {
  Q_OBJECT

public:
  // The session's cycle restarts with a cleared table and takes an import's last minutes;
  // the page's lamp shows whether it measures.
  TabulkaPage(PageHost& host, MeasurementTable& table, MeasuringController& measuring,
              QWidget* parent = nullptr);
  ~TabulkaPage() override;

  // The table report form and the interval selection window, created after the main window.
  void attachForms(TForm3* form3, TForm7* form7);
  // Scales the grid's rows and fonts along with the page's controls.
  void scaleGrid(double factor);
  void setMeasuringLed(bool on);

  // Settings value.
  QString HlavickaTab;
  void takeSettings(const SettingsValues& values);
  void collectSettings(SettingsValues& values) const;

  void Vymazat_dataClick();
  void Hlavicka_TabulkyClick();
  void Tisk_tabulkyClick();
  void Vyber_IntervaluClick();
  void SelectButtonClick();
  void ExportASCII1Click();
  void Import_ASCIIClick();

  TableModel* DataSource1 = nullptr;

  TForm3* Form3 = nullptr;
  TForm7* Form7 = nullptr;

signals:
  // Clearing or an interval selection changed the records other than at their end.
  void recordsChanged();

private:
  DBGrid* DBGrid1 = nullptr;
  DBNavigator* DBNavigator1 = nullptr;
  TLed* Tabulka_Measure_Led = nullptr;
  QToolButton* SpeedButton1 = nullptr;

  PageHost& m_host;
  MeasurementTable& m_table;
  MeasuringCycle& m_cycle;
  std::unique_ptr<TableModel> m_dataSource;
};

} // namespace kelvor
