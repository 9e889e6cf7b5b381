#include "app/form1.h"
#include "app/pages/grafpage.h"
#include "app/pages/tabulkapage.h"
#include "app/program.h"
#include "data/form3.h"
#include "data/form7.h"
#include "tests/support/filebytes.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/virtualdisplay.h"
#include "widgets/maskedit.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <random>

namespace {

// The keys the program writes back at shutdown, as they start their lines.
const char* const kWrittenKeys[] = {
    "HlavickaTab=", "ScaleX=",   "ScaleY=", "Titulek=", "Barva=",    "Stranka=",
    "SerialPort=",  "BaudRate=", "Doba=",   "Minuty=",  "KonstStr=", "PocetRadku="};

QByteArray randomBytes(int count) {
  std::mt19937 generator(7);
  std::uniform_int_distribution<int> byte(0, 255);
  QByteArray bytes(count, '\0');
  for (char& c : bytes)
    c = static_cast<char>(byte(generator));
  return bytes;
}

// The names of the visible windows of a process.
QStringList windowNamesOf(const VirtualDisplay& display, qint64 pid) {
  QStringList names;
  for (const auto& window : display.windowsOf(pid))
    names << window.second;
  return names;
}

} // namespace

class TestProgram : public QObject {
  Q_OBJECT

  std::unique_ptr<VirtualDisplay> m_display;

private slots:
  // Installed among the system's programs, it keeps its files in the user's folder even for
  // root, who could write beside the executable.
  void anInstalledProgramKeepsItsFilesInTheUsersFolder() {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    const auto locations = kelvor::FileLocations::forExecutableDir(QStringLiteral("/usr/bin"));
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(locations.settingsFile(), config.filePath(QStringLiteral("Kelvor/Kelvor.ini")));
    QVERIFY(QDir(config.filePath(QStringLiteral("Kelvor"))).exists());
  }
  // The windows exist and are wired once the program is built, and the main window's
  // start-up has run on the settings file of the program's folder.
  void buildsTheWindowsInStartUpOrder() {
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("Kelvor.ini")),
                      "[Sheet]\nStranka=GRAF\n[Select]\nZacatek=12.5\nKonec=40.0\n"));
    ScriptedDialogs* dialogs = nullptr;
    kelvor::Program program(kelvor::FileLocations::forExecutableDir(dir.path()),
                            keptDialogs(dialogs));
    kelvor::TForm1& form = program.form();
    QCOMPARE(program.locations().settingsFile(), dir.filePath(QStringLiteral("Kelvor.ini")));
    QCOMPARE(form.TABULKA->Form3, &program.form3());
    QCOMPARE(form.TABULKA->Form7, &program.form7());
    QCOMPARE(program.form7().parentWidget(), &form);
    QCOMPARE(program.form7().property(kelvor::TForm1::kHelpContextProperty).toInt(),
             kelvor::TForm7::kHelpContext);
    // Start-up ran before the window is shown: the stored page, not the designed one.
    QVERIFY(!form.isVisible());
    QCOMPARE(form.PageControl1->currentWidget(), form.GRAF);
    QVERIFY(!program.shutdownRequestedDuringStartUp());

    // The interval window reads and writes section Select of this program's settings file.
    program.form7().FormActivate();
    QCOMPARE(QString::fromStdString(program.form7().Zacatek), QStringLiteral("12.5"));
    QCOMPARE(QString::fromStdString(program.form7().Konec), QStringLiteral("40.0"));
    program.form7().KonecEdit->setValueText(QStringLiteral("41.5"));
    program.form7().FormDeactivate();
    const QByteArray written = readFile(dir.filePath(QStringLiteral("Kelvor.ini")));
    QVERIFY2(written.contains("Zacatek=\" 12.5\"\n") && written.contains("Konec=\" 41.5\"\n"),
             written.constData());

    // Its SELECT reaches the main window, which asks first.
    dialogs->yesNoAnswers = {false};
    emit program.form7().selectRequested();
    QCOMPARE(dialogs->questions.size(), std::size_t{1});
    QVERIFY(dialogs->questions[0].text.startsWith(QStringLiteral("Opravdu  chcete vymazat")));
    QVERIFY(dialogs->messages.empty());
  }

  // A program built for a test leaves the process's signals as the test has them, and its
  // shutdown writes the settings once.
  void aHarnessRunCatchesNoSignalAndShutsDownOnce() {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("Kelvor.ini"));
    constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
    struct sigaction before[std::size(kSignals)]{};
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
      QCOMPARE(::sigaction(kSignals[i], nullptr, &before[i]), 0);
    {
      kelvor::Program program(kelvor::FileLocations::forExecutableDir(dir.path()),
                              std::make_unique<ScriptedDialogs>());
      for (std::size_t i = 0; i < std::size(kSignals); ++i) {
        struct sigaction now {};
        QCOMPARE(::sigaction(kSignals[i], nullptr, &now), 0);
        QVERIFY(now.sa_handler == before[i].sa_handler);
      }
      QVERIFY(QFile::remove(ini));
      program.shutdown();
      const QByteArray written = readFile(ini);
      for (const char* key : kWrittenKeys)
        QVERIFY2(written.contains(key), key);
      QVERIFY(QFile::remove(ini));
      program.shutdown();
    }
    QVERIFY(!QFile::exists(ini));
  }

  // Asked with no display at all, as a package tool or a shell asks: the version and the
  // usage go to the output, anything else is refused with the usage on the error stream, and
  // no run starts (it would find no display and fail).
  void theCommandLineIsAnsweredWithoutAWindow() {
    QTemporaryDir dir;
    const QString executable = dir.filePath(QStringLiteral("kelvor"));
    QVERIFY(QFile::copy(QStringLiteral(KELVOR_EXECUTABLE), executable));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    const auto ask = [&](const QStringList& arguments) {
      auto kelvor = std::make_unique<QProcess>();
      kelvor->setProcessEnvironment(environment);
      kelvor->start(executable, arguments);
      kelvor->waitForFinished(20000);
      return kelvor;
    };
    const auto version = ask({QStringLiteral("--version")});
    QCOMPARE(version->exitCode(), 0);
    QCOMPARE(version->readAllStandardOutput(), QByteArray("kelvor " KELVOR_VERSION "\n"));
    const auto help = ask({QStringLiteral("--help")});
    QCOMPARE(help->exitCode(), 0);
    QVERIFY(help->readAllStandardOutput().contains("--version"));
    for (const QStringList& wrong :
         {QStringList{QStringLiteral("-platform"), QStringLiteral("xcb")},
          QStringList{QStringLiteral("--version"), QStringLiteral("--help")}}) {
      const auto refused = ask(wrong);
      QCOMPARE(refused->exitStatus(), QProcess::NormalExit);
      QCOMPARE(refused->exitCode(), 2);
      QVERIFY(refused->readAllStandardOutput().isEmpty());
      const QByteArray errors = refused->readAllStandardError();
      QVERIFY2(errors.contains(wrong.first().toUtf8()) && errors.contains("--help | --version"),
               errors.constData());
    }
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("Kelvor.ini"))));
  }

  void aSignalWhileStartUpReportsADamagedTableEndsInOrder_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
  }

  // The real program on a real display: start-up finds a damaged table and its message box
  // waits for a click that nobody gives (a logout). The signal ends the run through the
  // orderly shutdown: the settings are written, the table file is left as it was, and the
  // run ends with exit code 0.
  void aSignalWhileStartUpReportsADamagedTableEndsInOrder() {
    QFETCH(int, signal);
    if (!m_display)
      m_display = std::make_unique<VirtualDisplay>();
    if (!m_display->isInstalled())
      QSKIP(qPrintable(m_display->problem()));
    QVERIFY2(m_display->isRunning(), qPrintable(m_display->problem()));

    QTemporaryDir dir;
    const QString executable = dir.filePath(QStringLiteral("kelvor"));
    QVERIFY(QFile::copy(QStringLiteral(KELVOR_EXECUTABLE), executable));
    const QString ini = dir.filePath(QStringLiteral("Kelvor.ini"));
    QVERIFY(writeFile(ini, "[Sheet]\nStranka=GRAF\n[Devices]\nCOM2=/nonexistent/ttyKELVOR\n"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Kelvor")));
    const QString table = dir.filePath(QStringLiteral("Kelvor/Kelvor.db"));
    const QByteArray damaged = randomBytes(64 * 1024);
    QVERIFY(writeFile(table, damaged));

    QProcess kelvor;
    QProcessEnvironment environment = m_display->environment();
    environment.insert(QStringLiteral("KELVOR_REPORT_READY"), QStringLiteral("1"));
    kelvor.setProcessEnvironment(environment);
    kelvor.start(executable, {});
    QVERIFY(kelvor.waitForStarted(20000));
    QStringList windows;
    // Start-up under the sanitizers on a loaded machine takes its time.
    const bool boxShown = QTest::qWaitFor(
        [&] {
          windows = windowNamesOf(*m_display, kelvor.processId());
          return windows.contains(QStringLiteral("Program  Kelvor")) ||
                 kelvor.state() == QProcess::NotRunning;
        },
        30000);
    QVERIFY2(boxShown && kelvor.state() == QProcess::Running,
             qPrintable(windows.join(QLatin1Char('|')) + QLatin1Char('\n') +
                        QString::fromLocal8Bit(kelvor.readAllStandardError())));
    QCOMPARE(windows, QStringList{QStringLiteral("Program  Kelvor")});

    QCOMPARE(::kill(static_cast<pid_t>(kelvor.processId()), signal), 0);
    const bool finished = kelvor.waitForFinished(60000);
    const QByteArray errors = kelvor.readAllStandardError();
    if (!finished) {
      kelvor.kill();
      kelvor.waitForFinished(5000);
    }
    QVERIFY2(finished, errors.constData());
    QCOMPARE(kelvor.exitStatus(), QProcess::NormalExit);
    // A sanitizer that finds a fault makes the exit code its own and says why on stderr.
    QVERIFY2(kelvor.exitCode() == 0, errors.constData());
    // The run ended without its main window ever being shown.
    QVERIFY2(!errors.contains("kelvor: ready"), errors.constData());

    const QByteArray written = readFile(ini);
    for (const char* key : kWrittenKeys)
      QVERIFY2(written.contains(key), key);
    QVERIFY(written.contains("Stranka=GRAF\n"));
    QVERIFY(written.contains("COM2=/nonexistent/ttyKELVOR\n"));
    QVERIFY2(readFile(table) == damaged, "the damaged table file was changed");
  }

  void cleanupTestCase() { m_display.reset(); }
};

QTEST_MAIN(TestProgram)
#include "tst_program.moc"
