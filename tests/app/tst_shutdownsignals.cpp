#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// The real program, stopped by a signal: it must end through its orderly shutdown and
// write its settings, without asking anything.
class TestShutdownSignals : public QObject {
  Q_OBJECT

  // Runs a copy of the program in `dir` (its settings file lies beside the executable) and
  // waits until its main window is up.
  static void startAndWaitForTheWindow(QProcess& kelvor, const QTemporaryDir& dir) {
    const QString program = dir.filePath(QStringLiteral("kelvor"));
    QVERIFY(QFile::copy(QStringLiteral(KELVOR_EXECUTABLE), program));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    kelvor.setProcessEnvironment(environment);
    kelvor.start(program, {});
    QVERIFY(kelvor.waitForStarted());
    // The table is opened as the main window is built; the window is up soon after.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(QStringLiteral("Kelvor/Kelvor.db"))),
                             20000);
    QTest::qWait(1500);
  }

private slots:
  void signalsRunTheShutdown_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
    QTest::newRow("SIGINT") << int(SIGINT);
  }

  void signalsRunTheShutdown() {
    QFETCH(int, signal);
    QTemporaryDir dir;
    QFile ini(dir.filePath(QStringLiteral("Kelvor.ini")));
    QVERIFY(ini.open(QIODevice::WriteOnly));
    ini.write("[Sheet]\nStranka=GRAF\n[Devices]\nCOM2=/nonexistent/ttyKELVOR\n");
    ini.close();

    QProcess kelvor;
    startAndWaitForTheWindow(kelvor, dir);
    if (QTest::currentTestFailed())
      return;
    QCOMPARE(::kill(static_cast<pid_t>(kelvor.processId()), signal), 0);
    QVERIFY(kelvor.waitForFinished(20000));
    QCOMPARE(kelvor.exitStatus(), QProcess::NormalExit);
    QCOMPARE(kelvor.exitCode(), 0);

    QVERIFY(ini.open(QIODevice::ReadOnly));
    const QString written = QString::fromUtf8(ini.readAll());
    for (const char* key : {"HlavickaTab=", "ScaleX=", "Barva=", "Stranka=GRAF", "SerialPort=",
                            "BaudRate=", "Doba=", "Minuty=", "KonstStr=", "PocetRadku="})
      QVERIFY2(written.contains(QLatin1String(key)), key);
    QVERIFY(written.contains(QStringLiteral("COM2=/nonexistent/ttyKELVOR")));
  }

  // With no one at the screen, a settings write that fails must not leave the program
  // waiting on a message box: it reports on its error stream and ends.
  void aFailedWriteAfterASignalDoesNotWaitForAClick() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Kelvor.ini")));

    QProcess kelvor;
    startAndWaitForTheWindow(kelvor, dir);
    if (QTest::currentTestFailed())
      return;
    QCOMPARE(::kill(static_cast<pid_t>(kelvor.processId()), SIGTERM), 0);
    QVERIFY(kelvor.waitForFinished(20000));
    QCOMPARE(kelvor.exitStatus(), QProcess::NormalExit);
    const QString errors = QString::fromLocal8Bit(kelvor.readAllStandardError());
    QVERIFY2(errors.contains(QStringLiteral("Unable to write to ")), qPrintable(errors));
  }
};

QTEST_GUILESS_MAIN(TestShutdownSignals)
#include "tst_shutdownsignals.moc"
