#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

// A copy of the test executable playing the program, seen from the parent: its report lines
// as they come, and a kill with SIGKILL at a chosen moment.
class VictimProcess {
public:
  // Starts `<this executable> -victim <arguments>`.
  explicit VictimProcess(const QStringList& arguments);
  ~VictimProcess();
  VictimProcess(const VictimProcess&) = delete;
  VictimProcess& operator=(const VictimProcess&) = delete;

  // Waits for a line that starts with `prefix`, after the lines already waited for; false
  // when the victim ends or the time runs out first.
  bool waitForLine(const QString& prefix, int timeoutMs);
  // The rest of the line waited for last, after its prefix.
  const QString& lastOperand() const { return m_lastOperand; }

  // Reads the victim's lines until `momentMs` has passed on `clock`, then kills it and waits
  // for its end. False when the victim had ended by itself before.
  bool killAt(const QElapsedTimer& clock, qint64 momentMs);

  // Kills the victim at once, whatever it is doing.
  bool killNow();

  const QStringList& lines() const { return m_lines; }
  QStringList linesStartingWith(const QString& prefix) const;
  bool saw(const QString& prefix) const { return !linesStartingWith(prefix).isEmpty(); }
  // Everything the victim said, for a failure message.
  QString transcript() const;

private:
  void readLines();

  QProcess m_process;
  QStringList m_lines;
  qsizetype m_scanned = 0;
  QString m_lastOperand;
};
