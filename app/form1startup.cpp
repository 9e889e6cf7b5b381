#include "app/core/settingsvalues.h"
#include "app/desktop/sleepinhibitor.h"
#include "app/form1.h"
#include "app/hints.h"
#include "app/pages/analyzapage.h"
#include "app/pages/grafpage.h"
#include "app/pages/meterspage.h"
#include "app/pages/parametrypage.h"
#include "app/pages/tabulkapage.h"
#include "data/core/numbertext.h"
#include "serial/serialline.h"

#include <QApplication>
#include <QFileInfo>
#include <QTabWidget>

#include <exception>

namespace kelvor {

// A first start finds no settings file: it gets one with the choices a new user wants. Where
// it cannot be written, the same choices still hold for this run.
SettingsValues TForm1::readSettings() {
  SettingsValues present;
  if (!QFileInfo::exists(m_locations.settingsFile())) {
    present = firstStartSettings();
    runCommand([this, &present] { writeSettingsValues(m_settings, present); });
  }
  return readSettingsValues(m_settings, present);
}

void TForm1::takeSettings(const SettingsValues& values) {
  TABULKA->takeSettings(values);
  GRAF->takeSettings(values);
  PARAMETRY->takeSettings(values);
  ANALYZA->takeSettings(values);
  Stranka = QString::fromStdString(values.Stranka);
  m_measuring->cycle.Doba = values.Doba;
  m_measuring->cycle.MinutesText = values.Minuty;
}

// `Minuty` is written only at an orderly end: after a crash or a power cut the table holds
// records further on than it, and the next record carries the minutes after the last one
// stored, not those after the run before.
void TForm1::resumeMinutes(const SettingsValues& values) {
  MeasuringCycle& cycle = m_measuring->cycle;
  std::string minutesText = values.Minuty;
  double minutes = parseLeadingNumber(minutesText).value_or(0.0);
  if (Table1.isOpen() && Table1.recordCount() > 0) {
    try {
      const double stored = Table1.storedFieldAsFloat(Table1.recordCount() - 1, Field::Minutes);
      if (stored > minutes) {
        minutes = stored;
        minutesText = formatFixed(stored, 6, 1);
      }
    } catch (const std::exception&) {
      // A last record without a number in MINUTES says nothing about the run before.
    }
  }
  cycle.resumeMinutes(minutesText, minutes);
}

void TForm1::FormCreate() {
  const SettingsValues values = readSettings();
  takeSettings(values);
  // Each selection runs the group's click handler as the operator's choice would.
  PARAMETRY->selectStoredBaudRate();
  PARAMETRY->selectStoredPort();
  PARAMETRY->selectStoredInterval();
  GRAF->markScaleItems();
  resumeMinutes(values);
  PARAMETRY->showStoredKonstanta();
  GRAF->bindChartToTable();
  GRAF->RedrawScreen();
  METERS->showSwitchedOffLook();
  METERS->showScale();
  qApp->installEventFilter(m_hintTracker);
  connect(m_hintTracker, &HintTracker::hintChanged, this, &TForm1::ShowHint);
  showStoredPage();
  PARAMETRY->selectStoredRowCount();
  scaleToScreen();
  setWindowState(Qt::WindowMaximized);
  PARAMETRY->showNoWriteYet();
  m_measuring->cycle.ReplyWatchdog = 0;
  m_measuring->serialLine().setActive(true);
}

void TForm1::showStoredPage() {
  for (int i = 0; i < PageControl1->count(); ++i)
    if (PageControl1->widget(i)->objectName() == Stranka)
      PageControl1->setCurrentIndex(i);
}

SettingsValues TForm1::collectSettings() {
  SettingsValues values;
  TABULKA->collectSettings(values);
  GRAF->collectSettings(values);
  Stranka = PageControl1->currentWidget()->objectName();
  values.Stranka = Stranka.toStdString();
  PARAMETRY->collectSettings(values);
  ANALYZA->collectSettings(values);
  values.Doba = m_measuring->cycle.Doba;
  values.Minuty = m_measuring->cycle.MinutesText;
  return values;
}

// A record the operator left being edited in the grid is stored now, while a message box can
// still say that it could not be; the table's close then has nothing left to fail on.
void TForm1::storePendingRecord() {
  if (!Table1.isOpen() || Table1.state() == TableState::Browse)
    return;
  if (!runCommand([this] { Table1.post(); }))
    Table1.cancel();
}

void TForm1::FormDestroy() {
  if (m_destroyed)
    return;
  m_destroyed = true;
  const SettingsValues values = collectSettings();
  try {
    writeSettingsValues(m_settings, values);
  } catch (const ProfileWriteError& error) {
    showError(QString::fromStdString(error.what()));
  }
  m_measuring->serialLine().setActive(false);
  m_sleepInhibitor->release();
  storePendingRecord();
}

} // namespace kelvor
