#pragma once

#include "app/filelocations.h"
#include "app/operatordialogs.h"

#include <functional>
#include <memory>

namespace kelvor {

class ShutdownSignals;
class TForm1;
class TForm3;
class TForm7;

// The program's windows built in the order of its start-up: the main window with its
// start-up, the table report form, the interval selection window, and their wiring. The
// program entry, the tests and the benchmarks all build it here.
class Program {
public:
  // Who the run is for. The operator's run ends through the orderly shutdown on SIGTERM,
  // SIGHUP and SIGINT, from before the first window is built on (one such run per process),
  // names the application and has Qt's own dialogs speak Czech. A run inside a test or a
  // benchmark leaves the process's signals and the application alone.
  enum class Host { Operator, Harness };

  // `locations` says where the settings file and the table live; `dialogs` answers the
  // operator's questions (the real dialogs when null); `beforeStartUp` sees the main window
  // after it is built and before its start-up runs. A QApplication must exist.
  explicit Program(const FileLocations& locations,
                   std::unique_ptr<OperatorDialogs> dialogs = nullptr, Host host = Host::Harness,
                   const std::function<void(TForm1&)>& beforeStartUp = {});
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  TForm1& form() const { return *m_form1; }
  TForm3& form3() const { return *m_form3; }
  TForm7& form7() const { return *m_form7; }
  const FileLocations& locations() const { return m_locations; }

  // Whether a shutdown signal came while the windows were being built.
  bool shutdownRequestedDuringStartUp() const { return m_shutdownRequested; }

  void show();
  // Shows the main window and runs the event loop until it closes, then shuts down. A
  // shutdown signal that came during start-up skips the loop: the run ends at once through
  // the shutdown. Returns the exit code.
  int run();
  // The shutdown (settings written, port closed); runs once, later calls do nothing.
  void shutdown();

private:
  void catchShutdownSignals();
  void prepareApplication();
  void onShutdownSignal();

  FileLocations m_locations;
  std::unique_ptr<ShutdownSignals> m_shutdownSignals;
  std::unique_ptr<TForm1> m_form1;
  std::unique_ptr<TForm3> m_form3;
  std::unique_ptr<TForm7> m_form7;
  bool m_built = false;
  bool m_shutdownRequested = false;
};

} // namespace kelvor
