#include "app/pages/meterspage.h"
#include "app/pages/parametrypage.h"
#include "app/pages/radiogroup.h"
#include "app/pages/servispage.h"
#include "data/core/measurementtable.h"
#include "instrument/measuringcontroller.h"
#include "serial/serialline.h"
#include "tests/support/fakeline.h"
#include "tests/support/pagecontrols.h"
#include "tests/support/recordinghost.h"
#include "widgets/levelmeter.h"
#include "widgets/maskedit.h"
#include "widgets/needlemeter.h"
#include "widgets/progressgauge.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

using namespace kelvor;

namespace {

// The measuring pages without a main window, each listening to the controller on the fake
// device as it does in the program.
struct MeasuringPagesRig : FakeLine {
  MeasuringPagesRig() : FakeLine(1000, {"/dev/ttyS0", "/dev/ttyS1"}) {
    table.open(std::filesystem::path(folder.path().toStdString()) / "Kelvor.db");
    measuring = std::make_unique<MeasuringController>(table, std::move(port));
    meters = std::make_unique<MetersPage>(*measuring);
    parametry = std::make_unique<ParametryPage>(host, *measuring);
    servis = std::make_unique<ServisPage>(host, *measuring, table);
  }

  QTemporaryDir folder;
  MeasurementTable table;
  RecordingHost host;
  std::unique_ptr<MeasuringController> measuring;
  std::unique_ptr<MetersPage> meters;
  std::unique_ptr<ParametryPage> parametry;
  std::unique_ptr<ServisPage> servis;
};

} // namespace

class TestMeasuringPages : public QObject {
  Q_OBJECT

private slots:
  void parametryChoicesReachTheLineAndTheCycle();
  void parametryShowsWhyThePortWouldNotOpen();
  void parametryWritesTheEepromWithItsProgress();
  void parametryReportsACalibrationThatIsNoNumber();
  void servisButtonsSendTheirCommands();
  void servisAsksBeforeErasingTheLoggerMemory();
  void servisClearEmptiesTheTerminalAndTheProgress();
  void metersShowReadingsAndTheRestingLooks();
};

void TestMeasuringPages::parametryChoicesReachTheLineAndTheCycle() {
  MeasuringPagesRig rig;
  ParametryPage& page = *rig.parametry;
  controlOf<kelvor::RadioGroup>(&page, "RychlostBaud")->setItemIndex(2);
  QCOMPARE(page.BaudRate, 4800);
  QCOMPARE(rig.measuring->serialLine().BaudRate(), 4800u);
  QCOMPARE(controlOf<QLabel>(&page, "RychlostLabel")->text(), QStringLiteral("4800"));
  QVERIFY(rig.measuring->serialLine().Active());
  controlOf<kelvor::RadioGroup>(&page, "SeriovyPort")->setItemIndex(0);
  QCOMPARE(page.SerialPort, QStringLiteral("COM1"));
  QCOMPARE(rig.device->openedPath(), std::string("/dev/ttyS0"));
  controlOf<kelvor::RadioGroup>(&page, "DobaUkladani")->setItemIndex(3);
  QCOMPARE(int(rig.measuring->cycle.Doba), 60);
  QCOMPARE(controlOf<QLabel>(&page, "DobaUkladaniLabel")->text(), QStringLiteral("60"));
  controlOf<kelvor::RadioGroup>(&page, "PocetRadkuGroup")->setItemIndex(2);
  QCOMPARE(int(page.PocetRadku), 360);
  QCOMPARE(controlOf<QLabel>(&page, "PocetRadkuLabel")->text(), QStringLiteral("360"));
}

void TestMeasuringPages::parametryShowsWhyThePortWouldNotOpen() {
  MeasuringPagesRig rig;
  auto* reason = controlOf<QLabel>(rig.parametry.get(), "PortReasonLabel");
  QVERIFY(reason->isHidden());
  controlOf<kelvor::RadioGroup>(rig.parametry.get(), "SeriovyPort")->setItemIndex(2);
  QVERIFY(!reason->isHidden());
  QVERIFY(reason->text().contains(QStringLiteral("/dev/ttyS2")));
  QVERIFY(reason->text().contains(QString::fromLocal8Bit(std::strerror(ENOENT))));
  controlOf<kelvor::RadioGroup>(rig.parametry.get(), "SeriovyPort")->setItemIndex(0);
  QVERIFY(rig.measuring->serialLine().Active());
  QVERIFY(reason->isHidden());
}

void TestMeasuringPages::parametryWritesTheEepromWithItsProgress() {
  MeasuringPagesRig rig;
  ParametryPage& page = *rig.parametry;
  rig.measuring->serialLine().setActive(true);
  rig.measuring->cycle.Doba = 60;
  page.PocetRadku = 100;
  controlOf<kelvor::MaskEdit>(&page, "KonstantaEdit")
      ->setValueText(QStringLiteral("  1.000000000"));
  controlOf<kelvor::TProgressGauge>(&page, "Gauge2")->setProgress(5);
  controlOf<QPushButton>(&page, "Button3")->click();
  QCOMPARE(controlOf<kelvor::TProgressGauge>(&page, "Gauge2")->Progress(), 0);
  QVERIFY(rig.measuring->Timer4->isActive());
  std::string sent;
  while (rig.measuring->Timer4->isActive()) {
    sent += rig.measuring->eeprom.EepromCommands[rig.measuring->eeprom.EepromStep] + '\r';
    rig.measuring->Timer4Timer();
  }
  QVERIFY(rig.sentReaches(sent));
  QCOMPARE(controlOf<kelvor::TProgressGauge>(&page, "Gauge2")->Progress(), 7);
  QVERIFY(rig.host.errors.isEmpty());
}

void TestMeasuringPages::parametryReportsACalibrationThatIsNoNumber() {
  MeasuringPagesRig rig;
  ParametryPage& page = *rig.parametry;
  controlOf<kelvor::MaskEdit>(&page, "KonstantaEdit")
      ->setValueText(QStringLiteral("1 2.500000000"));
  page.Button3Click();
  QCOMPARE(rig.host.errors.size(), 1);
  QVERIFY(rig.host.errors.front().contains(QStringLiteral("is not a valid floating point value")));
  QVERIFY(!rig.measuring->Timer4->isActive());
}

void TestMeasuringPages::servisButtonsSendTheirCommands() {
  MeasuringPagesRig rig;
  rig.measuring->serialLine().setActive(true);
  auto* button = rig.servis->findChild<QPushButton*>(QStringLiteral("Akt_Adr_Button"));
  QVERIFY(button != nullptr);
  button->click();
  QVERIFY(rig.sentReaches("@AKT-ADR\r"));
  QCOMPARE(controlOf<QLineEdit>(rig.servis.get(), "PrikazEdit")->text(),
           QStringLiteral("@AKT-ADR"));
  QCOMPARE(rig.measuring->LastCommand, QStringLiteral("@AKT-ADR"));
  // SEND repeats what the command line holds, typed over or not.
  controlOf<QLineEdit>(rig.servis.get(), "PrikazEdit")->setText(QStringLiteral("@VER-PRG"));
  controlOf<QPushButton>(rig.servis.get(), "SendButton")->click();
  QVERIFY(rig.sentReaches("@AKT-ADR\r@VER-PRG\r"));
  QCOMPARE(rig.measuring->LastCommand, QStringLiteral("@VER-PRG"));
}

void TestMeasuringPages::servisAsksBeforeErasingTheLoggerMemory() {
  MeasuringPagesRig rig;
  rig.measuring->serialLine().setActive(true);
  rig.host.scripted.yesNoAnswers = {false, true};
  controlOf<QPushButton>(rig.servis.get(), "Zer_Mem_Button")->click();
  QCOMPARE(rig.host.scripted.questions.size(), std::size_t(1));
  QVERIFY(rig.measuring->LastCommand.isEmpty());
  controlOf<QPushButton>(rig.servis.get(), "Zer_Mem_Button")->click();
  QVERIFY(rig.sentReaches("@ZER-MEM\r"));
}

void TestMeasuringPages::servisClearEmptiesTheTerminalAndTheProgress() {
  MeasuringPagesRig rig;
  QObject::connect(rig.servis.get(), &ServisPage::terminalCleared, rig.parametry.get(),
                   &ParametryPage::clearWriteProgress);
  rig.measuring->serialLine().setActive(true);
  rig.arrive("U[V]:\x01 12\r");
  QVERIFY(rig.serveUntil([&] {
    return !controlOf<QPlainTextEdit>(rig.servis.get(), "TerminalMemo")->toPlainText().isEmpty();
  }));
  QCOMPARE(controlOf<QPlainTextEdit>(rig.servis.get(), "TerminalMemo")->toPlainText(),
           QStringLiteral("U[V]:\u2401 12\u240D"));
  rig.measuring->LastCommand = QStringLiteral("#VAL-DIR");
  controlOf<kelvor::TProgressGauge>(rig.parametry.get(), "Gauge2")->setProgress(3);
  QSignalSpy cleared(rig.servis.get(), &ServisPage::terminalCleared);
  controlOf<QPushButton>(rig.servis.get(), "Button2")->click();
  QCOMPARE(cleared.count(), 1);
  QVERIFY(controlOf<QPlainTextEdit>(rig.servis.get(), "TerminalMemo")->toPlainText().isEmpty());
  QVERIFY(controlOf<QLineEdit>(rig.servis.get(), "PrikazEdit")->text().isEmpty());
  QVERIFY(rig.measuring->LastCommand.isEmpty());
  QCOMPARE(controlOf<kelvor::TProgressGauge>(rig.parametry.get(), "Gauge2")->Progress(), 0);
}

// The meters follow the session: a reading, the silence after it, and switching off.
void TestMeasuringPages::metersShowReadingsAndTheRestingLooks() {
  MeasuringPagesRig rig;
  MetersPage& page = *rig.meters;
  MeasuringController& measuring = *rig.measuring;
  measuring.serialLine().setActive(true);
  measuring.Timer1Timer();
  rig.arrive("U[V]:    12.5000 \r");
  QVERIFY(rig.serveUntil([&] {
    return controlOf<QLabel>(&page, "VoltageLabel")->text() == QStringLiteral("12.500");
  }));
  QCOMPARE(controlOf<kelvor::TNeedleMeter>(&page, "NeedleMeter1")->value(), 12.5f);
  QCOMPARE(controlOf<kelvor::TLevelMeter>(&page, "LevelMeter1")->position(), 25);
  QVERIFY(!controlOf<QLabel>(&page, "TimeLabel")->text().isEmpty());
  for (int second = 0; second <= MeasuringCycle::kWatchdogTolerance; ++second)
    measuring.Timer2Timer();
  QCOMPARE(controlOf<QLabel>(&page, "VoltageLabel")->text(), QStringLiteral("CHYBA"));
  QCOMPARE(controlOf<QLabel>(&page, "VoltageLabel")->palette().color(QPalette::Window),
           QColor(255, 0, 0));
  QCOMPARE(controlOf<kelvor::TNeedleMeter>(&page, "NeedleMeter1")->value(), 10.0f);
  QCOMPARE(controlOf<kelvor::TLevelMeter>(&page, "LevelMeter1")->position(), 0);
  QVERIFY(controlOf<QLabel>(&page, "TimeLabel")->text().isEmpty());
  measuring.switchOn();
  measuring.switchOff();
  QCOMPARE(controlOf<QLabel>(&page, "VoltageLabel")->text(), QStringLiteral("VYPNUTO"));
  QCOMPARE(controlOf<QLabel>(&page, "VoltageLabel")->palette().color(QPalette::Window),
           QColor(0, 128, 0));
}

QTEST_MAIN(TestMeasuringPages)
#include "tst_measuringpages.moc"
