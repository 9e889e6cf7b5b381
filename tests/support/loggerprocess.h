#pragma once

#include "tests/support/controlchannel.h"

#include <QByteArray>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// The simulated logger as a child process: its pseudo-terminal's path, and its control FIFO
// for changing its behaviour while it runs.
class LoggerProcess {
public:
  explicit LoggerProcess(const QStringList& arguments) {
    m_process.setProgram(QStringLiteral(KELVOR_LOGGER_SIM));
    m_process.setArguments(arguments + QStringList{QStringLiteral("--control"), fifoPath()});
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    if (!m_process.waitForStarted(5000))
      return;
    while (!m_process.canReadLine() && m_process.waitForReadyRead(5000)) {
    }
    m_path = QString::fromUtf8(m_process.readLine()).trimmed();
  }
  ~LoggerProcess() {
    m_process.terminate();
    if (!m_process.waitForFinished(3000))
      m_process.kill();
    m_process.waitForFinished(1000);
  }
  LoggerProcess(const LoggerProcess&) = delete;
  LoggerProcess& operator=(const LoggerProcess&) = delete;

  // The terminal the program is to open; empty when the simulator did not start.
  const QString& path() const { return m_path; }

  // One control line, such as "hold 9" or "silent on"; true once the simulator obeys it.
  bool control(const QByteArray& line) { return m_control.send(line); }

private:
  QString fifoPath() const { return m_dir.filePath(QStringLiteral("control")); }

  QTemporaryDir m_dir;
  QProcess m_process;
  QString m_path;
  ControlChannel m_control{fifoPath()};
};
