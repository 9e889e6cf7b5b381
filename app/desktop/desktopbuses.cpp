#include "app/desktop/desktopbuses.h"

#include <utility>

namespace kelvor {

namespace {

QDBusConnection connectTo(const QString& address, const char* role) {
  const QString name = QStringLiteral("kelvor-%1-%2").arg(QLatin1String(role), address);
  return QDBusConnection::connectToBus(address, name);
}

} // namespace

DesktopBuses::DesktopBuses(QString systemAddress, QString sessionAddress)
    : m_systemAddress(std::move(systemAddress)), m_sessionAddress(std::move(sessionAddress)) {}

DesktopBuses DesktopBuses::ofLogin() {
  return DesktopBuses({}, {});
}

DesktopBuses DesktopBuses::at(const QString& systemAddress, const QString& sessionAddress) {
  return DesktopBuses(systemAddress, sessionAddress);
}

QDBusConnection DesktopBuses::system() {
  if (!m_system)
    m_system = m_systemAddress.isEmpty() ? QDBusConnection::systemBus()
                                         : connectTo(m_systemAddress, "system");
  return *m_system;
}

QDBusConnection DesktopBuses::session() {
  if (!m_session)
    m_session = m_sessionAddress.isEmpty() ? QDBusConnection::sessionBus()
                                           : connectTo(m_sessionAddress, "session");
  return *m_session;
}

} // namespace kelvor
