#include "serial/workthread.h"

#include "serial/serialline.h"

#include <algorithm>
#include <array>
#include <cerrno>

namespace kelvor {

namespace {

constexpr std::uint32_t kActiveWait = 75;
// After a hang-up the same path is tried again this often.
constexpr std::uint32_t kReopenInterval = 1000;
constexpr std::uint32_t kIdleSleep = 200;
constexpr std::uint32_t kReceiveErrors = 0x1F;
constexpr std::uint32_t kStateFlagBits = 0x7F;
// A send the time-out cut short ends with fewer bytes; its report carries this code.
constexpr std::uint32_t kWriteTimedOut = ETIMEDOUT;

} // namespace

TWorkThread::TWorkThread(TSerialLine& port, std::function<void()> onTerminate)
    : m_port(port), m_onTerminate(std::move(onTerminate)), m_thread([this] { Execute(); }) {}

TWorkThread::~TWorkThread() {
  Terminate();
  join();
}

void TWorkThread::join() {
  if (m_thread.joinable())
    m_thread.join();
}

void TWorkThread::Execute() {
  m_lastEmptyTick = m_port.m_clock->tickCount();
  m_readPending = false;
  m_waitPending = false;
  m_running = m_port.m_active.load();
  for (;;) {
    if (m_running)
      activePass();
    else
      idlePass();
    if (m_terminated.load() && !m_running)
      break;
  }
  m_port.m_workerFinished.store(true);
  m_port.m_handoff->runOnEventThread(m_onTerminate);
  m_ended.store(true);
}

void TWorkThread::activePass() {
  m_port.m_workerBusy.store(true);
  if (m_port.m_reconnecting.load()) {
    reconnectPass();
    return;
  }
  if (m_port.m_active.load())
    CheckLineStatus();
  CheckSendDone();
  if (!m_readPending && m_port.m_active.load())
    TryCutCluster();
  if (!m_waitPending && m_port.m_active.load())
    StartEventWait();
  waitForCompletions();
  if (!m_port.m_active.load())
    windDown();
  else if (m_port.m_device->hasHungUp())
    takeUpHangup();
}

// The descriptor of a hung-up device is closed at once (on the event-loop thread, which owns
// opening and closing); a send still pending ends there, aborted, and is finished here.
void TWorkThread::takeUpHangup() {
  m_port.m_handoff->runOnEventThread([this] { m_port.dropHungUpDevice(); });
  if (!m_port.m_reconnecting.load())
    return;
  m_readPending = false;
  m_waitPending = false;
  m_readBuffer.reset();
  m_terminatorCut.drop();
  CheckSendDone();
  m_lastReopenTick = m_port.m_clock->tickCount();
}

// Sleeps in short steps, so that closing the port is noticed as quickly as in any pass, and
// asks for one opening attempt a second: a few wake-ups a second and no busy waiting.
void TWorkThread::reconnectPass() {
  if (!m_port.m_active.load()) {
    m_running = false;
    return;
  }
  const std::uint32_t waited = m_port.m_clock->tickCount() - m_lastReopenTick;
  if (waited < kReopenInterval) {
    m_port.m_clock->sleep(std::min(kActiveWait, kReopenInterval - waited));
    return;
  }
  m_lastReopenTick = m_port.m_clock->tickCount();
  m_port.m_handoff->runOnEventThread([this] { m_port.retryOpen(); });
  if (!m_port.m_reconnecting.load())
    m_lastEmptyTick = m_port.m_clock->tickCount();
}

void TWorkThread::idlePass() {
  m_port.m_workerBusy.store(false);
  m_running = m_port.m_active.load();
  m_port.m_clock->sleep(kIdleSleep);
}

// The read's completion comes first, so that it wins when both are signalled.
void TWorkThread::waitForCompletions() {
  SerialDevice& device = *m_port.m_device;
  if (m_readPending && m_waitPending) {
    static constexpr std::array<Completion, 2> kBoth{Completion::Read, Completion::Wait};
    const std::uint32_t result = device.waitForAny(kBoth, kActiveWait);
    if (m_port.m_active.load())
      CheckLineStatus();
    if (result == kWaitObject0) {
      FinishRead();
    } else if (result == kWaitObject0 + 1) {
      FinishEventWait();
    } else if (result != kWaitTimeout) {
      DeferError(9911, result, "Error getting Overlappedresult", 0);
      m_readPending = false;
      m_waitPending = false;
    }
  } else if (m_readPending) {
    static constexpr std::array<Completion, 1> kRead{Completion::Read};
    const std::uint32_t result = device.waitForAny(kRead, kActiveWait);
    if (m_port.m_active.load())
      CheckLineStatus();
    if (result == kWaitObject0) {
      FinishRead();
    } else if (result != kWaitTimeout) {
      DeferError(9912, result, "Error getting Overlappedresult", 0);
      m_readPending = false;
    }
  } else if (m_waitPending) {
    static constexpr std::array<Completion, 1> kWait{Completion::Wait};
    const std::uint32_t result = device.waitForAny(kWait, kActiveWait);
    if (m_port.m_active.load())
      CheckLineStatus();
    if (result == kWaitObject0) {
      FinishEventWait();
    } else if (result != kWaitTimeout) {
      DeferError(9913, result, "Error getting Overlappedresult", 0);
      m_waitPending = false;
    }
  }
}

// The port is being closed: wake what is pending and go idle once nothing is.
void TWorkThread::windDown() {
  SerialDevice& device = *m_port.m_device;
  if (m_readPending) {
    if (const std::uint32_t error = device.signalCompletion(Completion::Read); error != kStatusOk)
      DeferError(1101, error, "Error resetting Overlapped Event", 0);
  }
  if (m_waitPending) {
    device.setEventMask(0);
    if (const std::uint32_t error = device.signalCompletion(Completion::Wait); error != kStatusOk)
      DeferError(1101, error, "Error resetting Overlapped Event", 0);
  }
  if (!m_readPending && !m_waitPending && !m_port.m_sendInProgress.load()) {
    m_running = false;
    m_terminatorCut.drop();
  }
}

void TWorkThread::CheckLineStatus() {
  SerialDevice& device = *m_port.m_device;
  std::uint32_t modem = 0;
  if (const std::uint32_t error = device.modemStatus(modem); error != kStatusOk) {
    DeferError(9905, error, "Error getting ModemStatus", 0);
  } else {
    const std::uint32_t stored = m_port.m_modemState.load();
    bool dispatchDue = false;
    if (m_port.m_platformFamily == 1 && (modem & kModemRing) == 0 && (stored & kModemRing) != 0) {
      m_eventMask = kEventRing;
      m_port.m_ringState.store(false);
      dispatchDue = true;
    }
    const bool ringChanged = ((modem ^ stored) & kModemRing) != 0;
    m_port.m_modemState.store(modem);
    m_port.m_ctsState.store((modem & kModemCts) != 0);
    m_port.m_dsrState.store((modem & kModemDsr) != 0);
    m_port.m_rlsdState.store((modem & kModemRlsd) != 0);
    m_port.m_ringState.store((modem & kModemRing) != 0);
    if (ringChanged)
      raise(m_port.OnRIEvent);
    if (dispatchDue)
      DispatchCommEvents();
  }
  // Poll until two polls agree; each change is published.
  for (;;) {
    DriverStatus status;
    if (const std::uint32_t error = device.driverStatus(status); error != kStatusOk) {
      DeferError(9803, error, "Error ClearCommError", 0);
      return;
    }
    const auto flags = static_cast<std::uint8_t>(status.flags & kStateFlagBits);
    if (status.errors == m_port.m_commError.load() && flags == m_port.m_commStateFlags.load() &&
        status.inQueue == m_port.m_commStateInQueue.load() &&
        status.outQueue == m_port.m_commStateOutQueue.load())
      return;
    m_port.m_commError.store(status.errors);
    m_port.m_commStateFlags.store(flags);
    m_port.m_commStateInQueue.store(status.inQueue);
    m_port.m_commStateOutQueue.store(status.outQueue);
    raise(m_port.OnCommStat);
  }
}

void TWorkThread::CheckSendDone() {
  if (!m_port.m_sendInProgress.load())
    return;
  const IoResult result = m_port.m_device->writeResult();
  if (result.status == kStatusOk) {
    m_port.m_writtenBytes.store(result.count);
    m_port.m_sendInProgress.store(false);
    if (result.count != m_port.m_bytesToWrite.load())
      DeferError(9701, kWriteTimedOut, "Error write TimeOut", 0);
    raise(m_port.OnWriteDone);
  } else if (result.status == kStatusPending) {
    const std::uint32_t elapsed = m_port.m_clock->tickCount() - m_port.m_sendStartTick.load();
    const double limit =
        static_cast<double>(result.count) * m_port.m_wtoCharDelayTime.load() / 1000.0 +
        m_port.m_wtoExtraDelayTime.load();
    if (elapsed > limit) {
      m_port.m_writtenBytes.store(result.count);
      m_port.m_sendInProgress.store(false);
      resetSendCompletion();
      DeferError(9701, kStatusPending, "Error write TimeOut", 0);
      raise(m_port.OnWriteDone);
    }
  } else if (result.status != kStatusIncomplete) {
    m_port.m_sendInProgress.store(false);
    resetSendCompletion();
    DeferError(9702, result.status, "Error getting Overlapped Result", 0);
    raise(m_port.OnWriteDone);
  }
}

void TWorkThread::resetSendCompletion() {
  if (const std::uint32_t error = m_port.m_device->resetCompletion(Completion::Write);
      error != kStatusOk)
    DeferError(1101, error, "Error resetting Overlapped Event", 0);
}

// Waiting bytes are cut when ClusterSize of them wait, on request, while the last poll shows
// a receive error, or once they have waited longer than their own length takes to arrive
// plus RTOExtraDelayTime, counted from when the queue was last seen empty.
// Bytes held back after a cluster terminator count as waiting ones.
void TWorkThread::TryCutCluster() {
  const std::uint32_t now = m_port.m_clock->tickCount();
  if (!cutIsDue(now))
    return;
  // A worker held up by a busy machine between its status poll and the clock would take the
  // wait for bytes that lie in the driver already for a pause on the line, and cut a row in
  // two. The queue is polled again after the clock was read, so those bytes count.
  CheckLineStatus();
  if (!cutIsDue(now))
    return;
  const std::uint32_t queued = m_port.m_commStateInQueue.load();
  if (queued == 0) { // only held bytes, whose time has come
    m_port.m_readRequest.store(false);
    QueueCluster(0);
    m_lastEmptyTick = m_port.m_clock->tickCount();
    return;
  }
  m_readBuffer = std::make_unique<char[]>(queued);
  const IoResult result = m_port.m_device->startRead(m_readBuffer.get(), queued);
  if (result.status == kStatusOk) {
    m_port.m_readRequest.store(false);
    QueueCluster(result.count);
    m_readBuffer.reset();
    m_lastEmptyTick = m_port.m_clock->tickCount();
  } else if (result.status == kStatusPending) {
    m_readPending = true;
  } else {
    m_port.m_readRequest.store(false);
    m_readBuffer.reset();
    DeferError(9804, result.status, "Error reading Data", 0);
  }
}

bool TWorkThread::cutIsDue(std::uint32_t now) {
  const std::uint32_t waiting = m_port.m_commStateInQueue.load() + heldBytes();
  if (waiting == 0) {
    m_lastEmptyTick = now;
    return false;
  }
  const std::uint32_t charTime = waiting * m_port.m_rtoCharDelayTime.load();
  const double limit = charTime / 1000.0 + m_port.m_rtoExtraDelayTime.load();
  return m_port.m_readRequest.load() || waiting >= m_port.m_clusterSize.load() ||
         static_cast<double>(now - m_lastEmptyTick) > limit ||
         (m_port.m_commError.load() & kReceiveErrors) != 0;
}

void TWorkThread::StartEventWait() {
  m_eventMask = 0;
  const IoResult result = m_port.m_device->startEventWait();
  if (result.status == kStatusOk) {
    m_eventMask = result.count;
    CheckLineStatus();
    DispatchCommEvents();
  } else if (result.status == kStatusPending) {
    m_waitPending = true;
  } else {
    DeferError(9907, result.status, "Error calling WaitCommEvent", 0);
  }
}

void TWorkThread::FinishRead() {
  const IoResult result = m_port.m_device->readResult();
  if (result.status == kStatusOk) {
    QueueCluster(result.count);
    m_readBuffer.reset();
    m_lastEmptyTick = m_port.m_clock->tickCount();
  } else {
    m_readBuffer.reset();
    if (result.status == kStatusAborted)
      DeferError(9907, kStatusAborted, "Error read aborted", 0);
    else
      DeferError(9908, result.status, "Error getting Overlappedresult", 0);
  }
  m_readPending = false;
}

void TWorkThread::FinishEventWait() {
  m_eventMask = m_port.m_device->eventWaitResult().count;
  if (m_port.m_active.load()) {
    CheckLineStatus();
    DispatchCommEvents();
  }
  m_waitPending = false;
}

void TWorkThread::DispatchCommEvents() {
  if (m_port.m_destroying.load())
    return;
  const std::uint32_t mask = m_eventMask;
  m_port.m_commEvent.store(mask);
  const std::array<std::pair<std::uint32_t, const TEvent<TSerialLine*>*>, 9> order{{
      {kEventBreak, &m_port.OnBreakEvent},
      {kEventCts, &m_port.OnCTSEvent},
      {kEventDsr, &m_port.OnDSREvent},
      {kEventLineError, &m_port.OnLineErrorEvent},
      {kEventRing, &m_port.OnRingEvent},
      {kEventRlsd, &m_port.OnRLSDEvent},
      {kEventRxChar, &m_port.OnRxCharEvent},
      {kEventRxFlag, &m_port.OnRxEventCharEvent},
      {kEventTxEmpty, &m_port.OnTxQueueEmptyEvent},
  }};
  for (const auto& [bit, event] : order)
    if ((mask & bit) != 0)
      raise(*event);
  if (mask != 0)
    raise(m_port.OnCommEvent);
}

std::uint32_t TWorkThread::heldBytes() {
  if (m_heldGeneration != m_port.m_openGeneration.load()) {
    m_terminatorCut.drop();
    m_heldGeneration = m_port.m_openGeneration.load();
  }
  return static_cast<std::uint32_t>(m_terminatorCut.held());
}

void TWorkThread::QueueCluster(std::uint32_t count) {
  if (m_port.m_destroying.load())
    return;
  const std::uint32_t errors = m_port.m_commError.load();
  const std::string_view fresh(m_readBuffer.get(), count);
  const int terminator = m_port.m_clusterTerminator.load();
  if (terminator < 0 && m_terminatorCut.held() == 0) {
    queueOne(fresh, errors);
    return;
  }
  if (terminator < 0) {
    queueOne(m_terminatorCut.whole(fresh), errors);
    return;
  }
  for (const std::string& piece : m_terminatorCut.cut(fresh, static_cast<char>(terminator)))
    queueOne(piece, errors);
}

void TWorkThread::queueOne(std::string_view bytes, std::uint32_t errors) {
  auto cluster =
      std::make_unique<TRxCluster>(bytes.data(), static_cast<std::int32_t>(bytes.size()), errors);
  {
    std::lock_guard lock(m_port.m_clusterLock);
    m_port.m_clusterQueue.push_back(std::move(cluster));
  }
  raise(m_port.OnRxClusterEvent);
}

// An event handed over just before the port began to go away is served while it goes: its
// handler must not run then, since its owner may already have let go of the port.
void TWorkThread::raise(const TEvent<TSerialLine*>& event) {
  if (event.assigned())
    RunOnEventThread([this, &event] {
      if (!m_port.m_destroying.load())
        event(&m_port);
    });
}

void TWorkThread::RunOnEventThread(const std::function<void()>& call) {
  if (!m_port.m_threadQuietMode.load())
    m_port.m_handoff->runOnEventThread(call);
}

void TWorkThread::DeferError(std::uint32_t Place, std::uint32_t Code, const std::string& Msg,
                             std::uint8_t Noise) {
  m_errPlace = Place;
  m_errCode = Code;
  m_errMsg = Msg;
  m_errNoise = Noise;
  RunOnEventThread([this] { DeliverError(); });
}

void TWorkThread::DeliverError() {
  m_port.ProcessError(m_errPlace, m_errCode, m_errMsg, m_errNoise);
}

} // namespace kelvor
