#include "app/desktop/desktopnotifier.h"

#include "app/desktop/desktopbuses.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <QVariantMap>

namespace kelvor {

namespace {

// A critical message stays on the screen until the operator closes it: the reason for it is
// one the operator must act on, perhaps after coming back to the bench.
constexpr unsigned char kUrgencyCritical = 2;
constexpr int kNeverExpires = 0;

} // namespace

void DesktopNotifier::notify(const QString& summary, const QString& body) {
  QDBusConnection bus = m_buses.session();
  if (!bus.isConnected())
    return;
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"),
      QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  const QVariantMap hints{{QStringLiteral("urgency"), QVariant::fromValue(kUrgencyCritical)}};
  call << QStringLiteral("Kelvor") << 0U << QStringLiteral("kelvor") << summary << body
       << QStringList() << hints << kNeverExpires;
  bus.asyncCall(call);
}

} // namespace kelvor
