// The real program in a real X window, driven from outside as an operator drives it: keys and
// mouse clicks through xdotool, results read from the table file, the settings file, the
// commands that reached the simulated logger and the pixels of the screen.

#include "data/core/measurementtable.h"
#include "tests/support/virtualdisplay.h"
#include "tests/window/ptyrelay.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>

namespace {

VirtualDisplay* theDisplay = nullptr;

// The design is 800 pixels wide; the display's width scales it.
constexpr double kScale = VirtualDisplay::kWidth / 800.0;

QPoint scaled(int x, int y) {
  return {static_cast<int>(x * kScale), static_cast<int>(y * kScale)};
}

QByteArray xdotool(const QStringList& arguments) {
  return theDisplay->xdotool(arguments);
}

void keys(const QStringList& sequence) {
  xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("80")} +
          sequence);
}

void typeText(const QString& text) {
  xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("80"), text});
}

void clickAt(const QPoint& at) {
  xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(at.x()),
           QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1")});
}

QList<std::pair<QString, QString>> windowsOf(qint64 pid) {
  return theDisplay->windowsOf(pid);
}

QImage screenshot() {
  return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
      QImage::Format_RGB32);
}

// Keeps the screen for a look after a failure; returns where it lies.
QString savedScreen(const QString& name) {
  const QString file = QDir::temp().filePath(QStringLiteral("kelvor_window_%1.png").arg(name));
  screenshot().save(file);
  return QStringLiteral("screen saved in ") + file;
}

int countColour(const QImage& image, QRgb colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      count += (line[x] & 0xFFFFFF) == (colour & 0xFFFFFF) ? 1 : 0;
  }
  return count;
}

// The first pixel of `colour` in reading order, from `from` on.
std::optional<QPoint> firstPixel(const QImage& image, QRgb colour, const QPoint& from) {
  for (int y = std::max(0, from.y()); y < image.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = std::max(0, from.x()); x < image.width(); ++x) {
      if ((line[x] & 0xFFFFFF) == (colour & 0xFFFFFF))
        return QPoint(x, y);
    }
  }
  return std::nullopt;
}

bool waitFor(const std::function<bool()>& condition, int milliseconds) {
  QElapsedTimer clock;
  clock.start();
  while (!condition()) {
    if (clock.elapsed() > milliseconds)
      return false;
    QTest::qWait(100);
  }
  return true;
}

// The table file as another program sees it, through SQLite.
struct TableFile {
  int rows = -1;
  QStringList voltages;
};

TableFile readTable(const QString& file) {
  TableFile result;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return result;
  }
  sqlite3_busy_timeout(db, 2000);
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT VOLTAGE FROM Kelvor ORDER BY rowid", -1, &statement,
                         nullptr) == SQLITE_OK) {
    result.rows = 0;
    while (sqlite3_step(statement) == SQLITE_ROW) {
      ++result.rows;
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
      result.voltages << QString::fromUtf8(text != nullptr ? text : "");
    }
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return result;
}

QByteArray settingsText(const QString& page, const QString& device) {
  return "[Graph]\nScaleX=60\nScaleY=15\nTitulek=ZKOUSKA\nBarva=clBlue\n"
         "[Sheet]\nStranka=" +
         page.toUtf8() +
         "\n[Serial]\nSerialPort=COM2\nBaudRate=19200\n"
         "[Ukladani]\nDoba=6\nMinuty=\"   0.0\"\n"
         "[Convertor]\nKonstStr=\"  1.000000000\"\n"
         "[Transfer]\nPocetRadku=100\n"
         "[Devices]\nCOM2=" +
         device.toUtf8() + "\n";
}

// The simulated logger, the relay that writes down what reaches it, and the program in a
// folder of its own (its settings file and table lie beside the executable).
class Rig {
public:
  explicit Rig(const QStringList& loggerOptions = {}) {
    m_logger.setProgram(QStringLiteral(KELVOR_LOGGER_SIM));
    m_logger.setArguments(loggerOptions);
    m_logger.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_logger.start();
    if (m_logger.waitForStarted(10000)) {
      while (!m_logger.canReadLine() && m_logger.waitForReadyRead(10000)) {
      }
      const QString terminal = QString::fromUtf8(m_logger.readLine()).trimmed();
      if (!terminal.isEmpty())
        relay = std::make_unique<PtyRelay>(terminal);
    }
    m_executable = QDir(m_folder.path()).filePath(QStringLiteral("kelvor"));
    QFile::copy(QStringLiteral(KELVOR_EXECUTABLE), m_executable);
  }

  ~Rig() {
    if (m_program.state() != QProcess::NotRunning) {
      m_program.kill();
      m_program.waitForFinished(5000);
    }
    relay.reset();
    m_logger.terminate();
    if (!m_logger.waitForFinished(5000))
      m_logger.kill();
    m_logger.waitForFinished(2000);
  }

  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  bool isReady() const { return relay != nullptr && relay->isReady(); }
  QString settingsFile() const {
    return QDir(m_folder.path()).filePath(QStringLiteral("Kelvor.ini"));
  }
  QString tableFile() const {
    return QDir(m_folder.path()).filePath(QStringLiteral("Kelvor/Kelvor.db"));
  }

  void writeSettings(const QString& page) {
    QFile file(settingsFile());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
      file.write(settingsText(page, relay->programTerminal()));
  }

  void writeTable(const QStringList& voltages) {
    kelvor::MeasurementTable table;
    table.open(tableFile().toStdString());
    for (int i = 0; i < voltages.size(); ++i) {
      table.append();
      table.setTime(8 * 3600 + 6 * i);
      table.setMinutes(QStringLiteral("%1").arg(i / 10.0, 6, 'f', 1).toStdString());
      table.setVoltage(voltages[i].toStdString());
    }
    table.close();
  }

  void start() {
    m_program.setProgram(m_executable);
    QProcessEnvironment env = theDisplay->environment();
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    m_program.setProcessEnvironment(env);
    m_program.setProcessChannelMode(QProcess::ForwardedChannels);
    m_program.start();
    m_program.waitForStarted(10000);
  }

  qint64 pid() const { return m_program.processId(); }
  bool isRunning() const { return m_program.state() == QProcess::Running; }

  // The main window, once it is shown and has the keyboard; waited for as long as the
  // program works at its start, which is slower on a new or loaded machine.
  bool waitForMainWindow() {
    const bool shown = VirtualDisplay::waitWhileWorking(pid(), [this] {
      for (const auto& [id, name] : windowsOf(pid())) {
        if (name.startsWith(QStringLiteral("VÝSTUPNÍ"))) {
          m_mainWindow = id;
          return true;
        }
      }
      return false;
    });
    if (!shown)
      return false;
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), m_mainWindow});
    // The program has drawn its pages once the grey of a page is on the screen.
    return VirtualDisplay::waitWhileWorking(
        pid(), [] { return countColour(screenshot(), qRgb(128, 128, 128)) > 10000; });
  }

  void activate() {
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), m_mainWindow});
  }

  // The top left corner of the main window's client area on the screen.
  QPoint clientOrigin() {
    const QByteArray shell =
        xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), m_mainWindow});
    QPoint origin;
    for (const QByteArray& line : shell.split('\n')) {
      if (line.startsWith("X="))
        origin.setX(line.mid(2).toInt());
      if (line.startsWith("Y="))
        origin.setY(line.mid(2).toInt());
    }
    return origin;
  }

  bool waitForWindowNamed(const QString& name, int milliseconds = 20000) {
    return waitFor(
        [&] {
          for (const auto& window : windowsOf(pid()))
            if (window.second == name)
              return true;
          return false;
        },
        milliseconds);
  }

  // A window of the program other than the main window is shown (a dialog).
  bool hasDialog() {
    for (const auto& window : windowsOf(pid()))
      if (window.first != m_mainWindow)
        return true;
    return false;
  }

  // Chooses a menu item by its mnemonics until `done` shows that it took effect: on a loaded
  // machine a key can reach the window before the menu is open, and then it does nothing.
  bool menuCommand(const QString& menu, const QString& item, const std::function<bool()>& done,
                   int milliseconds = 10000) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      activate();
      keys({menu});
      keys({item});
      if (waitFor(done, milliseconds))
        return true;
      closeMenus();
    }
    return false;
  }

  bool hasQuestion() { return waitForWindowNamed(QStringLiteral("Program  Kelvor"), 0); }

  // Closes the program through its menu, answering yes; true when it ended by itself.
  bool quitByMenu() {
    closeMenus();
    if (!menuCommand(QStringLiteral("alt+s"), QStringLiteral("k"),
                     [this] { return hasQuestion(); }))
      return false;
    keys({QStringLiteral("Return")});
    return m_program.waitForFinished(20000) && m_program.exitStatus() == QProcess::NormalExit;
  }

  // Escape closes whatever menus are open, wherever the keyboard is; then the main window
  // takes the keyboard again.
  void closeMenus() {
    const QStringList escapes(5, QStringLiteral("Escape"));
    keys(escapes);
    activate();
    keys(escapes);
  }

  QByteArray settings() const {
    QFile file(settingsFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  std::unique_ptr<PtyRelay> relay;

private:
  QTemporaryDir m_folder;
  QString m_executable;
  QProcess m_logger;
  QProcess m_program;
  QString m_mainWindow;
};

constexpr QRgb kOffGreen = qRgb(0, 128, 0);
constexpr QRgb kErrorRed = qRgb(255, 0, 0);
constexpr QRgb kBlue = qRgb(0, 0, 255);
// The digital voltage label is 271 x 81 design pixels; most of it shows its colour.
const int kLabelPixels = static_cast<int>(271 * 81 * kScale * kScale / 2);

} // namespace

class TestWindow : public QObject {
  Q_OBJECT

private slots:
  void init() {
    if (!theDisplay->isInstalled())
      QSKIP(qPrintable(theDisplay->problem()));
    QVERIFY2(theDisplay->isRunning(), qPrintable(theDisplay->problem()));
  }

  void measuringOnAndOffByTheMenu() {
    Rig rig({QStringLiteral("--hold-volts"), QStringLiteral("12.345")});
    QVERIFY(rig.isReady());
    rig.writeSettings(QStringLiteral("METERS"));
    rig.start();
    QVERIFY(rig.waitForMainWindow());
    QVERIFY(countColour(screenshot(), kOffGreen) > kLabelPixels);

    QVERIFY(rig.menuCommand(QStringLiteral("alt+m"), QStringLiteral("z"),
                            [&] { return rig.relay->count("#VAL-DIR") >= 1; }));
    QVERIFY(waitFor([&] { return rig.relay->count("#VAL-DIR") >= 2; }, 30000));
    QVERIFY(waitFor([&] { return readTable(rig.tableFile()).rows >= 1; }, 30000));
    QCOMPARE(readTable(rig.tableFile()).voltages.front(), QStringLiteral("12.345"));
    QVERIFY(waitFor([] { return countColour(screenshot(), kBlue) > kLabelPixels; }, 20000));

    // Switched off right after a reply, so that no reply is on its way (a reply that arrives
    // after the switch is still shown).
    const qsizetype replies = rig.relay->replyCount();
    QVERIFY(waitFor([&] { return rig.relay->replyCount() > replies; }, 30000));
    QVERIFY2(rig.menuCommand(QStringLiteral("alt+m"), QStringLiteral("v"),
                             [] { return countColour(screenshot(), kOffGreen) > kLabelPixels; }),
             qPrintable(savedScreen(QStringLiteral("measuring-off"))));
    QVERIFY(rig.quitByMenu());
    QVERIFY(rig.settings().contains("HlavickaTab="));
  }

  void theHelpKeyOnEveryMenuItemKeepsTheProgramAlive() {
    Rig rig;
    QVERIFY(rig.isReady());
    rig.writeSettings(QStringLiteral("GRAF"));
    rig.start();
    QVERIFY(rig.waitForMainWindow());
    // Each item as the keys that highlight it: the menu's mnemonic, Right into a submenu,
    // Down to the next item.
    const QStringList menus[] = {
        {QStringLiteral("alt+s")},
        {QStringLiteral("alt+m")},
        {QStringLiteral("alt+t")},
        {QStringLiteral("alt+g")},
        {QStringLiteral("alt+g"), QStringLiteral("Right")},
        {QStringLiteral("alt+g"), QStringLiteral("Right"), QStringLiteral("Right")},
        {QStringLiteral("alt+g"), QStringLiteral("Right"), QStringLiteral("Right"),
         QStringLiteral("Right")},
        {QStringLiteral("alt+g"), QStringLiteral("Right"), QStringLiteral("Right"),
         QStringLiteral("Down"), QStringLiteral("Right")},
        {QStringLiteral("alt+i")},
    };
    const int itemCounts[] = {4, 2, 4, 6, 3, 2, 4, 2, 1};
    bool helpShown = false;
    for (std::size_t menu = 0; menu < std::size(menus); ++menu) {
      for (int item = 0; item < itemCounts[menu]; ++item) {
        QStringList sequence = menus[menu];
        for (int down = 0; down < item; ++down)
          sequence << QStringLiteral("Down");
        rig.activate();
        keys(sequence + QStringList{QStringLiteral("F1")});
        if (!helpShown) {
          QVERIFY(rig.waitForWindowNamed(QStringLiteral("Nápověda  -  Kelvor")));
          helpShown = true;
        }
        rig.closeMenus();
        QVERIFY2(rig.isRunning(), qPrintable(sequence.join(QLatin1Char(' '))));
      }
    }
    // A program that hung in any of them would not close and write its settings.
    QVERIFY(rig.quitByMenu());
    QVERIFY(rig.settings().contains("HlavickaTab="));
  }

  // A menu opened by its letter shows the hint of the item it highlights, as Up and Down do.
  void aMenuOpenedByItsLetterShowsItsFirstItemsHint() {
    Rig rig;
    QVERIFY(rig.isReady());
    rig.writeSettings(QStringLiteral("METERS"));
    rig.start();
    QVERIFY(rig.waitForMainWindow());
    const auto statusLine = [] {
      const QImage screen = screenshot();
      const int height = static_cast<int>(40 * kScale);
      return screen.copy(0, screen.height() - height, screen.width(), height);
    };
    // The pointer rests on the status line, which has no hint of its own.
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"),
             QString::number(VirtualDisplay::kWidth / 2),
             QString::number(VirtualDisplay::kHeight - 5)});
    const QImage before = statusLine();
    rig.activate();
    keys({QStringLiteral("alt+m")});
    QVERIFY2(waitFor(
                 [&] {
                   const QImage now = statusLine();
                   return now != before && countColour(now, qRgb(0, 255, 0)) > 20;
                 },
                 20000),
             qPrintable(savedScreen(QStringLiteral("menu-hint"))));
    rig.closeMenus();
    QVERIFY(rig.quitByMenu());
  }

  void clearingAsksTheRealQuestion() {
    Rig rig;
    QVERIFY(rig.isReady());
    rig.writeSettings(QStringLiteral("TABULKA"));
    rig.writeTable({QStringLiteral("12.000"), QStringLiteral("11.900"), QStringLiteral("11.800")});
    rig.start();
    QVERIFY(rig.waitForMainWindow());
    QVERIFY(rig.menuCommand(QStringLiteral("alt+t"), QStringLiteral("v"),
                            [&] { return rig.hasQuestion(); }));
    keys({QStringLiteral("Escape")});
    QVERIFY(waitFor([&] { return !rig.waitForWindowNamed(QStringLiteral("Program  Kelvor"), 0); },
                    10000));
    QCOMPARE(readTable(rig.tableFile()).rows, 3);

    QVERIFY(rig.menuCommand(QStringLiteral("alt+t"), QStringLiteral("v"),
                            [&] { return rig.hasQuestion(); }));
    keys({QStringLiteral("Return")});
    QVERIFY(waitFor([&] { return readTable(rig.tableFile()).rows == 0; }, 20000));
    QVERIFY(rig.quitByMenu());
    QVERIFY(rig.settings().contains("Minuty=0.0") || rig.settings().contains("Minuty=\"0.0\""));
  }

  void exportAndImportThroughTheFileDialogs() {
    Rig rig;
    QVERIFY(rig.isReady());
    rig.writeSettings(QStringLiteral("TABULKA"));
    rig.writeTable({QStringLiteral("12.000"), QStringLiteral("11.900"), QStringLiteral("11.800")});
    rig.start();
    QVERIFY(rig.waitForMainWindow());
    QTemporaryDir files;
    const QString exported = files.filePath(QStringLiteral("mereni.dat"));

    QVERIFY(rig.menuCommand(QStringLiteral("alt+s"), QStringLiteral("e"),
                            [&] { return rig.hasDialog(); }));
    typeText(exported);
    keys({QStringLiteral("Return")});
    QVERIFY(rig.waitForWindowNamed(QStringLiteral("Program  Kelvor")));
    keys({QStringLiteral("Return")});
    QFile file(exported);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[1], QByteArray("    08:00:06         0.1      11.900\r"));

    QVERIFY(rig.menuCommand(QStringLiteral("alt+s"), QStringLiteral("i"),
                            [&] { return rig.hasDialog(); }));
    typeText(exported);
    keys({QStringLiteral("Return")});
    QVERIFY(waitFor([&] { return readTable(rig.tableFile()).rows == 6; }, 20000));
    QCOMPARE(readTable(rig.tableFile()).voltages[4], QStringLiteral("      11.900"));
    QVERIFY(rig.quitByMenu());
  }

  void aSilentLoggerTurnsTheLabelRedAfterTwentyOneSeconds() {
    Rig rig({QStringLiteral("--silent")});
    QVERIFY(rig.isReady());
    rig.writeSettings(QStringLiteral("METERS"));
    rig.start();
    QVERIFY(rig.waitForMainWindow());
    // The first command leaves 6 s after measuring is switched on.
    QVERIFY(rig.menuCommand(QStringLiteral("alt+m"), QStringLiteral("z"),
                            [&] { return rig.relay->count("#VAL-DIR") >= 1; }));
    QElapsedTimer sinceFirstCommand;
    sinceFirstCommand.start();
    QVERIFY2(waitFor([] { return countColour(screenshot(), kErrorRed) > kLabelPixels; }, 60000),
             qPrintable(savedScreen(QStringLiteral("watchdog"))));
    QVERIFY2(sinceFirstCommand.elapsed() >= 14000,
             qPrintable(QString::number(sinceFirstCommand.elapsed())));
    QVERIFY(rig.quitByMenu());
  }

  void buttonsByMouse() {
    Rig rig({QStringLiteral("--rows"), QStringLiteral("5"), QStringLiteral("--row-gap"),
             QStringLiteral("20")});
    QVERIFY(rig.isReady());
    rig.writeSettings(QStringLiteral("PARAMETRY"));
    rig.start();
    QVERIFY(rig.waitForMainWindow());
    // The BAUD group is the first blue on the page; it stands at 16, 8 of the design.
    const std::optional<QPoint> group = firstPixel(screenshot(), kBlue, rig.clientOrigin());
    QVERIFY(group.has_value());
    const QPoint page = *group - scaled(16, 8);
    QElapsedTimer clock;
    clock.start();
    clickAt(page + scaled(520 + 128, 368 + 20));
    const QList<QByteArray> eeprom{"@W03EA06", "@W300000", "@W300100", "@W300280",
                                   "@W30033F", "@W03F064", "@W03F100"};
    QVERIFY(waitFor([&] { return rig.relay->count(eeprom.last()) == 1; }, 30000));
    // One a second: the seven take at least six seconds.
    QVERIFY2(clock.elapsed() >= 5500, qPrintable(QString::number(clock.elapsed())));
    QList<QByteArray> written;
    for (const QByteArray& command : rig.relay->commands())
      if (command.startsWith("@W"))
        written << command;
    QCOMPARE(written, eeprom);
    QVERIFY(rig.quitByMenu());

    rig.writeSettings(QStringLiteral("SERVIS"));
    rig.start();
    QVERIFY(rig.waitForMainWindow());
    // The command line is the first blue of the SERVIS page, at 120, 12.
    const std::optional<QPoint> line = firstPixel(screenshot(), kBlue, rig.clientOrigin());
    QVERIFY(line.has_value());
    const QPoint servis = *line - scaled(120, 12);
    clickAt(servis + scaled(120 + 136, 12 + 16));
    keys({QStringLiteral("ctrl+a")});
    typeText(QStringLiteral("#VER-PRG"));
    clickAt(servis + scaled(120 + 3 * 134 + 62, 256 + 3 * 48 + 20));
    QVERIFY(waitFor([&] { return rig.relay->count("#VER-PRG") == 1; }, 20000));

    clickAt(servis + scaled(120 + 3 * 134 + 62, 256 + 20));
    QVERIFY(waitFor([&] { return rig.relay->count("#VAL-MUL") == 1; }, 20000));
    // The last row may wait in the append buffer until the table next moves.
    QVERIFY(waitFor([&] { return readTable(rig.tableFile()).rows >= 4; }, 60000));
    QVERIFY(rig.quitByMenu());
  }

  void aVoltageThatIsNoNumberIsReportedBeforeTheWindow() {
    Rig rig;
    QVERIFY(rig.isReady());
    rig.writeSettings(QStringLiteral("METERS"));
    rig.writeTable({QStringLiteral("12.000"), QStringLiteral("nonsense")});
    rig.start();
    QVERIFY(rig.waitForWindowNamed(QStringLiteral("Program  Kelvor")));
    for (const auto& window : windowsOf(rig.pid()))
      QVERIFY2(!window.second.startsWith(QStringLiteral("VÝSTUPNÍ")), "window before message");
    keys({QStringLiteral("Return")});
    QVERIFY(rig.waitForMainWindow());
    QVERIFY(rig.quitByMenu());
  }
};

int main(int argc, char** argv) {
  VirtualDisplay display;
  theDisplay = &display;
  if (display.isRunning()) {
    qputenv("DISPLAY", display.name().toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
  } else {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  TestWindow test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_window.moc"
