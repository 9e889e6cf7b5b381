#include "app/cutoffmonitor.h"

#include "data/core/measurementtable.h"
#include "data/core/numbertext.h"
#include "instrument/measuringcontroller.h"

#include <QApplication>
#include <QTimer>

#include <exception>

namespace kelvor {

CutoffMonitor::CutoffMonitor(MeasuringController& measuring, EventLog& events,
                             std::function<void()> switchOff, QObject* parent)
    : QObject(parent), m_measuring(measuring), m_events(events), m_switchOff(std::move(switchOff)),
      m_bell([] { QApplication::beep(); }), m_bellTimer(new QTimer(this)) {
  m_bellTimer->setInterval(kBellInterval);
  connect(m_bellTimer, &QTimer::timeout, this, [this] { m_bell(); });
  connect(&m_measuring, &MeasuringController::measuringSwitched, this,
          &CutoffMonitor::measuringSwitched);
  connect(&m_measuring, &MeasuringController::readingTaken, this, &CutoffMonitor::readingTaken);
}

// Switching on while on repeats nothing: the run goes on and keeps its count.
void CutoffMonitor::measuringSwitched(bool on) {
  if (on && !m_alarm.running())
    m_alarm.startRun();
  else if (!on)
    m_alarm.endRun();
}

void CutoffMonitor::readingTaken(double volts, const QString& voltageText, int secondsOfDay) {
  if (const std::optional<CutoffKind> kind = m_alarm.reading(volts))
    raise(*kind, volts, voltageText, secondsOfDay);
}

QString CutoffMonitor::alarmTextFor(CutoffKind kind, double volts, double cutoffVolts,
                                    int secondsOfDay) {
  const QString voltage = QString::fromStdString(formatFixed(volts, 0, 3));
  const QString cutoff = QString::fromStdString(formatFixed(cutoffVolts, 0, 3));
  const QString time = QString::fromStdString(timeToStorageText(secondsOfDay));
  const QString what =
      kind == CutoffKind::Collapse
          ? QStringLiteral("Napětí  náhle  kleslo  na  %1 V  (odpojovací  mez  %2 V)  v  %3.")
          : QStringLiteral("Napětí  %1 V  dosáhlo  odpojovací  meze  %2 V  v  %3.");
  return what.arg(voltage, cutoff, time) + QStringLiteral("  Odpojte  zátěž.");
}

void CutoffMonitor::raise(CutoffKind kind, double volts, const QString& voltageText,
                          int secondsOfDay) {
  m_pending = kind;
  m_text = alarmTextFor(kind, volts, m_alarm.rule().cutoffVolts, secondsOfDay);
  noteMoment({secondsOfDay, m_measuring.cycle.MinutesText, voltageText.toStdString(),
              kind == CutoffKind::Collapse ? kCollapseKind : kBelowCutoffKind});
  m_bell();
  m_bellTimer->start();
  emit alarmChanged(true);
  emit cutoffAlarmRaised(m_text);
  if (m_stopAtCutoff && m_switchOff)
    m_switchOff();
}

// The moment is committed before anything else happens, so a crash right after the alarm
// still leaves it in the file.
void CutoffMonitor::noteMoment(const MeasuringEvent& event) {
  try {
    m_events.append(event);
  } catch (const std::exception& error) {
    emit eventNotStored(QString::fromStdString(error.what()));
  }
}

void CutoffMonitor::acknowledge() {
  if (!m_pending)
    return;
  m_pending.reset();
  m_bellTimer->stop();
  emit alarmChanged(false);
}

} // namespace kelvor
