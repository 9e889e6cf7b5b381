#include "app/shutdownsignals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <csignal>

namespace kelvor {
namespace {

// The handler may only do async-signal-safe work: it writes one byte into a pipe that the
// event loop watches.
std::array<int, 2> g_pipe{-1, -1};
constexpr std::array kSignals{SIGTERM, SIGHUP, SIGINT};

extern "C" void onShutdownSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
}

} // namespace

ShutdownSignals::ShutdownSignals(QObject* parent) : QObject(parent) {
  if (::pipe2(g_pipe.data(), O_CLOEXEC | O_NONBLOCK) != 0)
    return;
  m_notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
  connect(m_notifier, &QSocketNotifier::activated, this, [this] {
    drain();
    emit shutdownRequested();
  });
  struct sigaction action {};
  action.sa_handler = onShutdownSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : kSignals)
    ::sigaction(signal, &action, nullptr);
}

ShutdownSignals::~ShutdownSignals() {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  for (const int signal : kSignals)
    ::sigaction(signal, &action, nullptr);
  for (int& fd : g_pipe) {
    if (fd >= 0)
      ::close(fd);
    fd = -1;
  }
}

void ShutdownSignals::drain() {
  std::array<char, 64> bytes{};
  while (::read(g_pipe[0], bytes.data(), bytes.size()) > 0) {
  }
}

} // namespace kelvor
