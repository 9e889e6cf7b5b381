// termios2 (any baud rate through BOTHER) comes from the kernel's headers, which cannot be
// mixed with <termios.h>; this file therefore talks to the tty through ioctl() alone.
#include "serial/platform/posixserialdevice.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace kelvor {

namespace {

using SteadyClock = std::chrono::steady_clock;

// While bytes wait unread, poll() would report them at once on every call; the wait then
// looks for more arriving at this pace instead. A finished send is watched at the same pace
// until the output queue has drained.
constexpr int kInputGrowthSliceMs = 2;

bool isHangupError(int error) {
  return error == EIO || error == ENXIO || error == ENODEV;
}
bool isMissingIoctl(int error) {
  return error == ENOTTY || error == EINVAL;
}

std::uint32_t errnoStatus() {
  return static_cast<std::uint32_t>(errno);
}

std::size_t indexOf(Completion which) {
  return static_cast<std::size_t>(which);
}

tcflag_t characterSize(std::uint8_t byteSize) {
  switch (byteSize) {
  case 5:
    return CS5;
  case 6:
    return CS6;
  case 7:
    return CS7;
  default:
    return CS8;
  }
}

tcflag_t parityFlags(std::uint8_t parity) {
  switch (parity) {
  case 1:
    return PARENB | PARODD;
  case 2:
    return PARENB;
  case 3:
    return PARENB | PARODD | CMSPAR;
  case 4:
    return PARENB | CMSPAR;
  default:
    return 0;
  }
}

bool validSettings(const LineSettings& s) {
  return s.baudRate != 0 && s.byteSize >= 5 && s.byteSize <= 8 && s.parity <= 4 && s.stopBits <= 2;
}

void makeRaw(termios2& tio) {
  tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK | IGNPAR);
  tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
}

} // namespace

PosixSerialDevice::PosixSerialDevice() {
  m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (m_wakeFd < 0)
    m_wakeError = errno;
}

PosixSerialDevice::~PosixSerialDevice() {
  if (m_fd >= 0)
    ::close(m_fd);
  if (m_wakeFd >= 0)
    ::close(m_wakeFd);
}

std::uint32_t PosixSerialDevice::createCompletion(Completion which) {
  std::lock_guard lock(m_lock);
  m_signalled[indexOf(which)] = false;
  return static_cast<std::uint32_t>(m_wakeError);
}

std::uint32_t PosixSerialDevice::signalCompletion(Completion which) {
  std::lock_guard lock(m_lock);
  if (m_wakeFd < 0)
    return static_cast<std::uint32_t>(m_wakeError);
  m_signalled[indexOf(which)] = true;
  wake();
  return kStatusOk;
}

std::uint32_t PosixSerialDevice::resetCompletion(Completion which) {
  std::lock_guard lock(m_lock);
  if (m_wakeFd < 0)
    return static_cast<std::uint32_t>(m_wakeError);
  m_signalled[indexOf(which)] = false;
  return kStatusOk;
}

void PosixSerialDevice::wake() {
  if (m_wakeFd >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(m_wakeFd, &one, sizeof one);
  }
}

std::uint32_t PosixSerialDevice::open(const std::string& path, std::uint32_t& handle) {
  std::lock_guard lock(m_lock);
  handle = kNoHandle;
  if (isOpen())
    return EBUSY;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return errnoStatus();
  // TIOCEXCL keeps other users out, but not root; the lock keeps out every program that
  // asks for it too, root or not.
  if (::ioctl(fd, TIOCEXCL) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const std::uint32_t error = errnoStatus();
    ::close(fd);
    return error;
  }
  m_fd = fd;
  if (const std::uint32_t error = applyRawMode(); error != kStatusOk) {
    ::close(m_fd);
    m_fd = -1;
    return error;
  }
  resetForOpen();
  handle = static_cast<std::uint32_t>(m_fd);
  return kStatusOk;
}

std::uint32_t PosixSerialDevice::applyRawMode() {
  termios2 tio{};
  if (::ioctl(m_fd, TCGETS2, &tio) != 0)
    return errnoStatus();
  makeRaw(tio);
  if (::ioctl(m_fd, TCSETS2, &tio) != 0)
    return errnoStatus();
  m_settings = LineSettings{};
  m_settings.baudRate = tio.c_ospeed;
  return kStatusOk;
}

void PosixSerialDevice::resetForOpen() {
  m_timeouts = Timeouts{};
  m_eventMask = 0;
  m_pendingEvents = 0;
  m_waitPending = false;
  m_waitMask = 0;
  m_seenInput = 0;
  m_lastRead = 0;
  m_linesSupported = true;
  m_countersSupported = true;
  m_hangup = Hangup::None;
  m_hangupAnnounced = false;
  m_awaitTxEmpty = false;
  m_write = PendingWrite{};
  m_eventModem = readModemBits();
  readCounters(m_eventCounters);
  m_statusCounters = m_eventCounters;
}

std::uint32_t PosixSerialDevice::close() {
  std::lock_guard lock(m_lock);
  if (!isOpen())
    return EBADF;
  if (m_write.pending)
    finishWrite({kStatusAborted, m_write.written});
  if (m_waitPending)
    completeWait(0);
  const int result = ::close(m_fd);
  m_fd = -1;
  wake();
  return result == 0 ? kStatusOk : errnoStatus();
}

// A failure of the device. After a hang-up only the first one is told; the others read as
// success, so the hang-up is reported once and not on every pass.
std::uint32_t PosixSerialDevice::failure(int error) {
  if (isHangupError(error))
    noteHangup();
  if (m_hangup == Hangup::None)
    return static_cast<std::uint32_t>(error);
  if (m_hangup == Hangup::Reported)
    return kStatusOk;
  m_hangup = Hangup::Reported;
  return static_cast<std::uint32_t>(error);
}

void PosixSerialDevice::noteHangup() {
  if (m_hangup == Hangup::None)
    m_hangup = Hangup::Detected;
}

std::uint32_t PosixSerialDevice::setupQueues(std::uint32_t, std::uint32_t) {
  std::lock_guard lock(m_lock);
  // The kernel sizes its own queues; an open device accepts any request.
  return isOpen() ? kStatusOk : EBADF;
}

std::uint32_t PosixSerialDevice::getLineSettings(LineSettings& settings) {
  std::lock_guard lock(m_lock);
  if (!isOpen())
    return EBADF;
  settings = m_settings;
  return kStatusOk;
}

std::uint32_t PosixSerialDevice::setLineSettings(const LineSettings& settings) {
  std::lock_guard lock(m_lock);
  if (!isOpen())
    return EBADF;
  if (!validSettings(settings))
    return EINVAL;
  termios2 tio{};
  if (::ioctl(m_fd, TCGETS2, &tio) != 0)
    return failure(errno);
  makeRaw(tio);
  tio.c_cflag &=
      ~static_cast<tcflag_t>(CBAUD | CIBAUD | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  tio.c_cflag |= BOTHER | characterSize(settings.byteSize) | parityFlags(settings.parity);
  tio.c_ispeed = settings.baudRate;
  tio.c_ospeed = settings.baudRate;
  if (settings.stopBits != 0)
    tio.c_cflag |= CSTOPB;
  if ((settings.flags & kFlagParity) != 0)
    tio.c_iflag |= INPCK;
  if ((settings.flags & kFlagOutxCtsFlow) != 0 ||
      (settings.flags & kFlagRtsControlMask) == kFlagRtsHandshake)
    tio.c_cflag |= CRTSCTS;
  if ((settings.flags & kFlagOutX) != 0)
    tio.c_iflag |= IXON;
  if ((settings.flags & kFlagInX) != 0)
    tio.c_iflag |= IXOFF;
  tio.c_cc[VSTART] = static_cast<cc_t>(settings.xonChar);
  tio.c_cc[VSTOP] = static_cast<cc_t>(settings.xoffChar);
  if (::ioctl(m_fd, TCSETS2, &tio) != 0)
    return failure(errno);
  m_settings = settings;
  return kStatusOk;
}

std::uint32_t PosixSerialDevice::getTimeouts(Timeouts& timeouts) {
  std::lock_guard lock(m_lock);
  if (!isOpen())
    return EBADF;
  timeouts = m_timeouts;
  return kStatusOk;
}

std::uint32_t PosixSerialDevice::setTimeouts(const Timeouts& timeouts) {
  std::lock_guard lock(m_lock);
  if (!isOpen())
    return EBADF;
  m_timeouts = timeouts;
  return kStatusOk;
}

std::uint32_t PosixSerialDevice::setEventMask(std::uint32_t mask) {
  std::lock_guard lock(m_lock);
  if (!isOpen())
    return EBADF;
  m_eventMask = mask & kAllLineEvents;
  m_pendingEvents &= m_eventMask;
  if (mask == 0 && m_waitPending) {
    completeWait(0);
    wake();
  }
  return kStatusOk;
}

std::uint32_t PosixSerialDevice::purge() {
  std::lock_guard lock(m_lock);
  if (!isOpen())
    return EBADF;
  if (m_write.pending)
    finishWrite({kStatusAborted, m_write.written});
  wake();
  if (m_hangup != Hangup::None)
    return kStatusOk;
  if (::ioctl(m_fd, TCFLSH, TCIOFLUSH) != 0)
    return failure(errno);
  m_seenInput = 0;
  return kStatusOk;
}

std::uint32_t PosixSerialDevice::setControlLine(ControlLine line, bool on) {
  std::lock_guard lock(m_lock);
  if (!isOpen())
    return EBADF;
  if (m_hangup != Hangup::None)
    return kStatusOk;
  int result = 0;
  if (line == ControlLine::Break) {
    result = ::ioctl(m_fd, on ? TIOCSBRK : TIOCCBRK);
  } else {
    if (!m_linesSupported)
      return kStatusOk;
    const int bits = line == ControlLine::Rts ? TIOCM_RTS : TIOCM_DTR;
    result = ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bits);
    if (result != 0 && isMissingIoctl(errno)) {
      m_linesSupported = false;
      return kStatusOk;
    }
  }
  return result == 0 ? kStatusOk : failure(errno);
}

std::uint32_t PosixSerialDevice::readModemBits() {
  if (!m_linesSupported || m_hangup != Hangup::None)
    return 0;
  int lines = 0;
  if (::ioctl(m_fd, TIOCMGET, &lines) != 0) {
    if (isMissingIoctl(errno))
      m_linesSupported = false;
    else if (isHangupError(errno))
      noteHangup();
    return 0;
  }
  std::uint32_t bits = 0;
  if ((lines & TIOCM_CTS) != 0)
    bits |= kModemCts;
  if ((lines & TIOCM_DSR) != 0)
    bits |= kModemDsr;
  if ((lines & TIOCM_RNG) != 0)
    bits |= kModemRing;
  if ((lines & TIOCM_CAR) != 0)
    bits |= kModemRlsd;
  return bits;
}

std::uint32_t PosixSerialDevice::modemStatus(std::uint32_t& bits) {
  std::lock_guard lock(m_lock);
  bits = 0;
  if (!isOpen())
    return EBADF;
  bits = readModemBits();
  return kStatusOk;
}

bool PosixSerialDevice::readCounters(ErrorCounters& counters) {
  if (!m_countersSupported || m_hangup != Hangup::None)
    return false;
  serial_icounter_struct icount{};
  if (::ioctl(m_fd, TIOCGICOUNT, &icount) != 0) {
    if (isHangupError(errno))
      noteHangup();
    else
      m_countersSupported = false;
    return false;
  }
  counters = {icount.frame, icount.overrun, icount.parity, icount.brk, icount.buf_overrun};
  return true;
}

std::uint32_t PosixSerialDevice::driverStatus(DriverStatus& status) {
  std::lock_guard lock(m_lock);
  status = DriverStatus{};
  if (!isOpen())
    return EBADF;
  if (m_hangup == Hangup::Reported)
    return kStatusOk;
  int waiting = 0;
  int queued = 0;
  if (::ioctl(m_fd, FIONREAD, &waiting) != 0 || ::ioctl(m_fd, TIOCOUTQ, &queued) != 0)
    return failure(errno);
  if (m_hangup == Hangup::Detected)
    return failure(EIO);
  ErrorCounters now;
  if (readCounters(now)) {
    const ErrorCounters& was = m_statusCounters;
    status.errors = (now.bufOverrun != was.bufOverrun ? kErrorRxOver : 0) |
                    (now.overrun != was.overrun ? kErrorOverrun : 0) |
                    (now.parity != was.parity ? kErrorParity : 0) |
                    (now.frame != was.frame ? kErrorFrame : 0) |
                    (now.brk != was.brk ? kErrorBreak : 0);
    m_statusCounters = now;
  }
  status.inQueue = static_cast<std::uint32_t>(std::max(waiting, 0));
  status.outQueue = static_cast<std::uint32_t>(std::max(queued, 0));
  return kStatusOk;
}

IoResult PosixSerialDevice::startWrite(const char* data, std::uint32_t count) {
  std::lock_guard lock(m_lock);
  if (!isOpen())
    return {EBADF, 0};
  if (m_hangup != Hangup::None)
    return {EIO, 0};
  m_signalled[indexOf(Completion::Write)] = false;
  m_write = PendingWrite{};
  m_write.bytes.assign(data, data + count);
  m_write.pending = true;
  const std::uint64_t limit =
      std::uint64_t{m_timeouts.writeTotalMultiplier} * count + m_timeouts.writeTotalConstant;
  if (limit != 0) {
    m_write.hasDeadline = true;
    m_write.deadline = SteadyClock::now() + std::chrono::milliseconds(limit);
  }
  pushWrite();
  if (m_write.pending)
    return {kStatusPending, 0};
  return m_write.result;
}

void PosixSerialDevice::pushWrite() {
  const auto total = static_cast<std::uint32_t>(m_write.bytes.size());
  while (m_write.pending && m_write.written < total) {
    const ssize_t sent =
        ::write(m_fd, m_write.bytes.data() + m_write.written, total - m_write.written);
    if (sent < 0) {
      if (errno == EINTR)
        continue;
      if (errno != EAGAIN) {
        if (isHangupError(errno))
          noteHangup();
        finishWrite({errnoStatus(), m_write.written});
      }
      break;
    }
    m_write.written += static_cast<std::uint32_t>(sent);
  }
  if (!m_write.pending)
    return;
  if (m_write.written == total)
    finishWrite({kStatusOk, total});
  else if (m_write.hasDeadline && SteadyClock::now() >= m_write.deadline)
    finishWrite({kStatusOk, m_write.written});
}

void PosixSerialDevice::finishWrite(IoResult result) {
  m_write.pending = false;
  m_write.result = result;
  m_write.bytes.clear();
  m_signalled[indexOf(Completion::Write)] = true;
  // Handed to the kernel is not yet sent: the event waits for the output queue to drain.
  m_awaitTxEmpty = result.status == kStatusOk && (m_eventMask & kEventTxEmpty) != 0;
}

bool PosixSerialDevice::outputQueueDrained() {
  int queued = 0;
  if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0) {
    if (isHangupError(errno))
      noteHangup();
    return true;
  }
  return queued <= 0;
}

IoResult PosixSerialDevice::writeResult() {
  std::lock_guard lock(m_lock);
  if (m_write.pending && isOpen())
    pushWrite();
  if (m_write.pending)
    return {kStatusIncomplete, m_write.written};
  return m_write.result;
}

IoResult PosixSerialDevice::startRead(char* buffer, std::uint32_t count) {
  std::lock_guard lock(m_lock);
  if (!isOpen())
    return {EBADF, 0};
  m_signalled[indexOf(Completion::Read)] = false;
  ssize_t got = 0;
  do
    got = ::read(m_fd, buffer, count);
  while (got < 0 && errno == EINTR);
  if (got < 0 && errno != EAGAIN)
    return {failure(errno), 0};
  if (got == 0 && count > 0) {
    // Bytes were announced but the read finds the end: the other end is gone.
    if (const std::uint32_t error = failure(EIO); error != kStatusOk)
      return {error, 0};
  }
  m_lastRead = static_cast<std::uint32_t>(std::max<ssize_t>(got, 0));
  m_seenInput -= std::min(m_seenInput, m_lastRead);
  m_signalled[indexOf(Completion::Read)] = true;
  return {kStatusOk, m_lastRead};
}

IoResult PosixSerialDevice::readResult() {
  std::lock_guard lock(m_lock);
  return {kStatusOk, m_lastRead};
}

void PosixSerialDevice::completeWait(std::uint32_t mask) {
  m_waitPending = false;
  m_waitMask = mask;
  m_signalled[indexOf(Completion::Wait)] = true;
}

// The line events that occurred since the last look, consumed.
std::uint32_t PosixSerialDevice::collectEvents() {
  std::uint32_t events = m_pendingEvents;
  m_pendingEvents = 0;
  if (!isOpen() || m_hangup != Hangup::None)
    return events & m_eventMask;
  if (m_awaitTxEmpty && outputQueueDrained()) {
    m_awaitTxEmpty = false;
    events |= kEventTxEmpty;
  }
  int waiting = 0;
  if (::ioctl(m_fd, FIONREAD, &waiting) == 0) {
    const auto count = static_cast<std::uint32_t>(std::max(waiting, 0));
    if (count > m_seenInput)
      events |= kEventRxChar;
    m_seenInput = count;
  } else if (isHangupError(errno)) {
    noteHangup();
  }
  const std::uint32_t modem = readModemBits();
  const std::uint32_t changed = modem ^ m_eventModem;
  m_eventModem = modem;
  if ((changed & kModemCts) != 0)
    events |= kEventCts;
  if ((changed & kModemDsr) != 0)
    events |= kEventDsr;
  if ((changed & kModemRlsd) != 0)
    events |= kEventRlsd;
  if ((changed & kModemRing) != 0)
    events |= kEventRing;
  ErrorCounters now;
  if (readCounters(now)) {
    const ErrorCounters& was = m_eventCounters;
    if (now.brk != was.brk)
      events |= kEventBreak;
    if (now.frame != was.frame || now.parity != was.parity || now.overrun != was.overrun ||
        now.bufOverrun != was.bufOverrun)
      events |= kEventLineError;
    m_eventCounters = now;
  }
  return events & m_eventMask;
}

IoResult PosixSerialDevice::startEventWait() {
  std::lock_guard lock(m_lock);
  if (!isOpen())
    return {EBADF, 0};
  m_signalled[indexOf(Completion::Wait)] = false;
  if (const std::uint32_t events = collectEvents(); events != 0) {
    m_waitMask = events;
    m_signalled[indexOf(Completion::Wait)] = true;
    return {kStatusOk, events};
  }
  m_waitPending = true;
  return {kStatusPending, 0};
}

IoResult PosixSerialDevice::eventWaitResult() {
  std::lock_guard lock(m_lock);
  if (m_waitPending)
    return {kStatusIncomplete, 0};
  return {kStatusOk, m_waitMask};
}

bool PosixSerialDevice::hasHungUp() const {
  std::lock_guard lock(m_lock);
  return isOpen() && m_hangup != Hangup::None;
}

std::uint32_t PosixSerialDevice::waitForAny(std::span<const Completion> which,
                                            std::uint32_t timeoutMs) {
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    std::array<pollfd, 2> fds{};
    nfds_t count = 0;
    int slice = 0;
    {
      std::lock_guard lock(m_lock);
      if (m_wakeFd < 0)
        return kWaitFailed;
      if (m_write.pending && isOpen())
        pushWrite();
      if (m_waitPending) {
        const bool hangupNews = m_hangup != Hangup::None && !m_hangupAnnounced;
        if (const std::uint32_t events = collectEvents(); events != 0 || hangupNews) {
          m_hangupAnnounced = m_hangup != Hangup::None;
          completeWait(events);
        }
      }
      for (std::size_t i = 0; i < which.size(); ++i)
        if (m_signalled[indexOf(which[i])])
          return kWaitObject0 + static_cast<std::uint32_t>(i);
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyClock::now());
      if (left.count() <= 0)
        return kWaitTimeout;
      slice = static_cast<int>(left.count());
      fds[count++] = {m_wakeFd, POLLIN, 0};
      if (isOpen() && m_hangup == Hangup::None) {
        short events = 0;
        if (m_waitPending && m_seenInput == 0)
          events |= POLLIN;
        if (m_waitPending && (m_seenInput > 0 || m_awaitTxEmpty))
          slice = std::min(slice, kInputGrowthSliceMs);
        if (m_write.pending)
          events |= POLLOUT;
        fds[count++] = {m_fd, events, 0};
      }
    }
    if (::poll(fds.data(), count, slice) < 0 && errno != EINTR)
      return kWaitFailed;
    if ((fds[0].revents & POLLIN) != 0) {
      std::uint64_t drained = 0;
      [[maybe_unused]] const auto got = ::read(m_wakeFd, &drained, sizeof drained);
    }
    if (count > 1 && (fds[1].revents & (POLLHUP | POLLERR)) != 0) {
      std::lock_guard lock(m_lock);
      // The number may have been closed meanwhile; only the open device can hang up.
      if (m_fd == fds[1].fd)
        noteHangup();
    }
  }
}

} // namespace kelvor
