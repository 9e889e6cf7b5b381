#include "serial/testing/fakeserialdevice.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iterator>
#include <thread>

namespace kelvor {

namespace {

bool isDue(std::uint32_t tick, std::uint32_t now) {
  return static_cast<std::int32_t>(tick - now) <= 0;
}

} // namespace

FakeSerialDevice::FakeSerialDevice(std::shared_ptr<FakeClock> clock) : m_clock(std::move(clock)) {}

void FakeSerialDevice::addPath(const std::string& path) {
  std::lock_guard lock(m_lock);
  m_paths.insert(path);
}

void FakeSerialDevice::removePath(const std::string& path) {
  std::lock_guard lock(m_lock);
  m_paths.erase(path);
}

void FakeSerialDevice::hangUp() {
  std::lock_guard lock(m_lock);
  if (!m_open)
    return;
  m_hungUp = true;
  m_input.clear();
  m_arrivals.clear();
  m_pendingEvents = 0;
}

bool FakeSerialDevice::hasHungUp() const {
  std::lock_guard lock(m_lock);
  return m_open && m_hungUp;
}

void FakeSerialDevice::setFailure(FakeOp op, std::uint32_t code) {
  std::lock_guard lock(m_lock);
  if (code == 0)
    m_failures.erase(op);
  else
    m_failures[op] = code;
}

void FakeSerialDevice::setPlatformFamily(std::int32_t family) {
  std::lock_guard lock(m_lock);
  m_platformFamily = family;
}

std::uint32_t FakeSerialDevice::scheduleArrival(std::uint32_t afterMs, const std::string& bytes) {
  std::lock_guard lock(m_lock);
  const std::uint32_t tick = m_clock->tickCount() + afterMs;
  insertArrival(Arrival{tick, bytes});
  return tick;
}

std::uint32_t FakeSerialDevice::scheduleAtLineSpeed(std::uint32_t afterMs, const std::string& bytes,
                                                    std::uint32_t baud, std::uint32_t burstMs) {
  return scheduleArrivals(atLineSpeed(afterMs, bytes, baud, burstMs));
}

FakeSerialDevice::Arrivals FakeSerialDevice::atLineSpeed(std::uint32_t afterMs,
                                                         const std::string& bytes,
                                                         std::uint32_t baud,
                                                         std::uint32_t burstMs) {
  Arrivals arrivals;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    // The byte is complete once its stop bit is on the line; a burst hands over at its end
    // every byte completed within it.
    const std::uint64_t doneUs = ((i + 1) * 10'000'000ULL + baud - 1) / std::max(baud, 1U);
    const std::uint64_t slotUs = std::uint64_t{std::max(burstMs, 1U)} * 1000;
    const auto handedOver =
        static_cast<std::uint32_t>((doneUs + slotUs - 1) / slotUs * std::max(burstMs, 1U));
    if (!arrivals.empty() && arrivals.back().first == afterMs + handedOver)
      arrivals.back().second += bytes[i];
    else
      arrivals.emplace_back(afterMs + handedOver, std::string(1, bytes[i]));
  }
  return arrivals;
}

std::uint32_t FakeSerialDevice::scheduleArrivals(const Arrivals& arrivals) {
  std::lock_guard lock(m_lock);
  const std::uint32_t now = m_clock->tickCount();
  std::uint32_t last = now;
  for (const auto& [afterMs, bytes] : arrivals) {
    last = std::max(last, now + afterMs);
    insertArrival(Arrival{now + afterMs, bytes});
  }
  return last;
}

// Arrivals are kept in tick order; most come after all others, so look from the back.
void FakeSerialDevice::insertArrival(Arrival arrival) {
  auto later = m_arrivals.end();
  while (later != m_arrivals.begin() &&
         static_cast<std::int32_t>(std::prev(later)->tick - arrival.tick) > 0)
    --later;
  m_arrivals.insert(later, std::move(arrival));
}

void FakeSerialDevice::setModemBits(std::uint32_t bits) {
  std::lock_guard lock(m_lock);
  m_modemBits = bits;
}

void FakeSerialDevice::injectLineErrors(std::uint32_t errors) {
  std::lock_guard lock(m_lock);
  m_lineErrors |= errors;
}

void FakeSerialDevice::raiseEvents(std::uint32_t mask) {
  std::lock_guard lock(m_lock);
  m_pendingEvents |= mask & m_eventMask;
}

void FakeSerialDevice::setWriteMode(WriteMode mode) {
  std::lock_guard lock(m_lock);
  m_writeMode = mode;
}

void FakeSerialDevice::completeWrite(std::uint32_t count) {
  std::lock_guard lock(m_lock);
  if (m_writePending)
    finishWrite({kStatusOk, count});
}

void FakeSerialDevice::setReadsPending(bool pending) {
  std::lock_guard lock(m_lock);
  m_readsPending = pending;
}

void FakeSerialDevice::completePendingRead() {
  std::lock_guard lock(m_lock);
  if (!m_readPending)
    return;
  m_readPending = false;
  m_readResult = {kStatusOk, takeInput(m_readBuffer, m_readCount)};
  signal(Completion::Read);
}

void FakeSerialDevice::limitNextRead(std::uint32_t count) {
  std::lock_guard lock(m_lock);
  m_limitRead = true;
  m_readLimit = count;
}

void FakeSerialDevice::holdWaitsUntilPurge() {
  std::lock_guard lock(m_lock);
  m_hold = true;
}

bool FakeSerialDevice::isOpen() const {
  std::lock_guard lock(m_lock);
  return m_open;
}

std::string FakeSerialDevice::openedPath() const {
  std::lock_guard lock(m_lock);
  return m_openedPath;
}

std::string FakeSerialDevice::sent() const {
  std::lock_guard lock(m_lock);
  return m_sent;
}

std::vector<FakeSerialDevice::Poll> FakeSerialDevice::polls() const {
  std::lock_guard lock(m_lock);
  return m_polls;
}

std::vector<FakeSerialDevice::Read> FakeSerialDevice::reads() const {
  std::lock_guard lock(m_lock);
  return m_reads;
}

LineSettings FakeSerialDevice::lineSettings() const {
  std::lock_guard lock(m_lock);
  return m_settings;
}

Timeouts FakeSerialDevice::timeouts() const {
  std::lock_guard lock(m_lock);
  return m_timeouts;
}

std::uint32_t FakeSerialDevice::eventMask() const {
  std::lock_guard lock(m_lock);
  return m_eventMask;
}

std::array<bool, 3> FakeSerialDevice::controlLines() const {
  std::lock_guard lock(m_lock);
  return m_lines;
}

std::vector<std::pair<ControlLine, bool>> FakeSerialDevice::controlCalls() const {
  std::lock_guard lock(m_lock);
  return m_controlCalls;
}

std::pair<std::uint32_t, std::uint32_t> FakeSerialDevice::queueSizes() const {
  std::lock_guard lock(m_lock);
  return m_queueSizes;
}

bool FakeSerialDevice::isReadPending() const {
  std::lock_guard lock(m_lock);
  return m_readPending;
}

bool FakeSerialDevice::isWaitPending() const {
  std::lock_guard lock(m_lock);
  return m_waitPending;
}

bool FakeSerialDevice::isWritePending() const {
  std::lock_guard lock(m_lock);
  return m_writePending;
}

int FakeSerialDevice::purgeCount() const {
  std::lock_guard lock(m_lock);
  return m_purges;
}

std::uint32_t FakeSerialDevice::failureOf(FakeOp op) const {
  const auto found = m_failures.find(op);
  return found == m_failures.end() ? kStatusOk : found->second;
}

std::uint32_t FakeSerialDevice::failureOrClosed(FakeOp op) const {
  if (const std::uint32_t failure = failureOf(op); failure != kStatusOk)
    return failure;
  return m_open ? kStatusOk : EBADF;
}

void FakeSerialDevice::deliverDue() {
  const std::uint32_t now = m_clock->tickCount();
  while (!m_arrivals.empty() && isDue(m_arrivals.front().tick, now)) {
    m_input += m_arrivals.front().bytes;
    m_arrivals.pop_front();
    m_pendingEvents |= kEventRxChar & m_eventMask;
  }
}

void FakeSerialDevice::finishWait(std::uint32_t mask) {
  m_waitPending = false;
  m_waitMask = mask;
  signal(Completion::Wait);
}

void FakeSerialDevice::finishWrite(IoResult result) {
  m_writePending = false;
  m_writeResult = result;
  signal(Completion::Write);
}

std::uint32_t FakeSerialDevice::takeInput(char* buffer, std::uint32_t count) {
  std::uint32_t taken = std::min<std::uint32_t>(count, static_cast<std::uint32_t>(m_input.size()));
  if (m_limitRead) {
    taken = std::min(taken, m_readLimit);
    m_limitRead = false;
  }
  if (taken > 0)
    std::memcpy(buffer, m_input.data(), taken);
  m_input.erase(0, taken);
  m_reads.push_back({m_clock->tickCount(), taken});
  return taken;
}

std::int32_t FakeSerialDevice::platformFamily() const {
  std::lock_guard lock(m_lock);
  return m_platformFamily;
}

std::uint32_t FakeSerialDevice::createCompletion(Completion) {
  std::lock_guard lock(m_lock);
  return failureOf(FakeOp::CreateCompletion);
}

std::uint32_t FakeSerialDevice::signalCompletion(Completion which) {
  std::lock_guard lock(m_lock);
  if (const std::uint32_t failure = failureOf(FakeOp::SignalCompletion); failure != kStatusOk)
    return failure;
  signal(which);
  return kStatusOk;
}

std::uint32_t FakeSerialDevice::resetCompletion(Completion which) {
  std::lock_guard lock(m_lock);
  if (const std::uint32_t failure = failureOf(FakeOp::ResetCompletion); failure != kStatusOk)
    return failure;
  m_signalled[static_cast<std::size_t>(which)] = false;
  return kStatusOk;
}

std::uint32_t FakeSerialDevice::open(const std::string& path, std::uint32_t& handle) {
  std::lock_guard lock(m_lock);
  handle = kNoHandle;
  if (const std::uint32_t failure = failureOf(FakeOp::Open); failure != kStatusOk)
    return failure;
  if (m_open)
    return EBUSY;
  if (m_paths.count(path) == 0)
    return ENOENT;
  m_open = true;
  m_hungUp = false;
  m_openedPath = path;
  m_eventMask = 0;
  m_pendingEvents = 0;
  m_lines = {};
  handle = m_nextHandle++;
  return kStatusOk;
}

std::uint32_t FakeSerialDevice::close() {
  std::lock_guard lock(m_lock);
  if (const std::uint32_t failure = failureOrClosed(FakeOp::Close); failure != kStatusOk)
    return failure;
  m_open = false;
  if (m_waitPending)
    finishWait(0);
  return kStatusOk;
}

std::uint32_t FakeSerialDevice::setupQueues(std::uint32_t rxSize, std::uint32_t txSize) {
  std::lock_guard lock(m_lock);
  if (const std::uint32_t failure = failureOrClosed(FakeOp::SetupQueues); failure != kStatusOk)
    return failure;
  m_queueSizes = {rxSize, txSize};
  return kStatusOk;
}

std::uint32_t FakeSerialDevice::getLineSettings(LineSettings& settings) {
  std::lock_guard lock(m_lock);
  if (const std::uint32_t failure = failureOrClosed(FakeOp::GetLineSettings); failure != kStatusOk)
    return failure;
  settings = m_settings;
  return kStatusOk;
}

std::uint32_t FakeSerialDevice::setLineSettings(const LineSettings& settings) {
  std::lock_guard lock(m_lock);
  if (const std::uint32_t failure = failureOrClosed(FakeOp::SetLineSettings); failure != kStatusOk)
    return failure;
  m_settings = settings;
  return kStatusOk;
}

std::uint32_t FakeSerialDevice::getTimeouts(Timeouts& timeouts) {
  std::lock_guard lock(m_lock);
  if (const std::uint32_t failure = failureOrClosed(FakeOp::GetTimeouts); failure != kStatusOk)
    return failure;
  timeouts = m_timeouts;
  return kStatusOk;
}

std::uint32_t FakeSerialDevice::setTimeouts(const Timeouts& timeouts) {
  std::lock_guard lock(m_lock);
  if (const std::uint32_t failure = failureOrClosed(FakeOp::SetTimeouts); failure != kStatusOk)
    return failure;
  m_timeouts = timeouts;
  return kStatusOk;
}

std::uint32_t FakeSerialDevice::setEventMask(std::uint32_t mask) {
  std::lock_guard lock(m_lock);
  if (const std::uint32_t failure = failureOrClosed(FakeOp::SetEventMask); failure != kStatusOk)
    return failure;
  m_eventMask = mask;
  m_pendingEvents &= mask;
  if (mask == 0 && m_waitPending)
    finishWait(0);
  return kStatusOk;
}

std::uint32_t FakeSerialDevice::purge() {
  std::lock_guard lock(m_lock);
  ++m_purges;
  m_hold = false;
  m_released.notify_all();
  if (const std::uint32_t failure = failureOrClosed(FakeOp::Purge); failure != kStatusOk)
    return failure;
  m_input.clear();
  m_arrivals.clear();
  if (m_readPending) {
    m_readPending = false;
    m_readResult = {kStatusAborted, 0};
    signal(Completion::Read);
  }
  if (m_writePending)
    finishWrite({kStatusAborted, 0});
  return kStatusOk;
}

std::uint32_t FakeSerialDevice::setControlLine(ControlLine line, bool on) {
  std::lock_guard lock(m_lock);
  m_controlCalls.emplace_back(line, on);
  if (const std::uint32_t failure = failureOrClosed(FakeOp::ControlLine); failure != kStatusOk)
    return failure;
  m_lines[static_cast<std::size_t>(line)] = on;
  return kStatusOk;
}

std::uint32_t FakeSerialDevice::modemStatus(std::uint32_t& bits) {
  std::lock_guard lock(m_lock);
  bits = 0;
  if (const std::uint32_t failure = failureOrClosed(FakeOp::ModemStatus); failure != kStatusOk)
    return failure;
  bits = m_modemBits;
  return kStatusOk;
}

std::uint32_t FakeSerialDevice::driverStatus(DriverStatus& status) {
  std::lock_guard lock(m_lock);
  status = DriverStatus{};
  if (const std::uint32_t failure = failureOrClosed(FakeOp::DriverStatus); failure != kStatusOk)
    return failure;
  deliverDue();
  status.errors = m_lineErrors;
  m_lineErrors = 0;
  status.inQueue = static_cast<std::uint32_t>(m_input.size());
  m_polls.push_back({m_clock->tickCount(), status.inQueue});
  if (m_holdUpEvery > 0 && m_polls.size() % m_holdUpEvery == 0)
    m_clock->advance(m_holdUpMs);
  return kStatusOk;
}

void FakeSerialDevice::holdUpAfterPolls(std::uint32_t everyNth, std::uint32_t ms) {
  std::lock_guard lock(m_lock);
  m_holdUpEvery = everyNth;
  m_holdUpMs = ms;
}

IoResult FakeSerialDevice::startWrite(const char* data, std::uint32_t count) {
  std::lock_guard lock(m_lock);
  if (const std::uint32_t failure = failureOrClosed(FakeOp::StartWrite); failure != kStatusOk)
    return {failure, 0};
  m_sent.append(data, count);
  m_signalled[static_cast<std::size_t>(Completion::Write)] = false;
  if (m_writeMode == WriteMode::Immediate) {
    m_writeResult = {kStatusOk, count};
    signal(Completion::Write);
    return m_writeResult;
  }
  m_writePending = true;
  return {kStatusPending, 0};
}

IoResult FakeSerialDevice::writeResult() {
  std::lock_guard lock(m_lock);
  if (const std::uint32_t failure = failureOf(FakeOp::WriteResult); failure != kStatusOk)
    return {failure, 0};
  if (!m_writePending)
    return m_writeResult;
  if (m_writeMode == WriteMode::PendingReported)
    return {kStatusPending, 0};
  return {kStatusIncomplete, 0};
}

IoResult FakeSerialDevice::startRead(char* buffer, std::uint32_t count) {
  std::lock_guard lock(m_lock);
  if (const std::uint32_t failure = failureOrClosed(FakeOp::StartRead); failure != kStatusOk)
    return {failure, 0};
  deliverDue();
  m_signalled[static_cast<std::size_t>(Completion::Read)] = false;
  if (m_readsPending) {
    m_readPending = true;
    m_readBuffer = buffer;
    m_readCount = count;
    return {kStatusPending, 0};
  }
  m_readResult = {kStatusOk, takeInput(buffer, count)};
  signal(Completion::Read);
  return m_readResult;
}

IoResult FakeSerialDevice::readResult() {
  std::lock_guard lock(m_lock);
  if (const std::uint32_t failure = failureOf(FakeOp::ReadResult); failure != kStatusOk)
    return {failure, 0};
  if (m_readPending)
    return {kStatusIncomplete, 0};
  return m_readResult;
}

IoResult FakeSerialDevice::startEventWait() {
  std::lock_guard lock(m_lock);
  if (const std::uint32_t failure = failureOrClosed(FakeOp::StartEventWait); failure != kStatusOk)
    return {failure, 0};
  deliverDue();
  m_signalled[static_cast<std::size_t>(Completion::Wait)] = false;
  if (m_pendingEvents != 0) {
    const std::uint32_t events = m_pendingEvents;
    m_pendingEvents = 0;
    m_waitMask = events;
    return {kStatusOk, events};
  }
  m_waitPending = true;
  return {kStatusPending, 0};
}

IoResult FakeSerialDevice::eventWaitResult() {
  std::lock_guard lock(m_lock);
  if (m_waitPending)
    return {kStatusIncomplete, 0};
  return {kStatusOk, m_waitMask};
}

std::uint32_t FakeSerialDevice::waitForAny(std::span<const Completion> which,
                                           std::uint32_t timeoutMs) {
  std::unique_lock lock(m_lock);
  if (const std::uint32_t failure = failureOf(FakeOp::Wait); failure != kStatusOk) {
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return failure;
  }
  const std::uint32_t end = m_clock->tickCount() + timeoutMs;
  for (;;) {
    m_released.wait(lock, [this] { return !m_hold; });
    deliverDue();
    if (m_waitPending && m_pendingEvents != 0) {
      finishWait(m_pendingEvents);
      m_pendingEvents = 0;
    }
    for (std::size_t i = 0; i < which.size(); ++i)
      if (m_signalled[static_cast<std::size_t>(which[i])])
        return kWaitObject0 + static_cast<std::uint32_t>(i);
    const auto left = static_cast<std::int32_t>(end - m_clock->tickCount());
    if (left <= 0)
      break;
    const bool arrivalFirst =
        !m_arrivals.empty() &&
        static_cast<std::int32_t>(m_arrivals.front().tick - m_clock->tickCount()) <= left;
    m_clock->advance(
        arrivalFirst ? std::max<std::int32_t>(0, static_cast<std::int32_t>(m_arrivals.front().tick -
                                                                           m_clock->tickCount()))
                     : static_cast<std::uint32_t>(left));
  }
  lock.unlock();
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return kWaitTimeout;
}

} // namespace kelvor
