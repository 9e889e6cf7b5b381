#include "tests/crash/victimprocess.h"

#include "tests/crash/victimprotocol.h"

#include <QCoreApplication>
#include <QProcessEnvironment>

#include <signal.h>

#include <algorithm>

VictimProcess::VictimProcess(const QStringList& arguments) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  // Imported times are read in the user's time format: the parent writes them in C's.
  environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
  environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
  m_process.setProcessEnvironment(environment);
  m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  m_process.setProgram(QCoreApplication::applicationFilePath());
  m_process.setArguments(QStringList{QLatin1String(victim::kVictimSwitch)} + arguments);
  m_process.start();
  m_process.waitForStarted(10000);
}

VictimProcess::~VictimProcess() {
  if (m_process.state() != QProcess::NotRunning) {
    m_process.kill();
    m_process.waitForFinished(10000);
  }
}

void VictimProcess::readLines() {
  while (m_process.canReadLine())
    m_lines << QString::fromUtf8(m_process.readLine()).chopped(1);
}

bool VictimProcess::waitForLine(const QString& prefix, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    readLines();
    for (; m_scanned < m_lines.size(); ++m_scanned) {
      if (m_lines[m_scanned].startsWith(prefix)) {
        m_lastOperand = m_lines[m_scanned].mid(prefix.size()).trimmed();
        ++m_scanned;
        return true;
      }
    }
    const qint64 remaining = timeoutMs - clock.elapsed();
    if (m_process.state() == QProcess::NotRunning || remaining <= 0)
      return false;
    m_process.waitForReadyRead(static_cast<int>(std::min<qint64>(remaining, 100)));
  }
}

bool VictimProcess::killAt(const QElapsedTimer& clock, qint64 momentMs) {
  for (qint64 remaining = momentMs - clock.elapsed(); remaining > 0;
       remaining = momentMs - clock.elapsed()) {
    if (m_process.state() == QProcess::NotRunning) {
      readLines();
      return false;
    }
    // Returns early when the victim reports; the lines are read on the next round.
    m_process.waitForReadyRead(static_cast<int>(remaining));
    readLines();
  }
  if (m_process.state() == QProcess::NotRunning)
    return false;
  ::kill(static_cast<pid_t>(m_process.processId()), SIGKILL);
  m_process.waitForFinished(10000);
  readLines();
  return m_process.exitStatus() == QProcess::CrashExit;
}

bool VictimProcess::killNow() {
  QElapsedTimer clock;
  clock.start();
  return killAt(clock, 0);
}

QStringList VictimProcess::linesStartingWith(const QString& prefix) const {
  QStringList found;
  std::copy_if(m_lines.begin(), m_lines.end(), std::back_inserter(found),
               [&prefix](const QString& line) { return line.startsWith(prefix); });
  return found;
}

QString VictimProcess::transcript() const {
  return QStringLiteral("victim said:\n  ") + m_lines.join(QStringLiteral("\n  "));
}
