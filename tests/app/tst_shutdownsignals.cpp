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
  // waits until it says that its main window is up and its event loop runs. Returns what it
  // wrote on its error stream until then.
  static QByteArray startAndWaitForTheWindow(QProcess& kelvor, const QTemporaryDir& dir) {
    const QString program = dir.filePath(QStringLiteral("kelvor"));
    if (!QFile::copy(QStringLiteral(KELVOR_EXECUTABLE), program))
      return {};
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("KELVOR_REPORT_READY"), QStringLiteral("1"));
    kelvor.setProcessEnvironment(environment);
    kelvor.start(program, {});
    QByteArray errors;
    // Start-up under the sanitizers on a loaded machine takes its time.
    const bool ready = QTest::qWaitFor(
        [&] {
          errors += kelvor.readAllStandardError();
          return errors.contains("kelvor: ready\n") || kelvor.state() == QProcess::NotRunning;
        },
        60000);
    if (!ready)
      qWarning("the program did not say it was ready: %s", errors.constData());
    return errors;
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
    const QByteArray early = startAndWaitForTheWindow(kelvor, dir);
    QVERIFY2(early.contains("kelvor: ready\n"), early.constData());
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
    const QByteArray early = startAndWaitForTheWindow(kelvor, dir);
    QVERIFY2(early.contains("kelvor: ready\n"), early.constData());
    QCOMPARE(::kill(static_cast<pid_t>(kelvor.processId()), SIGTERM), 0);
    QVERIFY(kelvor.waitForFinished(20000));
    QCOMPARE(kelvor.exitStatus(), QProcess::NormalExit);
    const QString errors = QString::fromLocal8Bit(early + kelvor.readAllStandardError());
    QVERIFY2(errors.contains(QStringLiteral("Unable to write to ")), qPrintable(errors));
  }
};

QTEST_GUILESS_MAIN(TestShutdownSignals)
#include "tst_shutdownsignals.moc"
