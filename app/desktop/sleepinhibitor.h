#pragma once

#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QString>

#include <cstdint>

class QDBusPendingCallWatcher;

namespace kelvor {

class DesktopBuses;

// Keeps the machine awake while measuring runs: a night's discharge must not end in a
// suspended laptop. It asks logind for a blocking inhibitor on the system bus and, where that
// is refused or missing, the desktop's screen saver on the session bus. Every request is
// asynchronous; nothing in the program waits on a bus.
class SleepInhibitor : public QObject {
  Q_OBJECT

public:
  enum class Holder { Nobody, Logind, ScreenSaver };

  SleepInhibitor(DesktopBuses& buses, QString reason, QObject* parent = nullptr);
  ~SleepInhibitor() override;

  void hold();
  void release();

  Holder holder() const { return m_holder; }

private:
  void askLogind();
  void askScreenSaver();
  void takeLogindReply(QDBusPendingCallWatcher* watcher);
  void takeScreenSaverReply(QDBusPendingCallWatcher* watcher);
  void giveBack();

  DesktopBuses& m_buses;
  QString m_reason;
  bool m_wanted = false;
  bool m_asking = false;
  Holder m_holder = Holder::Nobody;
  QDBusUnixFileDescriptor m_logindLock;
  std::uint32_t m_screenSaverCookie = 0;
};

} // namespace kelvor
