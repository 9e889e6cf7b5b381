#pragma once

#include <QObject>

class QSocketNotifier;

namespace kelvor {

// Turns SIGTERM, SIGHUP and SIGINT (a logout, a closed terminal, Ctrl-C) into a Qt signal on
// the event-loop thread, so the program can end through its orderly shutdown instead of
// dying with its settings unwritten and its port open. One instance per process.
class ShutdownSignals : public QObject {
  Q_OBJECT

public:
  explicit ShutdownSignals(QObject* parent = nullptr);
  ~ShutdownSignals() override;
  ShutdownSignals(const ShutdownSignals&) = delete;
  ShutdownSignals& operator=(const ShutdownSignals&) = delete;

signals:
  void shutdownRequested();

private:
  void drain();

  QSocketNotifier* m_notifier = nullptr;
};

} // namespace kelvor
