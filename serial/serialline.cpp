#include "serial/serialline.h"

#include "serial/platform/portname.h"
#include "serial/platform/posixserialdevice.h"
#include "serial/workthread.h"

#include <algorithm>
#include <array>

namespace kelvor {

namespace {

constexpr std::uint32_t kIdlePause = 75;
constexpr int kCloseWaits = 15;
constexpr int kDestroyWaits = 10;
constexpr std::uint32_t kNoLimitCharDelay = 1100;
// The name is a short string of at most 255 characters.
constexpr std::size_t kCommPortLimit = 255;

struct DelayRow {
  std::uint32_t baudRate;
  std::uint32_t charDelay;
};

// Microseconds per character, close to eleven bit times at each rate.
constexpr std::array<DelayRow, 15> kCharDelays{{{110, 100000},
                                                {300, 37000},
                                                {600, 18000},
                                                {1200, 9000},
                                                {2400, 4500},
                                                {4800, 2300},
                                                {9600, 1100},
                                                {14400, 760},
                                                {19200, 570},
                                                {38400, 290},
                                                {56000, 200},
                                                {57600, 190},
                                                {115200, 95},
                                                {128000, 85},
                                                {256000, 43}}};

} // namespace

TSerialLine::TSerialLine(std::shared_ptr<EventHandoff> handoff)
    : TSerialLine(std::move(handoff), std::make_unique<PosixSerialDevice>(),
                  std::make_shared<SteadyMillisecondClock>()) {}

TSerialLine::TSerialLine(std::shared_ptr<EventHandoff> handoff,
                         std::unique_ptr<SerialDevice> device,
                         std::shared_ptr<MillisecondClock> clock)
    : m_handoff(std::move(handoff)), m_device(std::move(device)), m_clock(std::move(clock)) {
  m_platformFamily = m_device->platformFamily();
  prepareCompletion(Completion::Write);
  prepareCompletion(Completion::Read);
  prepareCompletion(Completion::Wait);
  m_worker = std::make_unique<TWorkThread>(*this, [this] { ThreadTerminated(); });
}

TSerialLine::~TSerialLine() {
  m_destroying.store(true);
  Reactivate(false);
  m_worker->Terminate();
  WaitWorkerIdle(kDestroyWaits);
  m_handoff->serveUntil([this] { return m_worker->hasEnded(); });
  m_worker->join();
  m_worker.reset();
  std::lock_guard lock(m_clusterLock);
  m_clusterQueue.clear();
}

void TSerialLine::prepareCompletion(Completion which) {
  const std::uint32_t result = m_device->createCompletion(which);
  if (result == kStatusAlreadyExists)
    ProcessError(1002, kStatusAlreadyExists, "Error Overlapped Event Exists", 0);
  else if (result != kStatusOk)
    ProcessError(1001, result, "Error Creating Overlapped Event", 0);
}

void TSerialLine::setDeviceMap(std::map<std::string, std::string> devices) {
  m_deviceMap = std::move(devices);
}

void TSerialLine::remapDevices(std::map<std::string, std::string> devices) {
  const std::string before = devicePathForPort(m_commPort, m_deviceMap);
  m_deviceMap = std::move(devices);
  if (devicePathForPort(m_commPort, m_deviceMap) != before)
    Reactivate(true);
}

void TSerialLine::setActive(bool value) {
  if (value != m_active.load())
    Reactivate(value);
}

void TSerialLine::setCommPort(const std::string& value) {
  const std::string name = value.substr(0, std::min(value.size(), kCommPortLimit));
  if (name == m_commPort)
    return;
  m_commPort = name;
  Reactivate(m_active.load());
}

void TSerialLine::setBaudRate(std::uint32_t value) {
  if (value == m_baudRate)
    return;
  m_baudRate = value;
  if (m_xtoAuto)
    AdjustCharDelays();
  if (m_active.load())
    ApplyLineSettings();
}

void TSerialLine::storeLineSetting(auto& field, auto value) {
  if (field == value)
    return;
  field = value;
  if (m_active.load())
    ApplyLineSettings();
}

void TSerialLine::setParityType(std::uint8_t value) {
  storeLineSetting(m_parityType, value);
}
void TSerialLine::setParityErrorChar(char value) {
  storeLineSetting(m_parityErrorChar, value);
}
void TSerialLine::setParityErrorReplacement(bool value) {
  storeLineSetting(m_parityErrorReplacement, value);
}
void TSerialLine::setStopBits(std::uint8_t value) {
  storeLineSetting(m_stopBits, value);
}
void TSerialLine::setDataBits(std::uint8_t value) {
  storeLineSetting(m_dataBits, value);
}
void TSerialLine::setXONChar(char value) {
  storeLineSetting(m_xonChar, value);
}
void TSerialLine::setXOFFChar(char value) {
  storeLineSetting(m_xoffChar, value);
}
void TSerialLine::setFlowControl(std::int32_t value) {
  storeLineSetting(m_flowControl, value);
}
void TSerialLine::setStripNullChars(bool value) {
  storeLineSetting(m_stripNullChars, value);
}
void TSerialLine::setEventChar(char value) {
  storeLineSetting(m_eventChar, value);
}

// The comparison is made with the requested value, before the clamp.
void TSerialLine::setLimitDiv(std::uint8_t& field, std::uint8_t value, const char* warning) {
  if (value == field)
    return;
  if (value > 100) {
    ProcessError(100, value, warning, 1);
    value = 100;
  }
  field = value;
  if (m_active.load())
    ApplyLineSettings();
}

void TSerialLine::setXONLimDiv(std::uint8_t value) {
  setLimitDiv(m_xonLimDiv, value, "Warning XOnLimDef set to 100");
}

void TSerialLine::setXOFFLimDiv(std::uint8_t value) {
  setLimitDiv(m_xoffLimDiv, value, "Warning XOffLimDef set to 100");
}

void TSerialLine::setRTOCharDelayTime(std::uint32_t value) {
  m_rtoCharDelayTime.store(value);
}
void TSerialLine::setRTOExtraDelayTime(std::uint16_t value) {
  m_rtoExtraDelayTime.store(value);
}

void TSerialLine::setQueueSize(std::uint16_t& field, std::uint16_t value, std::uint32_t place) {
  if (value == field)
    return;
  field = value;
  if (const std::uint32_t error = m_device->setupQueues(m_rxQueueSize, m_txQueueSize);
      error != kStatusOk)
    ProcessError(place, error, "Error can not set Quesize", 0);
}

std::optional<char> TSerialLine::ClusterTerminator() const {
  const int terminator = m_clusterTerminator.load();
  if (terminator < 0)
    return std::nullopt;
  return static_cast<char>(terminator);
}

void TSerialLine::setClusterTerminator(std::optional<char> value) {
  m_clusterTerminator.store(value ? static_cast<unsigned char>(*value) : -1);
}

void TSerialLine::setRxQueueSize(std::uint16_t value) {
  setQueueSize(m_rxQueueSize, value, 101);
}
void TSerialLine::setTxQueueSize(std::uint16_t value) {
  setQueueSize(m_txQueueSize, value, 102);
}

void TSerialLine::setWTOCharDelayTime(std::uint32_t value) {
  if (value == m_wtoCharDelayTime.load())
    return;
  m_wtoCharDelayTime.store(value);
  if (m_active.load())
    ApplyLineSettings();
}

void TSerialLine::setWTOExtraDelayTime(std::uint16_t value) {
  if (value == m_wtoExtraDelayTime.load())
    return;
  m_wtoExtraDelayTime.store(value);
  if (m_active.load())
    ApplyLineSettings();
}

void TSerialLine::setXTOAuto(bool value) {
  if (value == m_xtoAuto)
    return;
  m_xtoAuto = value;
  if (value)
    AdjustCharDelays();
}

void TSerialLine::applyControlLine(ControlLine line, bool on) {
  struct Report {
    std::uint32_t place;
    const char* msg;
  };
  static constexpr std::array<Report, 6> kReports{{{501, "Error setting RTS"},
                                                   {502, "Error clearing RTS"},
                                                   {601, "Error setting DTR"},
                                                   {602, "Error clearing DTR"},
                                                   {701, "Error setting BREAK State"},
                                                   {702, "Error clearing BREAK State"}}};
  if (const std::uint32_t error = m_device->setControlLine(line, on); error != kStatusOk) {
    const Report& report = kReports[static_cast<std::size_t>(line) * 2 + (on ? 0 : 1)];
    ProcessError(report.place, error, report.msg, 0);
  }
}

void TSerialLine::setRTSState(bool value) {
  if (!m_active.load())
    return;
  applyControlLine(ControlLine::Rts, value);
  m_rtsState = value;
}

void TSerialLine::setDTRState(bool value) {
  if (!m_active.load())
    return;
  applyControlLine(ControlLine::Dtr, value);
  m_dtrState = value;
}

void TSerialLine::setBREAKState(bool value) {
  if (!m_active.load())
    return;
  applyControlLine(ControlLine::Break, value);
  m_breakState = value;
}

void TSerialLine::Reactivate(bool Reopen) {
  if (m_active.load())
    closePort();
  if (Reopen)
    openPort();
}

void TSerialLine::closePort() {
  ProcessError(100, 0, "Msg start deactivating Port", 2);
  if (m_reconnecting.exchange(false)) {
    // The hung-up device is closed already; only the retries end.
    m_active.store(false);
    WaitWorkerIdle(kCloseWaits);
    m_dtrState = false;
    m_rtsState = false;
    m_comHandle.store(kNoHandle);
    return;
  }
  if (const std::uint32_t error = m_device->setEventMask(0); error != kStatusOk)
    ProcessError(101, error, "Error disabling CommEvents", 0);
  m_active.store(false);
  if (const std::uint32_t error = m_device->purge(); error != kStatusOk)
    ProcessError(102, error, "Error clearing Queues", 0);
  WaitWorkerIdle(kCloseWaits);
  if (m_workerBusy.load())
    ProcessError(104, 0, "Warning ThreadIsRunning", 1);
  applyControlLine(ControlLine::Dtr, false);
  m_dtrState = false;
  applyControlLine(ControlLine::Rts, false);
  m_rtsState = false;
  if (const std::uint32_t error = m_device->close(); error != kStatusOk)
    ProcessError(103, error, "Error closing Port", 0);
  m_comHandle.store(kNoHandle);
}

void TSerialLine::openPort() {
  ProcessError(110, 0, "Msg start reactivating Port", 2);
  std::uint32_t handle = kNoHandle;
  const std::string path = devicePathForPort(m_commPort, m_deviceMap);
  const std::uint32_t error = m_device->open(path, handle);
  noteOpenResult(path, error);
  m_comHandle.store(error == kStatusOk ? handle : kNoHandle);
  if (error == kStatusOk)
    m_openGeneration.fetch_add(1);
  m_active.store(error == kStatusOk);
  if (error != kStatusOk) {
    ProcessError(112, error, "Error reopening Port", 0);
    return;
  }
  configureOpenedDevice();
}

void TSerialLine::configureOpenedDevice() {
  if (const std::uint32_t queueError = m_device->setupQueues(m_rxQueueSize, m_txQueueSize);
      queueError != kStatusOk)
    ProcessError(111, queueError, "Error setup Queuesize", 0);
  ApplyLineSettings();
  setDTRState(true);
  setRTSState(true);
  EnableCommEvents();
}

// The device hung up (its other end closed, the adapter pulled out): its descriptor is
// closed at once, and the worker asks for retryOpen once a second from now on.
void TSerialLine::dropHungUpDevice() {
  if (!m_active.load() || m_reconnecting.load())
    return;
  m_device->setEventMask(0);
  m_device->close();
  m_comHandle.store(kNoHandle);
  m_reconnecting.store(true);
}

// The same path, the same settings; a failed attempt waits quietly for the next one.
void TSerialLine::retryOpen() {
  if (!m_active.load() || !m_reconnecting.load())
    return;
  std::uint32_t handle = kNoHandle;
  const std::string path = devicePathForPort(m_commPort, m_deviceMap);
  const std::uint32_t error = m_device->open(path, handle);
  noteOpenResult(path, error);
  if (error != kStatusOk)
    return;
  m_comHandle.store(handle);
  m_openGeneration.fetch_add(1);
  m_reconnecting.store(false);
  configureOpenedDevice();
}

void TSerialLine::noteOpenResult(const std::string& path, std::uint32_t error) {
  std::optional<OpenFailure> failure;
  if (error != kStatusOk)
    failure = OpenFailure{path, error};
  if (failure == m_openFailure)
    return;
  m_openFailure = std::move(failure);
  if (!m_destroying.load())
    OnOpenFailure(this, m_openFailure);
}

void TSerialLine::EnableCommEvents() {
  if (const std::uint32_t error = m_device->setEventMask(kAllLineEvents); error != kStatusOk)
    ProcessError(201, error, "Error activating CommEventMask", 0);
}

void TSerialLine::ApplyLineSettings() {
  LineSettings settings;
  if (const std::uint32_t error = m_device->getLineSettings(settings); error != kStatusOk) {
    ProcessError(801, error, "Error getting DCB from CommState", 0);
    return;
  }
  settings.baudRate = m_baudRate;
  settings.flags = kFlagBinary | (m_parityType != 0 ? kFlagParity : 0) |
                   (m_parityErrorReplacement ? kFlagErrorChar : 0) |
                   static_cast<std::uint32_t>(m_flowControl) | (m_stripNullChars ? kFlagNull : 0);
  settings.parity = m_parityType;
  settings.errorChar = m_parityErrorChar;
  settings.evtChar = m_eventChar;
  settings.stopBits = m_stopBits;
  settings.byteSize = m_dataBits;
  settings.xonChar = m_xonChar;
  settings.xoffChar = m_xoffChar;
  settings.xonLim = static_cast<std::uint16_t>(m_rxQueueSize * m_xonLimDiv / 100);
  settings.xoffLim = static_cast<std::uint16_t>(m_rxQueueSize * m_xoffLimDiv / 100);
  settings.eofChar = 0;

  Timeouts timeouts;
  m_device->getTimeouts(timeouts);
  timeouts = Timeouts{0xFFFFFFFF, 0, 0, 0, 0};
  if (const std::uint32_t error = m_device->setTimeouts(timeouts); error != kStatusOk)
    ProcessError(802, error, "Error setting CommTimeout", 0);
  if (const std::uint32_t error = m_device->setLineSettings(settings); error != kStatusOk)
    ProcessError(802, error, "Error setting CommState, 87 indicate that Parms are incorrect", 0);
}

void TSerialLine::AdjustCharDelays() {
  std::uint32_t delay = kNoLimitCharDelay;
  for (const DelayRow& row : kCharDelays)
    if (row.baudRate <= m_baudRate)
      delay = row.charDelay;
  setRTOCharDelayTime(delay);
  setWTOCharDelayTime(delay);
}

void TSerialLine::SendData(const char* Buffer, std::uint32_t Count) {
  if (m_sendInProgress.load()) {
    ProcessError(901, 0, "Msg, dont enter SendData while SendInProgress is set", 2);
    return;
  }
  Timeouts timeouts;
  m_device->getTimeouts(timeouts);
  timeouts = Timeouts{0xFFFFFFFF, 0, 0, 0,
                      Count * m_wtoCharDelayTime.load() / 1000 + m_wtoExtraDelayTime.load()};
  if (const std::uint32_t error = m_device->setTimeouts(timeouts); error != kStatusOk)
    ProcessError(902, error, "Error setting CommTimeout", 0);
  m_bytesToWrite.store(Count);
  const IoResult result = m_device->startWrite(Buffer, Count);
  if (result.status == kStatusOk) {
    m_writtenBytes.store(result.count);
    OnWriteDone(this);
  } else if (result.status == kStatusPending) {
    m_lastWriteError = kStatusPending;
    m_sendStartTick.store(m_clock->tickCount());
    m_sendInProgress.store(true);
  } else {
    m_lastWriteError = result.status;
    ProcessError(903, result.status, "Error writing Data", 0);
    if (const std::uint32_t error = m_device->resetCompletion(Completion::Write);
        error != kStatusOk)
      ProcessError(1101, error, "Error resetting Overlapped Event", 0);
    m_sendInProgress.store(false);
  }
}

void TSerialLine::SendText(const std::string& Text) {
  if (!Text.empty())
    SendData(Text.data(), static_cast<std::uint32_t>(Text.size()));
}

std::int32_t TSerialLine::QueuedClusterSize() {
  std::lock_guard lock(m_clusterLock);
  return m_clusterQueue.empty() ? -1 : m_clusterQueue.front()->ByteCount();
}

std::string TSerialLine::ReadClusterAsText() {
  std::unique_ptr<TRxCluster> oldest;
  {
    std::lock_guard lock(m_clusterLock);
    if (m_clusterQueue.empty())
      return {};
    oldest = std::move(m_clusterQueue.front());
    m_clusterQueue.pop_front();
  }
  return oldest->text();
}

void TSerialLine::ProcessError(std::uint32_t Place, std::uint32_t Code, const std::string& Msg,
                               std::uint8_t Noise) {
  if (!m_destroying.load() && Noise <= m_errorNoise.load() && OnProcessError.assigned())
    OnProcessError(this, Place, Code, Msg, Noise);
}

void TSerialLine::WaitWorkerIdle(int Count) {
  for (int i = 0; i < Count && m_workerBusy.load(); ++i)
    m_clock->sleep(kIdlePause);
}

void TSerialLine::ThreadTerminated() {
  m_workerBusy.store(false);
}

} // namespace kelvor
