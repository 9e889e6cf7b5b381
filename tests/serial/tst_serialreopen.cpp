#include "serial/queuedeventhandoff.h"
#include "serial/serialline.h"

#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>

using namespace kelvor;
using namespace std::chrono_literals;

namespace {

// The far end of a pseudo-terminal; its slave is what the port opens, through a link.
class PtyPeer {
public:
  PtyPeer() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0)
      m_path = ::ptsname(m_master);
  }
  ~PtyPeer() {
    if (m_master >= 0)
      ::close(m_master);
  }
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  const std::string& path() const { return m_path; }
  bool write(const std::string& bytes) const {
    return ::write(m_master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  std::string read(std::size_t count, std::chrono::milliseconds limit = 5s) const {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
      pollfd pfd{m_master, POLLIN, 0};
      if (::poll(&pfd, 1, 20) <= 0)
        continue;
      char buffer[256];
      const ssize_t n = ::read(m_master, buffer, sizeof buffer);
      if (n > 0)
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }

private:
  int m_master = -1;
  std::string m_path;
};

// A port on a device name that is a link to a pseudo-terminal, as /dev/serial/by-id/... is
// a link to the adapter's tty: pulling the adapter out removes the link, plugging it in
// makes it again, to whatever tty the adapter gets now.
struct LinkRig {
  LinkRig() : handoff(std::make_shared<QueuedEventHandoff>()) {
    link = dir.filePath(QStringLiteral("usb-FTDI_FT232R-if00-port0")).toStdString();
    peer.emplace();
    std::filesystem::create_symlink(peer->path(), link);
    port = std::make_unique<TSerialLine>(handoff);
    port->setOnRxClusterEvent(
        [this](TSerialLine* sender) { received += sender->ReadClusterAsText(); });
    port->setCommPort(link);
    port->setBaudRate(19200);
    port->setClusterSize(26);
    port->setClusterTerminator('\r');
  }

  void unplug() {
    std::filesystem::remove(link);
    peer.reset();
  }
  void plugIn() {
    peer.emplace();
    std::filesystem::create_symlink(peer->path(), link);
  }
  bool serveUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 15s) {
    return handoff->serveUntil(done, limit);
  }
  // A reply from the far end that reaches the port's clusters.
  bool answers(const std::string& reply) {
    received.clear();
    return peer->write(reply) && serveUntil([&] { return received == reply; });
  }

  QTemporaryDir dir;
  std::string link;
  std::optional<PtyPeer> peer;
  std::shared_ptr<QueuedEventHandoff> handoff;
  std::unique_ptr<TSerialLine> port;
  std::string received;
};

} // namespace

class TestSerialReopen : public QObject {
  Q_OBJECT

private slots:
  void takesTheAdapterUpAgainUnderItsName();
  void aNameThatStaysAwayIsRetriedUntilClosed();
  void eachNewReasonForAFailedOpenIsToldOnce();
};

void TestSerialReopen::takesTheAdapterUpAgainUnderItsName() {
  LinkRig rig;
  rig.port->setActive(true);
  QVERIFY(rig.port->Active());
  QVERIFY(rig.answers("U[V]:    12.5000 \r"));

  rig.unplug();
  QVERIFY(rig.serveUntil([&] { return rig.port->Reconnecting(); }));
  QVERIFY(rig.port->Active());
  QCOMPARE(rig.port->ComHandle(), kNoHandle);
  rig.plugIn();
  QVERIFY(rig.serveUntil([&] { return !rig.port->Reconnecting(); }));
  QVERIFY(rig.port->Active());
  QVERIFY(rig.port->ComHandle() != kNoHandle);

  // Both ways work again, with the settings the port had.
  QVERIFY(rig.answers("U[V]:    12.4990 \r"));
  QVERIFY(rig.serveUntil([&] { return !rig.port->SendInProgress(); }));
  rig.port->SendText("#VAL-DIR\r");
  QCOMPARE(rig.peer->read(9), std::string("#VAL-DIR\r"));

  // And a second time.
  rig.unplug();
  QVERIFY(rig.serveUntil([&] { return rig.port->Reconnecting(); }));
  rig.plugIn();
  QVERIFY(rig.serveUntil([&] { return !rig.port->Reconnecting(); }));
  QVERIFY(rig.answers("U[V]:    12.4980 \r"));
}

void TestSerialReopen::aNameThatStaysAwayIsRetriedUntilClosed() {
  LinkRig rig;
  rig.port->setActive(true);
  QVERIFY(rig.port->Active());
  rig.unplug();
  QVERIFY(rig.serveUntil([&] { return rig.port->Reconnecting(); }));
  // Several tries come and go; the port keeps trying and stays Active.
  rig.handoff->serveUntil([] { return false; }, 2500ms);
  QVERIFY(rig.port->Reconnecting());
  QVERIFY(rig.port->Active());

  rig.port->setActive(false);
  QVERIFY(!rig.port->Active());
  QVERIFY(!rig.port->Reconnecting());
  // With the retries stopped the name coming back changes nothing.
  rig.plugIn();
  rig.handoff->serveUntil([] { return false; }, 2500ms);
  QVERIFY(!rig.port->Active());
  QCOMPARE(rig.port->ComHandle(), kNoHandle);
}

// The reason goes to the operator once: a retry that fails alike stays quiet, a lock held
// elsewhere is a new reason and names its holder, an open that works clears it.
void TestSerialReopen::eachNewReasonForAFailedOpenIsToldOnce() {
  LinkRig rig;
  std::vector<std::optional<OpenFailure>> told;
  rig.port->setOnOpenFailure(
      [&](TSerialLine*, const std::optional<OpenFailure>& failure) { told.push_back(failure); });
  rig.unplug();
  rig.port->setActive(true);
  rig.port->setActive(true);
  QCOMPARE(told.size(), 1u);
  QCOMPARE(told[0], (OpenFailure{rig.link, ENOENT}));
  QVERIFY(describeOpenFailure(*told[0], {})
              .find(rig.link + "  nelze  otevřít:  " + std::strerror(ENOENT)) != std::string::npos);

  rig.plugIn();
  const int holder = ::open(rig.peer->path().c_str(), O_RDWR | O_NOCTTY);
  QVERIFY(holder >= 0 && ::flock(holder, LOCK_EX | LOCK_NB) == 0);
  rig.port->setActive(true);
  QCOMPARE(told.size(), 2u);
  QVERIFY(isTakenByAnother(told[1]->error));
  std::string ownName;
  std::getline(std::ifstream("/proc/self/comm"), ownName);
  const std::string said = describeOpenFailure(*told[1], findDeviceHolders(rig.link));
  QVERIFY2(said.find(ownName + " (PID " + std::to_string(::getpid()) + ")") != std::string::npos,
           said.c_str());
  ::close(holder);

  rig.port->setActive(true);
  QVERIFY(rig.port->Active());
  QCOMPARE(told.size(), 3u);
  QVERIFY(!told[2]);
  // Retries after a hang-up tell their reason too, and the return clears it.
  rig.unplug();
  QVERIFY(rig.serveUntil([&] { return told.size() == 4; }));
  QCOMPARE(told[3]->error, std::uint32_t(ENOENT));
  rig.plugIn();
  QVERIFY(rig.serveUntil([&] { return told.size() == 5 && !told[4]; }));
  QVERIFY(rig.port->Active());
}

QTEST_GUILESS_MAIN(TestSerialReopen)
#include "tst_serialreopen.moc"
