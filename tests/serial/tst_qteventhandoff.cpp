#include "serial/qt/qteventhandoff.h"
#include "tests/serial/serialrig.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <atomic>
#include <stdexcept>
#include <thread>

using namespace kelvor;
using namespace std::chrono_literals;

namespace {

// Counts the hand-offs a worker has begun, so a test can tell that the worker waits in one.
class WatchedHandoff : public EventHandoff {
public:
  void runOnEventThread(const std::function<void()>& call) override {
    ++m_begun;
    m_inner.runOnEventThread(call);
  }
  void serveUntil(const std::function<bool()>& done) override { m_inner.serveUntil(done); }

  int begun() const { return m_begun.load(); }

private:
  std::atomic<int> m_begun{0};
  QtEventHandoff m_inner;
};

// Polls `condition` without running the event loop, for at most `timeout`.
template <typename Condition>
bool pollWithoutTheLoop(Condition condition, std::chrono::seconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

} // namespace

class TestQtEventHandoff : public QObject {
  Q_OBJECT

private slots:
  void callsRunOnTheEventLoopThread();
  void callFromTheEventThreadRunsAtOnce();
  void throwingCallDoesNotStopTheWorker();
  void serveUntilRunsWaitingCalls();
  void portEventsReachTheEventLoop();
  void destroyingThePortNeverDeadlocks();
};

void TestQtEventHandoff::callsRunOnTheEventLoopThread() {
  QtEventHandoff handoff;
  QThread* ranOn = nullptr;
  std::atomic<bool> returned{false};
  bool ranBeforeReturn = false;
  std::thread worker([&] {
    handoff.runOnEventThread([&] { ranOn = QThread::currentThread(); });
    ranBeforeReturn = ranOn != nullptr;
    returned = true;
  });
  QVERIFY(QTest::qWaitFor([&] { return returned.load(); }, 5000));
  worker.join();
  QCOMPARE(ranOn, QThread::currentThread());
  QVERIFY(ranBeforeReturn);
}

void TestQtEventHandoff::callFromTheEventThreadRunsAtOnce() {
  QtEventHandoff handoff;
  int calls = 0;
  handoff.runOnEventThread([&] { ++calls; });
  QCOMPARE(calls, 1);
}

void TestQtEventHandoff::throwingCallDoesNotStopTheWorker() {
  QtEventHandoff handoff;
  std::atomic<int> after{0};
  std::thread worker([&] {
    handoff.runOnEventThread([] { throw std::runtime_error("handler failed"); });
    after = 1;
    handoff.runOnEventThread([&] { after = 2; });
  });
  QVERIFY(QTest::qWaitFor([&] { return after.load() == 2; }, 5000));
  worker.join();
}

void TestQtEventHandoff::serveUntilRunsWaitingCalls() {
  QtEventHandoff handoff;
  std::atomic<int> runs{0};
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    for (int i = 0; i < 3; ++i)
      handoff.runOnEventThread([&] { ++runs; });
    finished = true;
  });
  // No event loop runs here: serveUntil alone must carry the worker through.
  handoff.serveUntil([&] { return finished.load(); });
  worker.join();
  QCOMPARE(runs.load(), 3);
  // The calls posted to the event loop meanwhile find their work done.
  QCoreApplication::processEvents();
  QCOMPARE(runs.load(), 3);
}

void TestQtEventHandoff::portEventsReachTheEventLoop() {
  auto clock = std::make_shared<FakeClock>(0);
  auto fake = std::make_unique<FakeSerialDevice>(clock);
  FakeSerialDevice* device = fake.get();
  device->addPath("/dev/ttyS1");
  TSerialLine port(std::make_shared<QtEventHandoff>(), std::move(fake), clock);
  port.setClusterSize(26);
  std::vector<std::string> texts;
  bool onMainThread = true;
  port.setOnRxClusterEvent([&](TSerialLine* sender) {
    onMainThread = onMainThread && QThread::currentThread() == qApp->thread();
    if (sender->QueuedClusterSize() >= 0)
      texts.push_back(sender->ReadClusterAsText());
  });
  port.setActive(true);
  QVERIFY(QTest::qWaitFor([&] { return device->isWaitPending(); }, 5000));
  device->scheduleArrival(5, std::string(26, 'r'));
  device->scheduleArrival(400, "tail");
  QVERIFY(QTest::qWaitFor([&] { return texts.size() == 2; }, 5000));
  QVERIFY(onMainThread);
  QCOMPARE(texts[0], std::string(26, 'r'));
  QCOMPARE(texts[1], std::string("tail"));
}

void TestQtEventHandoff::destroyingThePortNeverDeadlocks() {
  auto clock = std::make_shared<FakeClock>(0);
  auto fake = std::make_unique<FakeSerialDevice>(clock);
  FakeSerialDevice* device = fake.get();
  device->addPath("/dev/ttyS1");
  auto handoff = std::make_shared<WatchedHandoff>();
  auto port = std::make_unique<TSerialLine>(handoff, std::move(fake), clock);
  int stats = 0;
  port->setOnCommStat([&](TSerialLine*) { ++stats; });
  port->setActive(true);
  QVERIFY(QTest::qWaitFor([&] { return device->isWaitPending(); }, 5000));
  const int before = stats;
  const int handoffsBefore = handoff->begun();
  device->scheduleArrival(5, "x");
  // The event loop does not run: the worker comes to wait in a hand-off and stays there.
  QVERIFY(pollWithoutTheLoop([&] { return handoff->begun() > handoffsBefore; }, 30s));
  QCOMPARE(stats, before);
  // The destruction serves the waiting hand-off without running its handler.
  port.reset();
  QCOMPARE(stats, before);
}

QTEST_GUILESS_MAIN(TestQtEventHandoff)
#include "tst_qteventhandoff.moc"
