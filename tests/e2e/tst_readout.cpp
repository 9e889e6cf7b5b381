#include "form1.h"
#include "loggerprocess.h"
#include "numbertext.h"
#include "scripteddialogs.h"
#include "serialline.h"

#include <QFile>
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
  std::unique_ptr<TForm1> form;

  Rig(const QString& device, int baud) {
    QFile file(dir.filePath(QStringLiteral("Kelvor.ini")));
    if (file.open(QIODevice::WriteOnly))
      file.write("[Devices]\nCOM2=" + device.toLocal8Bit() +
                 "\n[Serial]\nSerialPort=COM2\nBaudRate=" + QByteArray::number(baud) +
                 "\n[Ukladani]\nDoba=60\n");
    file.close();
    form = std::make_unique<TForm1>(kelvor::FileLocations::forExecutableDir(dir.path()),
                                    std::make_unique<ScriptedDialogs>());
    form->FormCreate();
  }

  QStringList terminalLines() const {
    const QString text = form->TerminalMemo->toPlainText();
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
    form->Val_Mul_ButtonClick();
    form->Timer3->stop();
    for (int step = 1; step <= 2; ++step) {
      const int before = static_cast<int>(terminalLines().size());
      form->Timer3Timer();
      if (!waitForReplies(before + 1, 5000))
        return false;
    }
    form->Timer3Timer();
    return form->LastCommand == QStringLiteral("#VAL-MUL");
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
  QVERIFY(rig.form->SerialLine1->Active());
  QCOMPARE(rig.form->SerialLine1->BaudRate(), static_cast<std::uint32_t>(baud));
  QVERIFY(rig.startReadout());
  const int limit = 3 * lineTimeMs(rows, baud) + 30000;
  QVERIFY(rig.waitForReplies(2 + rows, limit));
  QTRY_COMPARE_WITH_TIMEOUT(rig.records(), rows, 10000);

  const QStringList shown = rig.terminalLines().mid(2);
  QCOMPARE(shown.size(), rows);
  static const QRegularExpression rowPattern(
      QStringLiteral("^R(\\d{4}) t=\\d{6} U=([ \\d]{3}\\.\\d{4})\\x{240D}$"));
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
  QVERIFY(rig.form->SerialLine1->QueuedClusterSize() == -1);
  QCOMPARE(rig.records(), rows);
}

QTEST_MAIN(TestReadout)
#include "tst_readout.moc"
