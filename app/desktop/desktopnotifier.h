#pragma once

#include <QString>

namespace kelvor {

class DesktopBuses;

// Puts a message on the desktop through the freedesktop notification service. The call is
// sent and forgotten: without a bus or a service, or with one that never answers, the
// program goes on at once.
class DesktopNotifier {
public:
  explicit DesktopNotifier(DesktopBuses& buses) : m_buses(buses) {}

  void notify(const QString& summary, const QString& body);

private:
  DesktopBuses& m_buses;
};

} // namespace kelvor
