#pragma once

#include "data/core/eventlog.h"
#include "instrument/core/cutoffalarm.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QTimer;

namespace kelvor {

class MeasuringController;

// The cut-off alarm's place in the running program: it watches the session's readings, and
// when the battery reaches its end it notes the moment in the event table, says so in the
// alarm text, sounds the bell every 10 s until the operator acknowledges it, and (when the
// operator chose so) switches measuring off as the menu does.
class CutoffMonitor : public QObject {
  Q_OBJECT

public:
  static constexpr int kBellInterval = 10000;
  static constexpr char kBelowCutoffKind[] = "POD";
  static constexpr char kCollapseKind[] = "PROPAD";

  // `switchOff` stops measuring as the menu's "&Vypnuto" does.
  CutoffMonitor(MeasuringController& measuring, EventLog& events, std::function<void()> switchOff,
                QObject* parent = nullptr);

  void setRule(const CutoffRule& rule) { m_alarm.setRule(rule); }
  const CutoffRule& rule() const { return m_alarm.rule(); }
  void setStopAtCutoff(bool stop) { m_stopAtCutoff = stop; }
  // The bell; QApplication::beep unless replaced.
  void setBell(std::function<void()> bell) { m_bell = std::move(bell); }

  bool alarmPending() const { return m_pending.has_value(); }
  const QString& alarmText() const { return m_text; }
  QTimer* bellTimer() const { return m_bellTimer; }

  void acknowledge();

  // "Napětí  … V  dosáhlo  odpojovací  meze  … V  v  HH:MM:SS.  Odpojte  zátěž."
  static QString alarmTextFor(CutoffKind kind, double volts, double cutoffVolts, int secondsOfDay);

signals:
  // For the desktop's notifier: the alarm text.
  void cutoffAlarmRaised(const QString& body);
  // For the status line and the analysis page.
  void alarmChanged(bool pending);
  // The moment could not be stored; the database engine's words.
  void eventNotStored(const QString& message);

private:
  void measuringSwitched(bool on);
  void readingTaken(double volts, const QString& voltageText, int secondsOfDay);
  void raise(CutoffKind kind, double volts, const QString& voltageText, int secondsOfDay);
  void noteMoment(const MeasuringEvent& event);

  MeasuringController& m_measuring;
  EventLog& m_events;
  std::function<void()> m_switchOff;
  std::function<void()> m_bell;
  CutoffAlarm m_alarm;
  bool m_stopAtCutoff = false;
  std::optional<CutoffKind> m_pending;
  QString m_text;
  QTimer* m_bellTimer = nullptr;
};

} // namespace kelvor
