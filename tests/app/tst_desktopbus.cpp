// The sleep inhibitor and the desktop notification against a private message bus: the real
// dbus-daemon, with small stand-ins for logind, the screen saver and the notification service.
#include "app/desktop/desktopbuses.h"
#include "app/desktop/desktopnotifier.h"
#include "app/desktop/sleepinhibitor.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QProcess>
#include <QTest>

#include <poll.h>
#include <unistd.h>

using namespace kelvor;

namespace {

// Holds the far end of each lock it hands out: the lock is given back when that end reads as
// closed.
class StandInLogind : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public:
  ~StandInLogind() override {
    for (int fd : readEnds)
      ::close(fd);
  }
  QStringList asked;
  std::vector<int> readEnds;
  bool lockGivenBack(std::size_t n) const {
    pollfd p{readEnds.at(n), POLLIN, 0};
    char byte = 0;
    return ::poll(&p, 1, 0) == 1 && ::read(readEnds.at(n), &byte, 1) == 0;
  }
public slots:
  QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                  const QString& mode) {
    asked = {what, who, why, mode};
    int ends[2] = {-1, -1};
    if (::pipe(ends) != 0)
      return {};
    readEnds.push_back(ends[0]);
    QDBusUnixFileDescriptor lock(ends[1]);
    ::close(ends[1]);
    return lock;
  }
};

class StandInScreenSaver : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
  QList<uint> held;
public slots:
  uint Inhibit(const QString&, const QString&) { return held.emplaceBack(41U + held.size()); }
  void UnInhibit(uint cookie) { held.removeOne(cookie); }
};

class StandInNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
  QStringList shown;
public slots:
  uint Notify(const QString& app, uint, const QString&, const QString& summary, const QString& body,
              const QStringList&, const QVariantMap& hints, int) {
    shown << app << summary << body
          << QString::number(hints.value(QStringLiteral("urgency")).toInt());
    return 1;
  }
};

} // namespace

class TestDesktopBus : public QObject {
  Q_OBJECT

  QProcess m_daemon;
  QString m_address;
  QStringList m_services;

  // Serves `object` under `service` on a connection of its own, as another program would.
  void serve(const QString& service, const QString& path, QObject* object) {
    m_services << QStringLiteral("service%1").arg(m_services.size());
    QDBusConnection connection = QDBusConnection::connectToBus(m_address, m_services.last());
    QVERIFY(connection.registerObject(path, object, QDBusConnection::ExportAllSlots));
    QVERIFY(connection.registerService(service));
  }

private slots:
  void initTestCase() {
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--session"), QStringLiteral("--nofork"),
                    QStringLiteral("--print-address=1")});
    QVERIFY2(m_daemon.waitForStarted(), "dbus-daemon is not installed");
    QTRY_VERIFY_WITH_TIMEOUT(m_daemon.canReadLine(), 60000);
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
  }
  // The services leave the bus with their connections.
  void cleanup() {
    for (const QString& service : std::as_const(m_services))
      QDBusConnection::disconnectFromBus(service);
  }
  void cleanupTestCase() { m_daemon.kill(); }

  // Logind's lock is held while measuring and given back on release, also when the release
  // comes before logind's answer, and when the program ends holding it.
  void logindLockIsTakenAndGivenBack() {
    StandInLogind logind;
    serve(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
          &logind);
    DesktopBuses buses = DesktopBuses::at(m_address, m_address);
    {
      SleepInhibitor inhibitor(buses, QStringLiteral("měří"));
      inhibitor.hold();
      QTRY_COMPARE_WITH_TIMEOUT(inhibitor.holder(), SleepInhibitor::Holder::Logind, 30000);
      QCOMPARE(logind.asked, (QStringList{"sleep:idle", "Kelvor", "měří", "block"}));
      QVERIFY(!logind.lockGivenBack(0));
      inhibitor.release();
      QTRY_VERIFY_WITH_TIMEOUT(logind.lockGivenBack(0), 30000);

      inhibitor.hold();
      inhibitor.release();
      QTRY_COMPARE_WITH_TIMEOUT(logind.readEnds.size(), std::size_t{2}, 30000);
      QTRY_VERIFY_WITH_TIMEOUT(logind.lockGivenBack(1), 30000);
      QCOMPARE(inhibitor.holder(), SleepInhibitor::Holder::Nobody);

      inhibitor.hold();
      QTRY_COMPARE_WITH_TIMEOUT(inhibitor.holder(), SleepInhibitor::Holder::Logind, 30000);
    }
    QTRY_VERIFY_WITH_TIMEOUT(logind.lockGivenBack(2), 30000);
  }

  // Without logind on the system bus, the screen saver holds off sleep with a cookie that
  // the release hands back; the session bus also carries the alarm to the desktop.
  void theSessionBusHoldsOffSleepAndShowsTheAlarm() {
    StandInScreenSaver screenSaver;
    StandInNotifications notifications;
    serve(QStringLiteral("org.freedesktop.ScreenSaver"),
          QStringLiteral("/org/freedesktop/ScreenSaver"), &screenSaver);
    serve(QStringLiteral("org.freedesktop.Notifications"),
          QStringLiteral("/org/freedesktop/Notifications"), &notifications);
    DesktopBuses buses = DesktopBuses::at(m_address, m_address);
    SleepInhibitor inhibitor(buses, QStringLiteral("měří"));
    inhibitor.hold();
    QTRY_COMPARE_WITH_TIMEOUT(inhibitor.holder(), SleepInhibitor::Holder::ScreenSaver, 60000);
    QCOMPARE(screenSaver.held, QList<uint>{41});
    inhibitor.release();
    QTRY_VERIFY_WITH_TIMEOUT(screenSaver.held.isEmpty(), 30000);

    DesktopNotifier(buses).notify(QStringLiteral("Kelvor"), QStringLiteral("Odpojte  zátěž."));
    QTRY_COMPARE_WITH_TIMEOUT(notifications.shown,
                              (QStringList{"Kelvor", "Kelvor", "Odpojte  zátěž.", "2"}), 30000);
  }
};

QTEST_GUILESS_MAIN(TestDesktopBus)
#include "tst_desktopbus.moc"
