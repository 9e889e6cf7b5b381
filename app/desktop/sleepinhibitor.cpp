#include "app/desktop/sleepinhibitor.h"

#include "app/desktop/desktopbuses.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <utility>

namespace kelvor {

namespace {

QDBusMessage logindInhibit(const QString& reason) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
      QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
  call << QStringLiteral("sleep:idle") << QStringLiteral("Kelvor") << reason
       << QStringLiteral("block");
  return call;
}

QDBusMessage screenSaverCall(const QString& method) {
  return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
                                        QStringLiteral("/org/freedesktop/ScreenSaver"),
                                        QStringLiteral("org.freedesktop.ScreenSaver"), method);
}

} // namespace

SleepInhibitor::SleepInhibitor(DesktopBuses& buses, QString reason, QObject* parent)
    : QObject(parent), m_buses(buses), m_reason(std::move(reason)) {}

SleepInhibitor::~SleepInhibitor() {
  giveBack();
}

void SleepInhibitor::hold() {
  if (m_wanted)
    return;
  m_wanted = true;
  if (m_holder == Holder::Nobody && !m_asking)
    askLogind();
}

void SleepInhibitor::release() {
  if (!m_wanted)
    return;
  m_wanted = false;
  giveBack();
}

void SleepInhibitor::askLogind() {
  QDBusConnection bus = m_buses.system();
  if (!bus.isConnected()) {
    askScreenSaver();
    return;
  }
  m_asking = true;
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(logindInhibit(m_reason)), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, &SleepInhibitor::takeLogindReply);
}

void SleepInhibitor::askScreenSaver() {
  QDBusConnection bus = m_buses.session();
  if (!bus.isConnected()) {
    m_asking = false;
    return;
  }
  m_asking = true;
  QDBusMessage call = screenSaverCall(QStringLiteral("Inhibit"));
  call << QStringLiteral("Kelvor") << m_reason;
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, &SleepInhibitor::takeScreenSaverReply);
}

// A reply that comes after a release is taken and given back at once: logind keeps the lock
// for as long as its descriptor is open, so dropping the reply unread is not enough.
void SleepInhibitor::takeLogindReply(QDBusPendingCallWatcher* watcher) {
  watcher->deleteLater();
  const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *watcher;
  if (reply.isError()) {
    if (m_wanted) {
      askScreenSaver();
    } else {
      m_asking = false;
    }
    return;
  }
  m_asking = false;
  m_logindLock = reply.value();
  m_holder = Holder::Logind;
  if (!m_wanted)
    giveBack();
}

void SleepInhibitor::takeScreenSaverReply(QDBusPendingCallWatcher* watcher) {
  watcher->deleteLater();
  m_asking = false;
  const QDBusPendingReply<uint> reply = *watcher;
  if (reply.isError())
    return;
  m_screenSaverCookie = reply.value();
  m_holder = Holder::ScreenSaver;
  if (!m_wanted)
    giveBack();
}

void SleepInhibitor::giveBack() {
  switch (m_holder) {
  case Holder::Nobody:
    return;
  case Holder::Logind:
    m_logindLock = QDBusUnixFileDescriptor();
    break;
  case Holder::ScreenSaver: {
    QDBusMessage call = screenSaverCall(QStringLiteral("UnInhibit"));
    call << m_screenSaverCookie;
    m_buses.session().send(call);
    break;
  }
  }
  m_holder = Holder::Nobody;
}

} // namespace kelvor
