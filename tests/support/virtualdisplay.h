#pragma once

#include "tests/support/processfigures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QThread>

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

// A real X display for the tests: Xvfb on a free display number with openbox as its window
// manager (without one a window is neither maximised nor given the keyboard). Both end with
// the object.
class VirtualDisplay {
public:
  static constexpr int kWidth = 1024;
  static constexpr int kHeight = 768;
  // A process that has neither used the processor nor read or written for this long is
  // waiting for something that does not come.
  static constexpr qint64 kIdleLimitMs = 15000;

  VirtualDisplay() {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    if (xvfb.isEmpty() || openbox.isEmpty()) {
      m_problem = QStringLiteral("Xvfb or openbox is not installed (scripts/deps installs them)");
      return;
    }
    m_installed = true;
    startServer(xvfb);
    if (m_number < 0) {
      m_problem = QStringLiteral("Xvfb did not start");
      return;
    }
    m_windowManager.setProgram(openbox);
    m_windowManager.setProcessEnvironment(environment());
    m_windowManager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_windowManager.start();
    // A window mapped while openbox is still starting is never shown. Openbox starts slowly
    // where no font cache exists yet (a new machine), as it builds one, while a program that
    // finds the cache another has just built starts at once.
    if (!m_windowManager.waitForStarted(10000) ||
        !waitWhileWorking(m_windowManager.processId(), [this] { return windowManagerRuns(); }))
      m_problem = QStringLiteral("openbox did not take the display");
  }

  ~VirtualDisplay() {
    stop(m_windowManager);
    stop(m_server);
  }

  VirtualDisplay(const VirtualDisplay&) = delete;
  VirtualDisplay& operator=(const VirtualDisplay&) = delete;

  // Whether Xvfb and openbox are there at all: a display that cannot start without them is
  // skipped, one that does not start with them fails.
  bool isInstalled() const { return m_installed; }
  bool isRunning() const { return m_problem.isEmpty(); }
  const QString& problem() const { return m_problem; }
  QString name() const { return QStringLiteral(":%1").arg(m_number); }

  // The environment of a program on this display.
  QProcessEnvironment environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), name());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
  }

  // What xdotool prints for `arguments` on this display; nothing when it hangs.
  QByteArray xdotool(const QStringList& arguments) const {
    QProcess tool;
    tool.setProcessEnvironment(environment());
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(20000)) {
      tool.kill();
      tool.waitForFinished(2000);
      return {};
    }
    return tool.readAllStandardOutput();
  }

  // Openbox announces that it manages the display with its number of desktops; before that
  // xdotool reads none.
  bool windowManagerRuns() const {
    return xdotool({QStringLiteral("get_num_desktops")}).trimmed().toInt() > 0;
  }

  // Waits until `done` holds, for as long as process `pid` works: a start that is slow on a
  // new or loaded machine is waited for; one that has ended, or has done nothing for
  // kIdleLimitMs, fails. Events are handled meanwhile.
  static bool waitWhileWorking(qint64 pid, const std::function<bool()>& done) {
    std::int64_t work = workDone(pid);
    QElapsedTimer idle;
    idle.start();
    while (!done()) {
      const std::int64_t now = workDone(pid);
      if (now < 0 || idle.elapsed() > kIdleLimitMs)
        return done();
      if (now != work) {
        work = now;
        idle.restart();
      }
      QCoreApplication::processEvents();
      QThread::msleep(100);
    }
    return true;
  }

  // The visible windows of a process, each as its id and name.
  QList<std::pair<QString, QString>> windowsOf(qint64 pid) const {
    QList<std::pair<QString, QString>> found;
    const QByteArray ids = xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                    QStringLiteral("--pid"), QString::number(pid)});
    for (const QByteArray& id : ids.split('\n')) {
      if (id.trimmed().isEmpty())
        continue;
      const QString name = QString::fromUtf8(
          xdotool({QStringLiteral("getwindowname"), QString::fromLatin1(id.trimmed())}).trimmed());
      found.push_back({QString::fromLatin1(id.trimmed()), name});
    }
    return found;
  }

private:
  static void stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
      return;
    process.terminate();
    if (!process.waitForFinished(5000))
      process.kill();
    process.waitForFinished(2000);
  }

  // Xvfb takes a free display itself and writes its number once it accepts connections, so
  // two suites that start a display at the same moment never share one. Without a reset the
  // display stays as it is when its last client goes.
  void startServer(const QString& xvfb) {
    m_server.setProgram(xvfb);
    m_server.setArguments(
        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
         QStringLiteral("0"), QStringLiteral("%1x%2x24").arg(kWidth).arg(kHeight),
         QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-noreset")});
    m_server.setStandardErrorFile(QProcess::nullDevice());
    m_server.start();
    if (!m_server.waitForStarted(10000))
      return;
    QByteArray announced;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 30000 && !announced.contains('\n') &&
           m_server.state() == QProcess::Running) {
      m_server.waitForReadyRead(1000);
      announced += m_server.readAllStandardOutput();
    }
    bool isNumber = false;
    const int number = announced.trimmed().toInt(&isNumber);
    if (isNumber && announced.contains('\n'))
      m_number = number;
    else
      stop(m_server);
  }

  QProcess m_server;
  QProcess m_windowManager;
  int m_number = -1;
  bool m_installed = false;
  QString m_problem;
};
