#pragma once

#include "serial/serialevent.h"
#include "serial/terminatorcut.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace kelvor {

class TSerialLine;
class TWorkThread;

// The port's worker: idles while the port is closed; while it is open it polls the line,
// finishes a pending send, cuts waiting bytes into clusters, keeps a line-event wait
// outstanding, and hands every event and report to the event-loop thread.
class TWorkThread {
public:
  // Starts at once. onTerminate runs on the event-loop thread after the loop has ended.
  TWorkThread(TSerialLine& port, std::function<void()> onTerminate);
  ~TWorkThread();
  TWorkThread(const TWorkThread&) = delete;
  TWorkThread& operator=(const TWorkThread&) = delete;

  void Terminate() { m_terminated.store(true); }
  // True once the thread has done everything, its termination notification included.
  bool hasEnded() const { return m_ended.load(); }
  void join();

private:
  void Execute();
  void activePass();
  void idlePass();
  void waitForCompletions();
  void windDown();
  void takeUpHangup();
  void reconnectPass();
  void CheckLineStatus();
  void CheckSendDone();
  void finishSend(std::uint32_t written);
  void resetSendCompletion();
  void TryCutCluster();
  // True when the waiting bytes are to be cut at `now` (see TryCutCluster).
  bool cutIsDue(std::uint32_t now);
  void StartEventWait();
  void FinishRead();
  void FinishEventWait();
  void DispatchCommEvents();
  void QueueCluster(std::uint32_t count);
  void queueOne(std::string_view bytes, std::uint32_t errors);
  std::uint32_t heldBytes();
  void raise(const TEvent<TSerialLine*>& event);
  void RunOnEventThread(const std::function<void()>& call);
  void DeferError(std::uint32_t Place, std::uint32_t Code, const std::string& Msg,
                  std::uint8_t Noise);
  void DeliverError();

  TSerialLine& m_port;
  std::function<void()> m_onTerminate;
  std::atomic<bool> m_terminated{false};
  std::atomic<bool> m_ended{false};

  std::uint32_t m_errPlace = 0;
  std::uint32_t m_errCode = 0;
  std::string m_errMsg;
  std::uint8_t m_errNoise = 0;

  bool m_readPending = false;
  bool m_waitPending = false;
  bool m_running = false;
  std::uint32_t m_eventMask = 0;
  std::uint32_t m_lastEmptyTick = 0;
  std::unique_ptr<char[]> m_readBuffer;
  TerminatorCut m_terminatorCut;
  std::uint32_t m_heldGeneration = 0;
  std::uint32_t m_lastReopenTick = 0;

  std::thread m_thread;
};

} // namespace kelvor
