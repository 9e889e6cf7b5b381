// kelvor-logger-sim: the data logger on a pseudo-terminal, for demos and end-to-end tests.

#include "instrument/core/loggerprotocol.h"
#include "tools/loggersim/controlfifo.h"
#include "tools/loggersim/misbehaviour.h"
#include "tools/loggersim/pacedoutput.h"
#include "tools/loggersim/pseudoterminal.h"
#include "tools/loggersim/simoptions.h"
#include "tools/loggersim/simulatedlogger.h"

#include <poll.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <iostream>
#include <optional>

namespace kelvor::sim {
namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t g_quit = 0;
volatile std::sig_atomic_t g_toggleSilent = 0;
volatile std::sig_atomic_t g_hangUp = 0;

extern "C" void onSignal(int signal) {
  if (signal == SIGUSR1)
    g_toggleSilent = 1;
  else if (signal == SIGUSR2)
    g_hangUp = 1;
  else
    g_quit = 1;
}

// Installs the handlers with the signals blocked; they are let in only while waiting, so a
// signal can never slip between the check and the wait. Returns the mask to wait with.
sigset_t installSignalHandlers() {
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  sigset_t handled;
  sigemptyset(&handled);
  for (int signal : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2}) {
    sigaction(signal, &action, nullptr);
    sigaddset(&handled, signal);
  }
  std::signal(SIGPIPE, SIG_IGN);
  sigset_t waitMask;
  sigprocmask(SIG_BLOCK, &handled, &waitMask);
  for (int signal : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2})
    sigdelset(&waitMask, signal);
  return waitMask;
}

// Cuts the received bytes into commands at each carriage return. Line feeds are dropped; a
// line too long for any command becomes one unknown command.
class CommandReader {
public:
  std::vector<std::string> feed(std::string_view bytes) {
    std::vector<std::string> commands;
    for (char c : bytes) {
      if (c == kTerminator) {
        commands.push_back(m_overlong ? std::string("?") : m_line);
        m_line.clear();
        m_overlong = false;
      } else if (c != '\n') {
        if (m_line.size() < kLongestCommand)
          m_line += c;
        else
          m_overlong = true;
      }
    }
    return commands;
  }

private:
  static constexpr std::size_t kLongestCommand = 64;
  std::string m_line;
  bool m_overlong = false;
};

// How long to sleep: until the next byte is due, but never so long that the logger's own
// clock falls far behind.
timespec waitTime(std::optional<Clock::time_point> nextByte) {
  constexpr std::chrono::milliseconds kClockTick{100};
  auto wait = std::chrono::duration_cast<std::chrono::nanoseconds>(kClockTick);
  if (nextByte)
    wait =
        std::clamp(std::chrono::duration_cast<std::chrono::nanoseconds>(*nextByte - Clock::now()),
                   std::chrono::nanoseconds{0}, wait);
  const auto count = wait.count();
  return timespec{static_cast<time_t>(count / 1'000'000'000),
                  static_cast<long>(count % 1'000'000'000)};
}

class Simulator {
public:
  explicit Simulator(const SimOptions& options)
      : m_options(options), m_logger(options.logger), m_how(options.misbehaviour),
        m_noise(options.logger.seed + 1), m_output(options.baud) {
    if (!options.link.empty())
      m_pty.linkAs(options.link);
    if (!options.pathFile.empty())
      m_pty.writePathTo(options.pathFile);
    if (!options.controlFifo.empty())
      m_fifo.emplace(options.controlFifo);
  }

  const std::string& slavePath() const { return m_pty.slavePath(); }

  int run(const sigset_t& waitMask) {
    while (!g_quit) {
      if (g_toggleSilent) {
        g_toggleSilent = 0;
        m_how.silent = !m_how.silent;
        std::cerr << "kelvor-logger-sim: silent " << (m_how.silent ? "on" : "off") << '\n';
      }
      if (g_hangUp || hangUpIsDue())
        return hangUp();
      m_logger.advanceTo(simulatedNow());
      bool lineOk = true;
      const auto nextByte = m_output.pump(m_pty.master(), lineOk);
      if (!lineOk) {
        std::cerr << "kelvor-logger-sim: the line failed\n";
        return 1;
      }
      std::array<pollfd, 2> fds{{{m_pty.master(), POLLIN, 0}, {-1, POLLIN, 0}}};
      if (m_fifo)
        fds[1].fd = m_fifo->fd();
      const timespec wait = waitTime(nextByte);
      if (::ppoll(fds.data(), fds.size(), &wait, &waitMask) < 0 && errno != EINTR)
        return 1;
      // Control lines first: a command that arrives together with one obeys it.
      if (fds[1].revents & POLLIN)
        if (const auto result = takeControlLines())
          return *result;
      if (fds[0].revents & POLLIN)
        receiveCommands();
    }
    return 0;
  }

private:
  double simulatedNow() const {
    const std::chrono::duration<double> real = Clock::now() - m_realStart;
    return m_logger.startSeconds() + real.count() * m_options.speed;
  }

  bool hangUpIsDue() const {
    return m_how.hangupAfter >= 0 && m_replies >= m_how.hangupAfter && m_output.idle();
  }

  int hangUp() {
    m_pty.hangUp();
    std::cerr << "kelvor-logger-sim: hung up\n";
    return 0;
  }

  void receiveCommands() {
    std::array<char, 256> buffer{};
    ssize_t n = 0;
    while ((n = ::read(m_pty.master(), buffer.data(), buffer.size())) > 0) {
      for (const std::string& command :
           m_reader.feed(std::string_view(buffer.data(), static_cast<std::size_t>(n))))
        answer(command);
    }
  }

  void answer(const std::string& command) {
    m_logger.advanceTo(simulatedNow());
    std::vector<Chunk> reply = shapeReply(m_logger.answer(command), m_how, m_noise);
    if (reply.empty())
      return;
    ++m_replies;
    for (Chunk& chunk : reply)
      m_output.push(std::move(chunk));
  }

  std::optional<int> takeControlLines() {
    for (const std::string& line : m_fifo->readLines()) {
      const ControlResult result = applyControl(line, m_how, m_logger);
      m_fifo->acknowledge(line, result != ControlResult::Unknown);
      switch (result) {
      case ControlResult::Quit:
        return 0;
      case ControlResult::HangUp:
        return hangUp();
      case ControlResult::Unknown:
        std::cerr << "kelvor-logger-sim: unknown control line: " << line << '\n';
        break;
      case ControlResult::Applied:
        break;
      }
    }
    return std::nullopt;
  }

  const SimOptions& m_options;
  PseudoTerminal m_pty;
  std::optional<ControlFifo> m_fifo;
  SimulatedLogger m_logger;
  Misbehaviour m_how;
  std::mt19937 m_noise;
  PacedOutput m_output;
  CommandReader m_reader;
  long m_replies = 0;
  Clock::time_point m_realStart = Clock::now();
};

// A logger's UART never pauses inside a row, but a process on a busy machine can be kept off
// the processor for longer than the port's quiet-time rule, which cuts the row in two. The
// simulator asks for the lowest real-time priority, which puts it ahead of every ordinary
// process; it sleeps between bytes, so it takes no more of the processor than before. Without
// the right to it, the simulator runs as any process does.
void preferRealTimeScheduling() {
  sched_param lowest{};
  lowest.sched_priority = sched_get_priority_min(SCHED_FIFO);
  if (sched_setscheduler(0, SCHED_FIFO | SCHED_RESET_ON_FORK, &lowest) != 0)
    std::cerr << "kelvor-logger-sim: no real-time scheduling; a busy machine may delay bytes\n";
}

} // namespace
} // namespace kelvor::sim

int main(int argc, char** argv) {
  using namespace kelvor::sim;
  try {
    const SimOptions options = parseOptions(argc, argv);
    if (options.help) {
      std::cout << usageText();
      return 0;
    }
    const sigset_t waitMask = installSignalHandlers();
    preferRealTimeScheduling();
    Simulator simulator(options);
    std::cout << simulator.slavePath() << std::endl;
    return simulator.run(waitMask);
  } catch (const UsageError& e) {
    std::cerr << "kelvor-logger-sim: " << e.what() << "\n\n" << usageText();
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "kelvor-logger-sim: " << e.what() << '\n';
    return 1;
  }
}
