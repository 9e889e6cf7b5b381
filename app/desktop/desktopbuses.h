#pragma once

#include <QDBusConnection>
#include <QString>

#include <optional>

namespace kelvor {

// The two message buses a desktop program talks to, connected on first use: a program that
// never needs them never touches them, and one without a bus simply finds them unconnected.
class DesktopBuses {
public:
  // The buses of the login the program runs in.
  static DesktopBuses ofLogin();
  // Buses at the given addresses, each under a connection name of its own.
  static DesktopBuses at(const QString& systemAddress, const QString& sessionAddress);

  QDBusConnection system();
  QDBusConnection session();

private:
  DesktopBuses(QString systemAddress, QString sessionAddress);

  QString m_systemAddress;
  QString m_sessionAddress;
  std::optional<QDBusConnection> m_system;
  std::optional<QDBusConnection> m_session;
};

} // namespace kelvor
