#include "serial/queuedeventhandoff.h"
#include "serial/serialline.h"

#include <QTest>

#include <asm/termbits.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

using namespace kelvor;
using namespace std::chrono_literals;

namespace {

// The other end of a pseudo-terminal: the port opens the slave side by its path.
class PtyPeer {
public:
  // The port sees the slave through a link of its own, as /dev/serial/by-id names an adapter:
  // once the peer hangs up, the link is gone, so a port that opens its path again cannot take
  // the slave number that another test's pseudo-terminal got next.
  PtyPeer() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    char folder[] = "/tmp/kelvor_ptyXXXXXX";
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
        ::mkdtemp(folder) == nullptr)
      return;
    m_folder = folder;
    const std::string link = m_folder + "/port";
    if (const char* slave = ::ptsname(m_master); slave && ::symlink(slave, link.c_str()) == 0)
      m_path = link;
  }
  ~PtyPeer() {
    hangUp();
    if (!m_folder.empty())
      ::rmdir(m_folder.c_str());
  }
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  const std::string& path() const { return m_path; }
  int fd() const { return m_master; }

  bool write(const std::string& bytes) {
    return ::write(m_master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  // Everything that arrives until `count` bytes are in or the time is up.
  std::string read(std::size_t count, std::chrono::milliseconds limit = 5s) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
      pollfd pfd{m_master, POLLIN, 0};
      if (::poll(&pfd, 1, 20) <= 0)
        continue;
      char buffer[4096];
      const ssize_t n = ::read(m_master, buffer, sizeof buffer);
      if (n > 0)
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
  }

  void hangUp() {
    if (m_master >= 0)
      ::close(m_master);
    m_master = -1;
    if (!m_path.empty())
      ::unlink(m_path.c_str());
  }

private:
  int m_master = -1;
  std::string m_folder;
  std::string m_path;
};

struct Report {
  std::uint32_t place = 0;
  std::uint32_t code = 0;
  std::string msg;
};

struct PtyRig {
  PtyRig() : handoff(std::make_shared<QueuedEventHandoff>()) {
    port = std::make_unique<TSerialLine>(handoff);
    port->setOnProcessError([this](TSerialLine*, std::uint32_t place, std::uint32_t code,
                                   const std::string& msg, std::uint8_t noise) {
      if (noise == 0)
        errors.push_back({place, code, msg});
    });
    port->setCommPort(peer.path());
    port->setBaudRate(19200);
    port->setClusterSize(26);
  }

  bool serveUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    return handoff->serveUntil(done, limit);
  }

  PtyPeer peer;
  std::shared_ptr<QueuedEventHandoff> handoff;
  std::vector<Report> errors;
  std::unique_ptr<TSerialLine> port;
};

} // namespace

class TestSerialPty : public QObject {
  Q_OBJECT

private slots:
  void openCloseReopen();
  void sentBytesArriveAtThePeer();
  void shortReplyWaitsForItsTime();
  void fullClusterAndUnchangedBytes();
  void everyTableRateIsAccepted();
  void secondOpenIsRefused();
  void peerHangingUpIsReportedOnce();
};

void TestSerialPty::openCloseReopen() {
  PtyRig rig;
  QVERIFY(!rig.peer.path().empty());
  rig.port->setActive(true);
  QVERIFY(rig.port->Active());
  QVERIFY(rig.port->ComHandle() != 0xFFFFFFFFu);
  QVERIFY(rig.port->RTSState() && rig.port->DTRState());
  rig.handoff->serveFor(300ms);
  QVERIFY(!rig.port->CTSState() && !rig.port->DSRState() && !rig.port->RLSDState());
  rig.port->setActive(false);
  QVERIFY(!rig.port->Active());
  QCOMPARE(rig.port->ComHandle(), 0xFFFFFFFFu);
  rig.port->setActive(true);
  QVERIFY(rig.port->Active());
  rig.handoff->serveFor(300ms);
  QVERIFY(rig.errors.empty());
}

void TestSerialPty::sentBytesArriveAtThePeer() {
  PtyRig rig;
  int done = 0;
  rig.port->setOnWriteDone([&](TSerialLine*) { ++done; });
  // The transmit queue is empty when the bytes have left the output queue.
  std::vector<int> queuedAtTxEmpty;
  rig.port->setOnTxQueueEmptyEvent([&](TSerialLine* sender) {
    int queued = -1;
    ::ioctl(static_cast<int>(sender->ComHandle()), TIOCOUTQ, &queued);
    queuedAtTxEmpty.push_back(queued);
  });
  rig.port->setActive(true);
  const std::string command("E0\0\xff\r\n", 6);
  rig.port->SendText(command);
  QVERIFY(rig.serveUntil([&] { return done == 1; }));
  QCOMPARE(rig.peer.read(command.size()), command);
  QCOMPARE(rig.port->WrittenBytes(), 6u);
  QVERIFY(rig.serveUntil([&] { return queuedAtTxEmpty.size() == 1; }));

  std::string big;
  for (int i = 0; i < 20000; ++i)
    big.push_back(static_cast<char>(i * 7));
  rig.port->SendText(big);
  QCOMPARE(rig.peer.read(big.size()), big);
  QVERIFY(rig.serveUntil([&] { return done == 2; }));
  QCOMPARE(rig.port->WrittenBytes(), 20000u);
  QVERIFY(rig.serveUntil([&] { return queuedAtTxEmpty.size() == 2; }));
  QCOMPARE(queuedAtTxEmpty, (std::vector<int>{0, 0}));
  QVERIFY(rig.errors.empty());
}

void TestSerialPty::shortReplyWaitsForItsTime() {
  PtyRig rig;
  std::vector<std::string> clusters;
  std::chrono::steady_clock::time_point arrived;
  rig.port->setOnRxClusterEvent([&](TSerialLine* sender) {
    arrived = std::chrono::steady_clock::now();
    clusters.push_back(sender->ReadClusterAsText());
  });
  rig.port->setActive(true);
  rig.handoff->serveFor(200ms);
  const std::string reply = "V= 12.345 A= 1.234\r\n";
  const auto sent = std::chrono::steady_clock::now();
  QVERIFY(rig.peer.write(reply));
  QVERIFY(rig.serveUntil([&] { return !clusters.empty(); }));
  rig.handoff->serveFor(200ms);
  QCOMPARE(clusters, std::vector<std::string>{reply});
  // 261.4 ms from the last moment the queue was seen empty, at most one pass before.
  QVERIFY(arrived - sent > 261ms - 76ms);
}

void TestSerialPty::fullClusterAndUnchangedBytes() {
  PtyRig rig;
  std::string received;
  int clusters = 0;
  rig.port->setOnRxClusterEvent([&](TSerialLine* sender) {
    ++clusters;
    received += sender->ReadClusterAsText();
  });
  rig.port->setActive(true);
  std::string reply("\0\r\n\r\x11\x13\x03\x7f", 8);
  reply += std::string(30, '\0');
  QVERIFY(rig.peer.write(reply));
  QVERIFY(rig.serveUntil([&] { return received.size() >= reply.size(); }));
  QCOMPARE(received, reply);
  QVERIFY(clusters >= 1);
  QVERIFY(rig.errors.empty());
}

void TestSerialPty::everyTableRateIsAccepted() {
  PtyRig rig;
  rig.port->setActive(true);
  for (const std::uint32_t rate : {110u, 300u, 600u, 1200u, 2400u, 4800u, 9600u, 14400u, 19200u,
                                   38400u, 56000u, 57600u, 115200u, 128000u, 256000u, 100u}) {
    rig.port->setBaudRate(rate);
    termios2 tio{};
    QCOMPARE(::ioctl(rig.peer.fd(), TCGETS2, &tio), 0);
    QCOMPARE(tio.c_ospeed, rate);
    QCOMPARE(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    QCOMPARE(tio.c_lflag & (ICANON | ECHO), 0u);
  }
  QVERIFY(rig.errors.empty());
}

void TestSerialPty::secondOpenIsRefused() {
  PtyRig rig;
  rig.port->setActive(true);
  QVERIFY(rig.port->Active());
  auto otherHandoff = std::make_shared<QueuedEventHandoff>();
  TSerialLine other(otherHandoff);
  std::vector<Report> otherErrors;
  other.setOnProcessError([&](TSerialLine*, std::uint32_t place, std::uint32_t code,
                              const std::string& msg, std::uint8_t noise) {
    if (noise == 0)
      otherErrors.push_back({place, code, msg});
  });
  other.setCommPort(rig.peer.path());
  other.setActive(true);
  QVERIFY(!other.Active());
  QCOMPARE(other.ComHandle(), 0xFFFFFFFFu);
  QCOMPARE(otherErrors.size(), std::size_t{1});
  QCOMPARE(otherErrors[0].place, 112u);
  QCOMPARE(otherErrors[0].msg, std::string("Error reopening Port"));
  QVERIFY(otherErrors[0].code == EWOULDBLOCK || otherErrors[0].code == EBUSY);
  rig.port->setActive(false);
  other.setActive(true);
  QVERIFY(other.Active());
}

void TestSerialPty::peerHangingUpIsReportedOnce() {
  PtyRig rig;
  rig.port->setActive(true);
  rig.handoff->serveFor(200ms);
  QVERIFY(rig.peer.write("half a rep"));
  rig.peer.hangUp();
  rig.handoff->serveFor(1500ms);
  QCOMPARE(rig.errors.size(), std::size_t{1});
  QCOMPARE(rig.errors[0].place, 9803u);
  QCOMPARE(rig.errors[0].code, std::uint32_t{EIO});
  QCOMPARE(rig.errors[0].msg, std::string("Error ClearCommError"));
  QVERIFY(rig.port->Active());

  rig.port->SendText("V\r");
  QCOMPARE(rig.errors.back().place, 903u);
  rig.errors.clear();
  rig.port->setActive(false);
  QVERIFY(!rig.port->Active());
  QVERIFY(rig.errors.empty());
  rig.port->setActive(true);
  QVERIFY(!rig.port->Active());
  QCOMPARE(rig.errors.back().place, 112u);
  rig.port.reset();
}

QTEST_APPLESS_MAIN(TestSerialPty)
#include "tst_serialpty.moc"
