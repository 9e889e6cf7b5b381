#include "app/core/profilefile.h"
#include "app/core/settingskeys.h"
#include "app/form1.h"
#include "app/pages/grafpage.h"
#include "app/pages/meterspage.h"
#include "app/pages/parametrypage.h"
#include "app/pages/radiogroup.h"
#include "app/pages/servispage.h"
#include "app/pages/tabulkapage.h"
#include "app/program.h"
#include "core/textencoding.h"
#include "tests/support/filebytes.h"
#include "tests/support/pagecontrols.h"
#include "tests/support/scripteddialogs.h"
#include "widgets/tcolor.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <random>

using namespace kelvor;

namespace {

// Generous, because the sanitizer build starts the program several times slower.
constexpr int kStartTimeoutMs = 90000;
constexpr int kStopTimeoutMs = 60000;
constexpr std::size_t kMegabyte = std::size_t{1} << 20;

// The section and key of every value the program writes back at shutdown.
struct WrittenKey {
  const char* section;
  const char* key;
  bool integer;
};
constexpr WrittenKey kWrittenKeys[] = {
    {settings::kTabulka, settings::kHlavickaTab, false},
    {settings::kGraph, settings::kScaleX, true},
    {settings::kGraph, settings::kScaleY, true},
    {settings::kGraph, settings::kTitulek, false},
    {settings::kGraph, settings::kBarva, false},
    {settings::kSheet, settings::kStranka, false},
    {settings::kSerial, settings::kSerialPort, false},
    {settings::kSerial, settings::kBaudRate, true},
    {settings::kUkladani, settings::kDoba, true},
    {settings::kUkladani, settings::kMinuty, false},
    {settings::kConvertor, settings::kKonstStr, false},
    {settings::kTransfer, settings::kPocetRadku, true},
};

// Every port of the parameters page leads nowhere, so no test touches a real serial device.
QByteArray deviceSection() {
  QByteArray devices("[Devices]\n");
  for (int n = 1; n <= 8; ++n)
    devices +=
        "COM" + QByteArray::number(n) + "=/nonexistent/ttyKELVOR" + QByteArray::number(n) + "\n";
  return devices;
}

QByteArray repeated(const QByteArray& piece, std::size_t bytes) {
  QByteArray out;
  out.reserve(static_cast<qsizetype>(bytes));
  while (static_cast<std::size_t>(out.size()) < bytes)
    out += piece;
  return out;
}

QByteArray randomBytes(std::size_t count, unsigned seed) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  QByteArray out(static_cast<qsizetype>(count), '\0');
  for (char& c : out)
    c = static_cast<char>(byte(generator));
  return out;
}

struct ProgramRun {
  bool started = false;
  bool finished = false;
  QProcess::ExitStatus status = QProcess::CrashExit;
  int exitCode = -1;
  QByteArray output;
};

// Runs the real program until its start-up is over, then stops it as a logout would.
ProgramRun runProgram(const QString& program) {
  ProgramRun run;
  QProcess kelvor;
  kelvor.setProcessChannelMode(QProcess::MergedChannels);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  // The program says when its window is up and its event loop runs: start-up is over.
  environment.insert(QStringLiteral("KELVOR_REPORT_READY"), QStringLiteral("1"));
  kelvor.setProcessEnvironment(environment);
  kelvor.start(program, {});
  if (!kelvor.waitForStarted())
    return run;
  const qint64 pid = kelvor.processId();
  run.started = QTest::qWaitFor(
      [&] {
        run.output += kelvor.readAll();
        return kelvor.state() != QProcess::Running || run.output.contains("kelvor: ready\n");
      },
      kStartTimeoutMs);
  run.started = run.started && kelvor.state() == QProcess::Running;
  if (run.started) {
    ::kill(static_cast<pid_t>(pid), SIGTERM);
    run.finished = kelvor.waitForFinished(kStopTimeoutMs);
  } else {
    run.finished = kelvor.state() == QProcess::NotRunning;
  }
  if (kelvor.state() != QProcess::NotRunning) {
    kelvor.kill();
    kelvor.waitForFinished();
  }
  run.status = kelvor.exitStatus();
  run.exitCode = kelvor.exitCode();
  run.output += kelvor.readAll();
  return run;
}

// Checks one run and the settings file it left behind.
void verifyWrittenSettings(const QString& iniPath) {
  const ProfileFile ini(iniPath.toStdString());
  const std::string missing = "\x01missing";
  for (const WrittenKey& written : kWrittenKeys) {
    const std::string value = ini.readString(written.section, written.key, missing);
    const QByteArray where = QByteArray(written.section) + '/' + written.key;
    QVERIFY2(value != missing, where.constData());
    QVERIFY2(isValidUtf8(value), where.constData());
    if (written.integer)
      QVERIFY2(parseProfileInteger(value).has_value(), (where + '=' + value.c_str()).constData());
  }
  const long long doba = ini.readInteger(settings::kUkladani, settings::kDoba, 0);
  QVERIFY2(doba > 0 && doba <= 0xFFFF, QByteArray::number(doba).constData());
  const std::string barva = ini.readString(settings::kGraph, settings::kBarva, "");
  QVERIFY2(stringToColor(barva).has_value(), barva.c_str());
  const QString stranka =
      QString::fromStdString(ini.readString(settings::kSheet, settings::kStranka, ""));
  QVERIFY2(
      QStringList({"METERS", "GRAF", "TABULKA", "PARAMETRY", "SERVIS", "AUTOR"}).contains(stranka),
      qPrintable(stranka));
  QVERIFY(!QFile::exists(iniPath + QStringLiteral(".tmp")));
  // Nothing longer than a read gives is written back, whatever the file held.
  for (const QByteArray& line : readFile(iniPath).split('\n')) {
    for (const WrittenKey& written : kWrittenKeys) {
      if (line.startsWith(QByteArray(written.key) + '='))
        QVERIFY2(line.size() <=
                     qsizetype(qstrlen(written.key) + 1 + ProfileFile::kValueBufferSize + 1),
                 written.key);
    }
  }
}

QByteArray describe(const ProgramRun& run) {
  return "started " + QByteArray::number(run.started) + ", finished " +
         QByteArray::number(run.finished) + ", status " + QByteArray::number(run.status) +
         ", exit code " + QByteArray::number(run.exitCode) + ", output:\n" + run.output.right(2000);
}

} // namespace

// The real program started on damaged, absurd or enormous settings files: it must start,
// stop in order, and leave a settings file that it reads back to the same choices.
class TestHostileSettings : public QObject {
  Q_OBJECT

private slots:
  void programStartsAndWritesValidSettings_data();
  void programStartsAndWritesValidSettings();
  void aFolderInPlaceOfTheSettingsFile();
  void enormousTextsAreShownCut();
  void longValuesAreCutBetweenCharacters_data();
  void longValuesAreCutBetweenCharacters();
};

void TestHostileSettings::programStartsAndWritesValidSettings_data() {
  QTest::addColumn<QByteArray>("ini");
  // Lines that must stand in the file the first run writes.
  QTest::addColumn<QByteArrayList>("expectedLines");
  const QByteArray devices = deviceSection();

  QTest::newRow("no settings file")
      << QByteArray() << QByteArrayList{"Doba=60", "Barva=clBlue", "Stranka=METERS"};
  QTest::newRow("every key empty")
      << devices +
             "[Tabulka]\nHlavickaTab=\n[Ukladani]\nDoba=\nMinuty=\n[Graph]\nScaleX=\nScaleY=\n"
             "Titulek=\nBarva=\n[Sheet]\nStranka=\n[Serial]\nSerialPort=\nBaudRate=\n"
             "[Convertor]\nKonstStr=\n[Transfer]\nPocetRadku=\n[Select]\nZacatek=\nKonec=\n"
      << QByteArrayList{
             "Doba=6",       "Barva=clBlue", "Stranka=SERVIS", "ScaleX=0",    "BaudRate=0",
             "PocetRadku=0", "HlavickaTab=", "Titulek=",       "SerialPort=", "Minuty="};
  QTest::newRow("broken lines")
      << devices + "[Graph\nDoba\n=60\n[]\n[Ukladani]\n  Doba  =  '36'  \nDoba=18\n"
                   "[ukladani]\nDOBA=600\n[Graph]\n\"Barva\"=clRed\nBarva==clLime\n"
      << QByteArrayList{"Doba=36", "Barva=clBlue", "\"Barva\"=clRed", "=60"};
  QTest::newRow("absurd numbers")
      << devices + "[Ukladani]\nDoba=-6\nMinuty=-1e308\n[Graph]\nScaleX=-2147483648\n"
                   "ScaleY=0x7FFFFFFFFFFFFFFF\n[Serial]\nBaudRate=-9600\n[Transfer]\n"
                   "PocetRadku=-1\n[Convertor]\nKonstStr=-1e308\n"
      << QByteArrayList{"BaudRate=-9600", "ScaleX=-2147483648", "Minuty=-1e308"};
  QTest::newRow("numbers beyond every range")
      << devices + "[Ukladani]\nDoba=65536\nMinuty=1e999\n[Graph]\nScaleX=99999999999999999999\n"
                   "ScaleY=-0x8000000000000001\n[Serial]\nBaudRate=4294967296\n[Transfer]\n"
                   "PocetRadku=1099511627776\n"
      << QByteArrayList{"Doba=6", "Minuty=1e999"};
  QTest::newRow("words where numbers belong")
      << devices + "[Ukladani]\nDoba=sixty\nMinuty=nan\n[Graph]\nScaleX=60.5\nScaleY=15V\n"
                   "Barva=clNoSuchColour\n[Sheet]\nStranka=Graf\n[Serial]\nBaudRate=0x\n"
                   "SerialPort=COM9\n[Transfer]\nPocetRadku=100 rows\n"
      << QByteArrayList{"Doba=6", "Barva=clBlue", "Stranka=SERVIS", "SerialPort=COM9"};
  QTest::newRow("colour beyond 24 bits") << devices + "[Graph]\nBarva=$FFFFFFFFFF\n"
                                         << QByteArrayList{"Barva=clBlue"};
  QTest::newRow("colour without digits") << devices + "[Graph]\nBarva=$\n"
                                         << QByteArrayList{"Barva=clBlue"};
  QTest::newRow("port that is an ordinary file")
      << devices + "[Serial]\nSerialPort=@DIR@/victim.dat\nBaudRate=9600\n"
      << QByteArrayList{"SerialPort=@DIR@/victim.dat", "BaudRate=9600"};

  const QByteArray megabyteA = repeated("A", kMegabyte);
  QTest::newRow("values of a megabyte")
      << devices + "[Tabulka]\nHlavickaTab=" + megabyteA + "\n[Graph]\nTitulek=" + megabyteA +
             "\nBarva=" + megabyteA + "\nScaleX=" + repeated("6", kMegabyte) +
             "\n[Sheet]\nStranka=" + megabyteA + "\n[Serial]\nSerialPort=" + megabyteA +
             "\n[Ukladani]\nMinuty=" + repeated("1", kMegabyte) + "\nDoba=60\n[Convertor]\n" +
             "KonstStr=" + repeated("9", kMegabyte) + "\n[Unknown]\nKey=" + megabyteA + "\n;" +
             megabyteA + "\n"
      << QByteArrayList{"HlavickaTab=" + repeated("A", ProfileFile::kValueBufferSize - 1),
                        "Titulek=" + repeated("A", ProfileFile::kValueBufferSize - 1),
                        "SerialPort=" + repeated("A", 255),
                        "Barva=clBlue",
                        "Stranka=SERVIS",
                        "ScaleX=0",
                        "Key=" + megabyteA,
                        ";" + megabyteA};
  // The read buffer ends inside a two-byte character.
  const QByteArray czech = repeated("Č", kMegabyte);
  QTest::newRow("a megabyte of Czech letters")
      << devices + "[Graph]\nTitulek=" + czech + "\n[Tabulka]\nHlavickaTab=x" + czech + "\n"
      << QByteArrayList{"Titulek=" + repeated("Č", ProfileFile::kValueBufferSize - 2),
                        "HlavickaTab=x" + repeated("Č", ProfileFile::kValueBufferSize - 2)};
  QTest::newRow("Windows-1250 and stray bytes")
      << devices + "[Graph]\nTitulek=Nap\xec\x9d\xed \xe8l\xe1nku\n[Gr\xe1ph]\nBarva=clRed\n"
                   "[Sheet]\nStranka=\xc8\xc1ST\n[Serial]\nSerialPort=COM\xff\n"
                   "[Convertor]\nKonstStr=\xff\xfe\x80\n"
      << QByteArrayList{"Titulek=Napěťí článku", "Stranka=SERVIS", "SerialPort=COM˙",
                        "Barva=clBlue"};
  QTest::newRow("binary garbage") << randomBytes(64 * 1024, 9) + "\n" + devices + "[Graph]\n" +
                                         QByteArray("Titulek=a\0b\x01\x7f\n", 14)
                                  << QByteArrayList{};
  QTest::newRow("carriage returns only")
      << devices + QByteArray("[Ukladani]\rDoba=600\r[Graph]\rBarva=clRed\rTitulek=Mac\r")
      << QByteArrayList{"Doba=6", "Barva=clBlue"};
  QTest::newRow("byte-order mark")
      << "\xef\xbb\xbf[Ukladani]\r\nDoba=600\r\n" + devices + "[Graph]\r\nBarva=clRed\r\n"
      << QByteArrayList{"[Ukladani]", "Doba=600", "Barva=clRed"};
}

void TestHostileSettings::programStartsAndWritesValidSettings() {
  QFETCH(QByteArray, ini);
  QFETCH(QByteArrayList, expectedLines);
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QByteArray dirPath = QFile::encodeName(dir.path());
  // The settings file lies beside the executable, so the program runs from a copy.
  const QString program = dir.filePath(QStringLiteral("kelvor"));
  QVERIFY(QFile::copy(QStringLiteral(KELVOR_EXECUTABLE), program));
  const QString iniPath = dir.filePath(QStringLiteral("Kelvor.ini"));
  const QString victim = dir.filePath(QStringLiteral("victim.dat"));
  const QByteArray victimBytes("    12:00:00         0.1      12.500\r\n");
  QVERIFY(writeFile(victim, victimBytes));
  if (!ini.isNull())
    QVERIFY(writeFile(iniPath, ini.replace("@DIR@", dirPath)));

  const ProgramRun first = runProgram(program);
  QVERIFY2(first.started && first.finished && first.status == QProcess::NormalExit &&
               first.exitCode == 0,
           describe(first).constData());
  verifyWrittenSettings(iniPath);
  if (QTest::currentTestFailed())
    return;
  const QByteArray written = readFile(iniPath);
  const QByteArrayList lines = written.split('\n');
  for (QByteArray expected : expectedLines) {
    expected.replace("@DIR@", dirPath);
    QVERIFY2(lines.contains(expected), expected.left(200).constData());
  }
  // Only what the file held and the program's own keys: nothing grows on its way through.
  QVERIFY2(written.size() <= qMax<qsizetype>(ini.size(), 0) + 1024,
           QByteArray::number(written.size()).constData());
  QVERIFY(written.contains(deviceSection()) || ini.isNull());

  // The next start accepts every value: it changes nothing when it writes them back.
  const ProgramRun second = runProgram(program);
  QVERIFY2(second.started && second.finished && second.status == QProcess::NormalExit &&
               second.exitCode == 0,
           describe(second).constData());
  QVERIFY2(readFile(iniPath) == written, readFile(iniPath).left(2000).constData());
  QCOMPARE(readFile(victim), victimBytes);
  QVERIFY(QFile::exists(dir.filePath(QStringLiteral("Kelvor/Kelvor.db"))));
}

// A folder where the settings file belongs reads as an empty file; the program starts with
// usable values and reports, once, that it cannot write its settings at the end.
void TestHostileSettings::aFolderInPlaceOfTheSettingsFile() {
  QTemporaryDir dir;
  const QString iniPath = dir.filePath(QStringLiteral("Kelvor.ini"));
  QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Kelvor.ini")));
  QVERIFY(writeFile(iniPath + QStringLiteral("/keep.txt"), "operator's file"));
  ScriptedDialogs* dialogs = nullptr;
  const Program program(FileLocations::forExecutableDir(dir.path()), keptDialogs(dialogs));
  TForm1& form = program.form();
  QVERIFY(dialogs->messages.empty());
  QCOMPARE(int(form.measuring().cycle.Doba), 6);
  QCOMPARE(controlOf<kelvor::RadioGroup>(form.PARAMETRY, "DobaUkladani")->itemIndex(), 0);
  QCOMPARE(form.PageControl1->currentWidget(), form.SERVIS);
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  form.FormDestroy();
  QCOMPARE(dialogs->messages.size(), std::size_t{1});
  QCOMPARE(dialogs->messages[0].text, QStringLiteral("Unable to write to ") + iniPath);
  QVERIFY(QFileInfo(iniPath).isDir());
  QCOMPARE(readFile(iniPath + QStringLiteral("/keep.txt")), QByteArray("operator's file"));
  QVERIFY(!QFile::exists(iniPath + QStringLiteral(".tmp")));
}

// Titles of a megabyte reach the chart cut to the read buffer, and the chart page paints.
void TestHostileSettings::enormousTextsAreShownCut() {
  QTemporaryDir dir;
  const QByteArray megabyte = repeated("Ž", kMegabyte);
  QVERIFY(writeFile(dir.filePath(QStringLiteral("Kelvor.ini")),
                    deviceSection() + "[Sheet]\nStranka=GRAF\n[Graph]\nTitulek=" + megabyte +
                        "\n[Tabulka]\nHlavickaTab=" + megabyte + "\n"));
  ScriptedDialogs* dialogs = nullptr;
  const Program program(FileLocations::forExecutableDir(dir.path()), keptDialogs(dialogs));
  TForm1& form = program.form();
  const QString cut = QString::fromUtf8(repeated("Ž", ProfileFile::kValueBufferSize - 2));
  QCOMPARE(form.GRAF->Titulek, cut);
  QCOMPARE(form.TABULKA->HlavickaTab, cut);
  QCOMPARE(form.GRAF->chartReport.chart().firstTitleLine(), cut);
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form));
  QCOMPARE(form.PageControl1->currentWidget(), form.GRAF);
  const QImage painted = form.GRAF->grab().toImage();
  QVERIFY(!painted.isNull());
  QVERIFY(dialogs->messages.empty());
}

void TestHostileSettings::longValuesAreCutBetweenCharacters_data() {
  QTest::addColumn<QByteArray>("value");
  QTest::addColumn<qsizetype>("keptBytes");
  constexpr auto kLimit = qsizetype(ProfileFile::kValueBufferSize - 1);
  const QByteArray a(kLimit, 'a');
  QTest::newRow("ASCII") << a + "bc" << kLimit;
  QTest::newRow("two bytes across the cut") << a.left(kLimit - 1) + "Čx" << kLimit - 1;
  QTest::newRow("two bytes before the cut") << a.left(kLimit - 2) + "Čx" << kLimit;
  QTest::newRow("three bytes, one inside") << a.left(kLimit - 1) + "€x" << kLimit - 1;
  QTest::newRow("three bytes, two inside") << a.left(kLimit - 2) + "€x" << kLimit - 2;
  QTest::newRow("four bytes, three inside") << a.left(kLimit - 3) + "😀x" << kLimit - 3;
  QTest::newRow("four bytes before the cut") << a.left(kLimit - 4) + "😀x" << kLimit;
  // Windows-1250 letters are no UTF-8: the cut stays where the buffer ends.
  QTest::newRow("Windows-1250") << a.left(kLimit - 1) + "\xe8\xe1\x9e" << kLimit;
  QTest::newRow("a lead byte without its continuation") << a.left(kLimit - 1) + "\xc4x" << kLimit;
}

// A value longer than the read buffer loses its end, but never half a character: the rest
// still reads as the UTF-8 it was.
void TestHostileSettings::longValuesAreCutBetweenCharacters() {
  QFETCH(QByteArray, value);
  QFETCH(qsizetype, keptBytes);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("Kelvor.ini"));
  QVERIFY(writeFile(path, "[Graph]\nTitulek=" + value + "\n"));
  const ProfileFile ini(path.toStdString());
  const std::string read = ini.readString("Graph", "Titulek", "");
  QCOMPARE(QByteArray::fromStdString(read), value.left(keptBytes));
}

QTEST_MAIN(TestHostileSettings)
#include "tst_hostilesettings.moc"
