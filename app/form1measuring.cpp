#include "app/form1.h"
#include "data/timeformat.h"
#include "instrument/core/loggerprotocol.h"
#include "widgets/led.h"
#include "widgets/levelmeter.h"
#include "widgets/needlemeter.h"

#include <QLabel>
#include <QTime>
#include <QTimer>

namespace kelvor {
namespace {

void setLabelLook(QLabel* label, const QColor& background, const QString& caption) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, background);
  label->setPalette(palette);
  label->setText(caption);
}

int secondsOfDayNow() {
  return QTime::currentTime().msecsSinceStartOfDay() / 1000;
}

// Enabling a running timer does not restart it.
void enable(QTimer* timer) {
  if (!timer->isActive())
    timer->start();
}

} // namespace

void TForm1::Mereni_ZapnutoClick() {
  enable(Timer1);
  enable(Timer2);
  setMeasuringLeds(true);
}

void TForm1::Mereni_VypnutoClick() {
  Timer1->stop();
  Timer2->stop();
  showSwitchedOffLook();
  setMeasuringLeds(false);
}

void TForm1::setMeasuringLeds(bool on) {
  for (TLed* led : {GRAF->Graf_Measure_Led, TABULKA->Tabulka_Measure_Led, Servis_Measure_Led})
    led->setValue(on);
}

void TForm1::Timer1Timer() {
  sendServiceCommand(kValDir);
}

void TForm1::Timer2Timer() {
  if (cycle.watchdogTick())
    showNoReplyLook();
}

void TForm1::Val_Mul_ButtonClick() {
  cycle.startReadout();
  enable(Timer3);
}

void TForm1::Timer3Timer() {
  const MeasuringCycle::ReadoutTick tick = cycle.readoutTick();
  if (!tick.command.empty())
    sendServiceCommand(tick.command);
  if (tick.finished)
    Timer3->stop();
}

// The looks without a reading differ only in the label's colour and caption.
void TForm1::showRestingLook(const QColor& background, const QString& caption) {
  setLabelLook(VoltageLabel, background, caption);
  NeedleMeter1->setValue(10.0f);
  LevelMeter1->setPosition(0);
  TimeLabel->clear();
}

void TForm1::showSwitchedOffLook() {
  showRestingLook(QColor(0, 128, 0), QStringLiteral("VYPNUTO"));
}

void TForm1::showNoReplyLook() {
  showRestingLook(QColor(255, 0, 0), QStringLiteral("CHYBA"));
}

void TForm1::showReadingLook() {
  setLabelLook(VoltageLabel, QColor(0, 0, 255), QString::fromStdString(cycle.VoltageText));
  NeedleMeter1->setValue(static_cast<float>(cycle.LastVoltage));
  LevelMeter1->setPosition(MeasuringCycle::levelPosition(cycle.LastVoltage));
  TimeLabel->setText(TimeFormat().format(secondsOfDayNow()));
}

// A field that is no clean number is no reading: storing it would put a false value into
// the table, so it changes neither the display nor the counters.
void TForm1::handlePresentValue(const std::string& field) {
  const std::optional<double> voltage = readPresentValue(field);
  if (!voltage)
    return;
  const bool storeDue = cycle.acceptPresentValue(*voltage);
  showReadingLook();
  if (!storeDue)
    return;
  const bool stored =
      runCommand([this] { appendRecord(secondsOfDayNow(), cycle.MinutesText, cycle.VoltageText); });
  if (!stored)
    return;
  cycle.presentValueStored();
  GRAF->chartReread();
}

void TForm1::handleReadoutRow(const std::string& field) {
  const std::string minutes = cycle.prepareReadoutRow();
  if (runCommand([this, &minutes, &field] {
        appendRecord(timeFromStorageText("00:00:00"), minutes, field);
      }))
    cycle.readoutRowStored();
}

void TForm1::appendRecord(std::optional<int> time, const std::string& minutes,
                          const std::string& voltage) {
  MeasurementTable::ViewSuspension suspended(Table1);
  Table1.append();
  Table1.setTime(time);
  Table1.setMinutes(minutes);
  Table1.setVoltage(voltage);
}

} // namespace kelvor
