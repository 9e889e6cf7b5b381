#pragma once

#include "serial/eventhandoff.h"
#include "serial/platform/millisecondclock.h"
#include "serial/platform/openfailure.h"
#include "serial/platform/serialdevice.h"
#include "serial/rxcluster.h"
#include "serial/serialevent.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace kelvor {

class TSerialLine;
class TWorkThread;

using TNotifyEvent = std::function<void(TSerialLine* Sender)>;
using TNotifyErrorEvent =
    std::function<void(TSerialLine* Sender, std::uint32_t Place, std::uint32_t Code,
                       const std::string& Msg, std::uint8_t Noise)>;
using TOpenFailureEvent =
    std::function<void(TSerialLine* Sender, const std::optional<OpenFailure>& Failure)>;

// Bits of CommStateFlags, in bit order.
enum TComStateFlag : std::uint8_t {
  fCtlHold = 0,
  fDsrHold,
  fRlsHold,
  fXoffHold,
  fXOffSent,
  fEof,
  fTxim
};

// The serial port component: one RS-232 line, its settings, control lines, sends, error
// reports and the worker that cuts received bytes into clusters.
//
// Naming: a property P is read with P() and written with setP(value) (Active() /
// setActive(), RTOCharDelayTime() / setRTOCharDelayTime()); an event OnX is bound with
// setOnX(handler). Every public operation belongs to the event-loop thread, the thread that
// serves the hand-off; events and reports reach handlers there too. The port never throws:
// it reports through OnProcessError, filtered by ErrorNoise.
class TSerialLine {
public:
  // The port on the real device layer and the steady clock.
  explicit TSerialLine(std::shared_ptr<EventHandoff> handoff);
  TSerialLine(std::shared_ptr<EventHandoff> handoff, std::unique_ptr<SerialDevice> device,
              std::shared_ptr<MillisecondClock> clock);
  ~TSerialLine();
  TSerialLine(const TSerialLine&) = delete;
  TSerialLine& operator=(const TSerialLine&) = delete;

  // The [Devices] section of the settings file: COMn = device path.
  void setDeviceMap(std::map<std::string, std::string> devices);
  // A new [Devices] map while the program runs: when it moves the present port to another
  // device, the port is opened there (closed first if open), as choosing a port opens it.
  void remapDevices(std::map<std::string, std::string> devices);

  // Design-time properties.
  bool Active() const { return m_active.load(); }
  void setActive(bool value);
  std::uint32_t ComHandle() const { return m_comHandle.load(); }
  const std::string& CommPort() const { return m_commPort; }
  void setCommPort(const std::string& value);
  std::uint32_t BaudRate() const { return m_baudRate; }
  void setBaudRate(std::uint32_t value);
  std::uint8_t ParityType() const { return m_parityType; }
  void setParityType(std::uint8_t value);
  char ParityErrorChar() const { return m_parityErrorChar; }
  void setParityErrorChar(char value);
  bool ParityErrorReplacement() const { return m_parityErrorReplacement; }
  void setParityErrorReplacement(bool value);
  std::uint8_t StopBits() const { return m_stopBits; }
  void setStopBits(std::uint8_t value);
  std::uint8_t DataBits() const { return m_dataBits; }
  void setDataBits(std::uint8_t value);
  char XONChar() const { return m_xonChar; }
  void setXONChar(char value);
  char XOFFChar() const { return m_xoffChar; }
  void setXOFFChar(char value);
  std::uint8_t XONLimDiv() const { return m_xonLimDiv; }
  void setXONLimDiv(std::uint8_t value);
  std::uint8_t XOFFLimDiv() const { return m_xoffLimDiv; }
  void setXOFFLimDiv(std::uint8_t value);
  std::int32_t FlowControl() const { return m_flowControl; }
  void setFlowControl(std::int32_t value);
  bool StripNullChars() const { return m_stripNullChars; }
  void setStripNullChars(bool value);
  char EventChar() const { return m_eventChar; }
  void setEventChar(char value);
  std::uint32_t RTOCharDelayTime() const { return m_rtoCharDelayTime.load(); }
  void setRTOCharDelayTime(std::uint32_t value);
  std::uint16_t RTOExtraDelayTime() const { return m_rtoExtraDelayTime.load(); }
  void setRTOExtraDelayTime(std::uint16_t value);
  std::uint16_t ClusterSize() const { return m_clusterSize.load(); }
  void setClusterSize(std::uint16_t value) { m_clusterSize.store(value); }
  // Off by default. When set, each cut is split after every terminator byte into one cluster
  // per reply; the bytes after the last terminator wait for the next cut. The cut moments
  // stay those of the cut rule, the held bytes counting as waiting ones.
  std::optional<char> ClusterTerminator() const;
  void setClusterTerminator(std::optional<char> value);
  std::uint16_t RxQueueSize() const { return m_rxQueueSize; }
  void setRxQueueSize(std::uint16_t value);
  std::uint16_t TxQueueSize() const { return m_txQueueSize; }
  void setTxQueueSize(std::uint16_t value);
  std::uint32_t WTOCharDelayTime() const { return m_wtoCharDelayTime.load(); }
  void setWTOCharDelayTime(std::uint32_t value);
  std::uint16_t WTOExtraDelayTime() const { return m_wtoExtraDelayTime.load(); }
  void setWTOExtraDelayTime(std::uint16_t value);
  bool XTOAuto() const { return m_xtoAuto; }
  void setXTOAuto(bool value);
  bool RTSState() const { return m_rtsState; }
  void setRTSState(bool value);
  bool DTRState() const { return m_dtrState; }
  void setDTRState(bool value);
  bool BREAKState() const { return m_breakState; }
  void setBREAKState(bool value);
  bool CTSState() const { return m_ctsState.load(); }
  bool DSRState() const { return m_dsrState.load(); }
  bool RLSDState() const { return m_rlsdState.load(); }
  bool RingState() const { return m_ringState.load(); }
  std::uint8_t ErrorNoise() const { return m_errorNoise.load(); }
  void setErrorNoise(std::uint8_t value) { m_errorNoise.store(value); }
  bool ReadRequest() const { return m_readRequest.load(); }
  void setReadRequest(bool value) { m_readRequest.store(value); }
  bool SendInProgress() const { return m_sendInProgress.load(); }
  std::uint32_t CommError() const { return m_commError.load(); }
  std::uint8_t CommStateFlags() const { return m_commStateFlags.load(); } // TComStateFlag bits
  std::uint32_t CommStateInQueue() const { return m_commStateInQueue.load(); }
  std::uint32_t CommStateOutQueue() const { return m_commStateOutQueue.load(); }
  std::uint32_t ModemState() const { return m_modemState.load(); }
  std::uint32_t CommEvent() const { return m_commEvent.load(); }
  std::uint32_t WrittenBytes() const { return m_writtenBytes.load(); }
  bool ThreadQuietMode() const { return m_threadQuietMode.load(); }
  void setThreadQuietMode(bool value) { m_threadQuietMode.store(value); }
  bool AutoReadRequest() const { return m_autoReadRequest; }
  void setAutoReadRequest(bool value) { m_autoReadRequest = value; }
  // True while the device has hung up and the port tries to open the same path again, once
  // a second. Active stays True meanwhile; closing the port or a new CommPort ends it.
  bool Reconnecting() const { return m_reconnecting.load(); }

  // Events.
  void setOnCommEvent(TNotifyEvent handler) { OnCommEvent.bind(std::move(handler)); }
  void setOnCommStat(TNotifyEvent handler) { OnCommStat.bind(std::move(handler)); }
  void setOnTxQueueEmptyEvent(TNotifyEvent handler) {
    OnTxQueueEmptyEvent.bind(std::move(handler));
  }
  void setOnWriteDone(TNotifyEvent handler) { OnWriteDone.bind(std::move(handler)); }
  void setOnBreakEvent(TNotifyEvent handler) { OnBreakEvent.bind(std::move(handler)); }
  void setOnCTSEvent(TNotifyEvent handler) { OnCTSEvent.bind(std::move(handler)); }
  void setOnDSREvent(TNotifyEvent handler) { OnDSREvent.bind(std::move(handler)); }
  void setOnLineErrorEvent(TNotifyEvent handler) { OnLineErrorEvent.bind(std::move(handler)); }
  void setOnRingEvent(TNotifyEvent handler) { OnRingEvent.bind(std::move(handler)); }
  void setOnRIEvent(TNotifyEvent handler) { OnRIEvent.bind(std::move(handler)); }
  void setOnRLSDEvent(TNotifyEvent handler) { OnRLSDEvent.bind(std::move(handler)); }
  void setOnRxClusterEvent(TNotifyEvent handler) { OnRxClusterEvent.bind(std::move(handler)); }
  void setOnRxCharEvent(TNotifyEvent handler) { OnRxCharEvent.bind(std::move(handler)); }
  void setOnRxEventCharEvent(TNotifyEvent handler) { OnRxEventCharEvent.bind(std::move(handler)); }
  void setOnProcessError(TNotifyErrorEvent handler) { OnProcessError.bind(std::move(handler)); }
  // Why the device would not open, raised on the event-loop thread only when the reason
  // differs from the one raised last: once for a failed open, not again for each retry after
  // a hang-up that fails alike, and with no failure once an open succeeds after one.
  void setOnOpenFailure(TOpenFailureEvent handler) { OnOpenFailure.bind(std::move(handler)); }

  // Starts sending; never blocks on the line. The outcome shows in SendInProgress,
  // WrittenBytes, OnWriteDone and the reports.
  void SendData(const char* Buffer, std::uint32_t Count);
  void SendText(const std::string& Text);

  // The oldest cluster's byte count, or -1 when none waits.
  std::int32_t QueuedClusterSize();
  // Takes the oldest cluster as text, byte for byte; the empty string when none waits.
  std::string ReadClusterAsText();

private:
  friend class TWorkThread;

  using SenderEvent = TEvent<TSerialLine*>;

  void Reactivate(bool Reopen);
  void closePort();
  void openPort();
  void configureOpenedDevice();
  // Worker hand-offs on the event-loop thread after a hang-up.
  void dropHungUpDevice();
  void retryOpen();
  void EnableCommEvents();
  void ApplyLineSettings();
  void AdjustCharDelays();
  void noteOpenResult(const std::string& path, std::uint32_t error);
  void ProcessError(std::uint32_t Place, std::uint32_t Code, const std::string& Msg,
                    std::uint8_t Noise);
  void WaitWorkerIdle(int Count);
  void ThreadTerminated();
  void prepareCompletion(Completion which);
  void applyControlLine(ControlLine line, bool on);
  void storeLineSetting(auto& field, auto value);
  void setLimitDiv(std::uint8_t& field, std::uint8_t value, const char* warning);
  void setQueueSize(std::uint16_t& field, std::uint16_t value, std::uint32_t place);

  std::shared_ptr<EventHandoff> m_handoff;
  std::unique_ptr<SerialDevice> m_device;
  std::shared_ptr<MillisecondClock> m_clock;
  std::map<std::string, std::string> m_deviceMap;

  std::atomic<bool> m_active{false};
  std::atomic<std::uint32_t> m_comHandle{kNoHandle};
  std::string m_commPort = "COM2";
  std::uint32_t m_baudRate = 9600;
  std::uint8_t m_parityType = 0;
  char m_parityErrorChar = 0;
  bool m_parityErrorReplacement = false;
  std::uint8_t m_stopBits = 0;
  std::uint8_t m_dataBits = 8;
  char m_xonChar = 17;
  char m_xoffChar = 19;
  std::uint8_t m_xonLimDiv = 33;
  std::uint8_t m_xoffLimDiv = 33;
  std::int32_t m_flowControl = 0;
  bool m_stripNullChars = false;
  char m_eventChar = 0;
  std::atomic<std::uint32_t> m_rtoCharDelayTime{1100};
  std::atomic<std::uint16_t> m_rtoExtraDelayTime{250};
  std::atomic<std::uint16_t> m_clusterSize{3072};
  std::atomic<int> m_clusterTerminator{-1};
  std::uint16_t m_rxQueueSize = 4096;
  std::uint16_t m_txQueueSize = 4096;
  std::atomic<std::uint32_t> m_wtoCharDelayTime{1100};
  std::atomic<std::uint16_t> m_wtoExtraDelayTime{250};
  bool m_xtoAuto = true;
  bool m_rtsState = true;
  bool m_dtrState = true;
  bool m_breakState = false;
  std::atomic<bool> m_ctsState{false};
  std::atomic<bool> m_dsrState{false};
  std::atomic<bool> m_rlsdState{false};
  std::atomic<bool> m_ringState{false};
  std::atomic<std::uint8_t> m_errorNoise{255};
  std::atomic<bool> m_readRequest{false};
  std::atomic<bool> m_sendInProgress{false};
  std::atomic<std::uint32_t> m_commError{0};
  std::atomic<std::uint8_t> m_commStateFlags{0};
  std::atomic<std::uint32_t> m_commStateInQueue{0};
  std::atomic<std::uint32_t> m_commStateOutQueue{0};
  std::atomic<std::uint32_t> m_modemState{0};
  std::atomic<std::uint32_t> m_commEvent{0};
  std::atomic<std::uint32_t> m_writtenBytes{0};
  std::atomic<bool> m_threadQuietMode{false};
  bool m_autoReadRequest = false;

  SenderEvent OnCommEvent;
  SenderEvent OnCommStat;
  SenderEvent OnTxQueueEmptyEvent;
  SenderEvent OnWriteDone;
  SenderEvent OnBreakEvent;
  SenderEvent OnCTSEvent;
  SenderEvent OnDSREvent;
  SenderEvent OnLineErrorEvent;
  SenderEvent OnRingEvent;
  SenderEvent OnRIEvent;
  SenderEvent OnRLSDEvent;
  SenderEvent OnRxClusterEvent;
  SenderEvent OnRxCharEvent;
  SenderEvent OnRxEventCharEvent;
  TEvent<TSerialLine*, std::uint32_t, std::uint32_t, const std::string&, std::uint8_t>
      OnProcessError;
  TEvent<TSerialLine*, const std::optional<OpenFailure>&> OnOpenFailure;
  std::optional<OpenFailure> m_openFailure;

  std::atomic<bool> m_destroying{false};
  std::atomic<bool> m_reconnecting{false};
  // Counts the openings, so bytes held from an earlier opening are never delivered.
  std::atomic<std::uint32_t> m_openGeneration{0};
  std::atomic<bool> m_workerBusy{false};
  std::atomic<bool> m_workerFinished{false};
  std::int32_t m_platformFamily = -1;
  std::atomic<std::uint32_t> m_bytesToWrite{0};
  std::atomic<std::uint32_t> m_sendStartTick{0};
  std::uint32_t m_lastWriteError = 0;

  std::mutex m_clusterLock;
  std::deque<std::unique_ptr<TRxCluster>> m_clusterQueue;

  std::unique_ptr<TWorkThread> m_worker;
};

} // namespace kelvor
