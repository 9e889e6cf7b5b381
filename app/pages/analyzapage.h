#pragma once

#include "data/core/eventlog.h"
#include "data/core/runsummary.h"
#include "data/core/tablesummary.h"

#include <QString>
#include <QWidget>

#include <map>
#include <optional>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace kelvor {

struct AnalyzaSettings;
class CutoffMonitor;
class MeasurementTable;
class MeasuringController;
struct SettingsValues;

// The ANALÝZA page: the summary of the table as it stands, following every stored record, the
// cut-off alarm's settings and its acknowledgement, the load for capacity and energy, and the
// comparison with a reference curve.
class AnalyzaPage : public QWidget {
  Q_OBJECT

public:
  AnalyzaPage(MeasurementTable& table, const MeasuringController& measuring, CutoffMonitor& monitor,
              EventLog& events, QWidget* parent = nullptr);

  void takeSettings(const SettingsValues& values);
  void collectSettings(SettingsValues& values) const;
  // A reference curve (elapsed minutes and volts); empty for none.
  void setReference(std::vector<ReferencePoint> points);
  // The noted events changed (an alarm, a cleared table).
  void reloadEvents();

  // The shown value of a summary line, by the line's name ("PocetZaznamu", "Kapacita", …).
  QString shownValue(const char* name) const;

  QLineEdit* Odpojeni = nullptr;
  QSpinBox* PocetPod = nullptr;
  QCheckBox* Zastavit = nullptr;
  QLineEdit* Proud = nullptr;
  QLineEdit* Odpor = nullptr;
  QPushButton* PotvrditButton = nullptr;
  QLabel* AlarmLabel = nullptr;

  void PotvrditButtonClick();

protected:
  // The summary keeps up with the table only while the page is shown.
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

private:
  void createSummary();
  void createSettings();
  void createAlarm();
  void connectSettings();
  void operatorChanged();
  void applySettings();
  void showSummary();
  void showLoadFigures();
  void showReference();
  void showAlarm(bool pending);
  void setValue(const char* name, const QString& text);
  SummaryParameters parameters() const;

  const MeasuringController& m_measuring;
  CutoffMonitor& m_monitor;
  EventLog& m_eventLog;
  TableSummary m_summary;
  std::vector<MeasuringEvent> m_events;
  std::vector<ReferencePoint> m_reference;
  std::map<QString, QLabel*> m_values;
  bool m_setByOperator = false;
  bool m_taking = false;
};

} // namespace kelvor
