#include "app/form1.h"
#include "app/pages/meterspage.h"
#include "app/pages/parametrypage.h"
#include "app/pages/servispage.h"
#include "app/program.h"
#include "data/core/numbertext.h"
#include "serial/serialline.h"
#include "tests/support/loggerprocess.h"
#include "tests/support/pagecontrols.h"
#include "tests/support/ptypeer.h"
#include "tests/support/scripteddialogs.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using kelvor::TForm1;

namespace {

// How a reply's carriage return shows in the terminal pane.
const QChar kShownReturn(0x240D);

// A main window in a folder of its own, wired to `device` as COM2 at `baud`.
struct Rig {
  QTemporaryDir dir;
  std::unique_ptr<kelvor::Program> program;
  TForm1* form = nullptr;

  Rig(const QString& device, int baud) {
    QFile file(dir.filePath(QStringLiteral("Kelvor.ini")));
    if (file.open(QIODevice::WriteOnly))
      file.write("[Devices]\nCOM2=" + device.toLocal8Bit() +
                 "\n[Serial]\nSerialPort=COM2\nBaudRate=" + QByteArray::number(baud) +
                 "\n[Ukladani]\nDoba=60\n");
    file.close();
    program = std::make_unique<kelvor::Program>(kelvor::FileLocations::forExecutableDir(dir.path()),
                                                std::make_unique<ScriptedDialogs>());
    form = &program->form();
  }

  QStringList terminalLines() const {
    const QString text = controlOf<QPlainTextEdit>(form->SERVIS, "TerminalMemo")->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
  }
  bool waitForReplies(int count, int timeoutMs) const {
    return QTest::qWaitFor(
        [this, count] {
          const QStringList lines = terminalLines();
          return lines.size() >= count && lines.last().endsWith(kShownReturn);
        },
        timeoutMs);
  }
  int records() const { return form->Table1.viewRecordCount(); }

  // The three steps of the read-out start, each after the logger's answer to the one before.
  bool startReadout() const {
    form->SERVIS->Val_Mul_ButtonClick();
    form->measuring().Timer3->stop();
    for (int step = 1; step <= 2; ++step) {
      const int before = static_cast<int>(terminalLines().size());
      form->measuring().Timer3Timer();
      if (!waitForReplies(before + 1, 5000))
        return false;
    }
    form->measuring().Timer3Timer();
    return form->measuring().LastCommand == QStringLiteral("#VAL-MUL");
  }
};

// Milliseconds the rows take on the line, 10 bits a byte.
int lineTimeMs(int rows, int baud) {
  return rows * 26 * 10 * 1000 / baud;
}

} // namespace

class TestReadout : public QObject {
  Q_OBJECT

private slots:
  void backToBackRowsAreAllStoredExactly_data();
  void backToBackRowsAreAllStoredExactly();
  void repliesThatAreNoReadingAreOnlyShown();
  void terminalShowsEveryByte();
};

void TestReadout::backToBackRowsAreAllStoredExactly_data() {
  QTest::addColumn<int>("baud");
  QTest::addColumn<int>("rows");
  // At 1200 Bd a thousand rows take 217 s of line time; the pseudo-terminal runs 60 of them
  // and the fake device's test the thousand.
  QTest::newRow("1200") << 1200 << 60;
  QTest::newRow("19200") << 19200 << 1000;
  QTest::newRow("115200") << 115200 << 1000;
}

// The logger sends its rows without a pause between them, each byte at the line speed: every
// row becomes one record with its own voltage text and the next minutes, and nothing else.
void TestReadout::backToBackRowsAreAllStoredExactly() {
  QFETCH(int, baud);
  QFETCH(int, rows);
  const QString count = QString::number(rows);
  LoggerProcess sim({QStringLiteral("--baud"), QString::number(baud), QStringLiteral("--rows"),
                     count, QStringLiteral("--memory-rows"), count, QStringLiteral("--no-record")});
  QVERIFY(!sim.path().isEmpty());
  Rig rig(sim.path(), baud);
  QVERIFY(rig.form->measuring().serialLine().Active());
  QCOMPARE(rig.form->measuring().serialLine().BaudRate(), static_cast<std::uint32_t>(baud));
  QVERIFY(rig.startReadout());
  const int limit = 3 * lineTimeMs(rows, baud) + 30000;
  QVERIFY(rig.waitForReplies(2 + rows, limit));
  static const QRegularExpression rowPattern(
      QStringLiteral("^R(\\d{4}) t=\\d{6} U=([ \\d]{3}\\.\\d{4})\\x{240D}$"));
  const QStringList shown = rig.terminalLines().mid(2);
  QStringList broken;
  for (const QString& line : shown)
    if (!rowPattern.match(line).hasMatch())
      broken << line;
  QVERIFY2(broken.isEmpty(), qPrintable(broken.join(QLatin1Char('|'))));
  QCOMPARE(shown.size(), rows);
  // The last row is in the file by the time it is shown, for any program that reads it.
  kelvor::MeasurementTable reader;
  reader.open(rig.form->Table1.fileName());
  QCOMPARE(reader.recordCount(), rows);
  QCOMPARE(rig.records(), rows);
  for (int i = 0; i < rows; ++i) {
    const QRegularExpressionMatch match = rowPattern.match(shown[i]);
    QVERIFY2(match.hasMatch(), qPrintable(shown[i]));
    QCOMPARE(match.captured(1).toInt(), i + 1);
    const kelvor::MeasurementRecord stored = rig.form->Table1.record(i);
    QCOMPARE(QString::fromStdString(stored.voltage), match.captured(2));
    QCOMPARE(stored.voltage.size(), std::size_t{8});
    QCOMPARE(stored.minutes, kelvor::formatFixed(i * 1.0, 12, 1));
    QCOMPARE(stored.time, std::optional<int>(0));
  }
  // Nothing more comes, and nothing more is stored.
  QVERIFY(rig.form->measuring().serialLine().QueuedClusterSize() == -1);
  QCOMPARE(rig.records(), rows);
}

// Noise that begins with a digit, a reply cut short, a row with noise in its field: each is
// shown and resets the watchdog, and none changes the display, the counters or the table. A
// spoiled row still stands for its interval of the logger's memory and takes its minutes.
void TestReadout::repliesThatAreNoReadingAreOnlyShown() {
  PtyPeer peer;
  Rig rig(peer.path(), 19200);
  QVERIFY(rig.form->measuring().serialLine().Active());
  int shown = 0;
  const auto answer = [&](const QByteArray& bytes) {
    rig.form->measuring().cycle.ReplyWatchdog = 15;
    return peer.reply(bytes) && rig.waitForReplies(++shown, 5000) &&
           rig.form->measuring().cycle.ReplyWatchdog == 0;
  };
  rig.form->measuring().Timer1Timer();
  QVERIFY(answer("U[V]:   7%&/(ab)\r"));
  rig.form->measuring().Timer1Timer();
  QVERIFY(answer("U[V]:    12.50V \r"));
  QCOMPARE(controlOf<QLabel>(rig.form->METERS, "VoltageLabel")->text(), QStringLiteral("VYPNUTO"));
  QCOMPARE(rig.form->measuring().cycle.StoreSeconds, std::uint16_t{0});
  QCOMPARE(rig.terminalLines().last(), QStringLiteral("U[V]:    12.50V \x240D"));

  rig.form->measuring().LastCommand = QStringLiteral("#VAL-MUL");
  QVERIFY(answer("R0001 t=000060 U= 12.7\x8e"
                 "31\r"));
  QVERIFY(answer("R0002 t=000120 U=    ab.c\r"));
  QCOMPARE(rig.records(), 0);
  QCOMPARE(rig.form->measuring().cycle.ReadoutMinutes, 2.0);

  // A clean reply after them is a reading as ever.
  rig.form->measuring().Timer1Timer();
  QVERIFY(answer("U[V]:    12.5000 \r"));
  QCOMPARE(controlOf<QLabel>(rig.form->METERS, "VoltageLabel")->text(), QStringLiteral("12.500"));
  QCOMPARE(rig.form->measuring().cycle.StoreSeconds, std::uint16_t{6});
}

void TestReadout::terminalShowsEveryByte() {
  PtyPeer peer;
  Rig rig(peer.path(), 19200);
  QVERIFY(peer.reply("\x01\x7f\x80\x8a\x9f\xbe\xe8\xf8\x8e\x9e\xff\x81\x83\x88\x90\x98\r"));
  QVERIFY(rig.waitForReplies(1, 5000));
  // The Windows-1250 characters: 0x80 €, 0x8A Š, 0x9F ź, 0xBE ľ, 0xE8 č, 0xF8 ř, 0x8E Ž,
  // 0x9E ž, 0xFF ˙; the five bytes it leaves undefined as enclosed letters: 0x81 Ⓑ, 0x83 Ⓓ,
  // 0x88 Ⓘ, 0x90 Ⓠ, 0x98 Ⓨ.
  QCOMPARE(rig.terminalLines().last(),
           QStringLiteral("\x2401\x2421\x20AC\x0160\x017A\x013E\x010D\x0159\x017D\x017E\x02D9"
                          "\x24B7\x24B9\x24BE\x24C6\x24CE\x240D"));
}

QTEST_MAIN(TestReadout)
#include "tst_readout.moc"
