#pragma once

#include "app/form1.h"
#include "app/pages/meterspage.h"
#include "app/pages/servispage.h"
#include "app/program.h"
#include "tests/support/loopprobe.h"
#include "tests/support/pagecontrols.h"
#include "tests/support/scripteddialogs.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>

// The whole settings file of an operator measuring on COM2 at `baud`, storing every reading.
inline QByteArray measuringSettings(const QString& device, int baud) {
  return "[Devices]\nCOM2=" + device.toLocal8Bit() +
         "\n[Serial]\nSerialPort=COM2\nBaudRate=" + QByteArray::number(baud) +
         "\n[Ukladani]\nDoba=6\nMinuty=   0.0\n[Sheet]\nStranka=METERS\n"
         "[Graph]\nScaleX=60\nScaleY=15\nTitulek=Zkouška\nBarva=clBlue\n"
         "[Tabulka]\nHlavickaTab=Baterie\n[Convertor]\nKonstStr=\"  1.000000000\"\n"
         "[Transfer]\nPocetRadku=100\n";
}

// A main window started and shown in a folder of its own, as the program starts it.
struct FaultRig {
  // The measuring timers run this many times faster than designed, so that a test sees many
  // of the program's own ticks; their ratio, which the watchdog depends on, stays as it is.
  static constexpr int kTimeLapse = 5;

  QTemporaryDir dir;
  ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<kelvor::Program> program;
  kelvor::TForm1* form = nullptr;

  // `prepare` runs on the folder before the program starts in it.
  explicit FaultRig(const QByteArray& ini,
                    const std::function<void(const QTemporaryDir&)>& prepare = {}) {
    QFile file(dir.filePath(QStringLiteral("Kelvor.ini")));
    if (file.open(QIODevice::WriteOnly))
      file.write(ini);
    file.close();
    if (prepare)
      prepare(dir);
    program = std::make_unique<kelvor::Program>(kelvor::FileLocations::forExecutableDir(dir.path()),
                                                keptDialogs(dialogs));
    form = &program->form();
    program->show();
  }

  void switchOnTimeLapsed() const {
    form->Mereni_ZapnutoClick();
    form->measuring().Timer1->setInterval(form->measuring().Timer1->interval() / kTimeLapse);
    form->measuring().Timer2->setInterval(form->measuring().Timer2->interval() / kTimeLapse);
  }
  // Milliseconds of the given number of watchdog seconds, as the rig's timers count them.
  static int watchdogMs(int seconds) { return seconds * 1000 / kTimeLapse; }
  static int tickMs() { return 6000 / kTimeLapse; }

  QStringList terminalLines() const {
    const QString text = controlOf<QPlainTextEdit>(form->SERVIS, "TerminalMemo")->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
  }
  int records() const { return form->Table1.viewRecordCount(); }
  kelvor::MeasurementRecord record(int index) const { return form->Table1.record(index); }
  QString caption() const { return controlOf<QLabel>(form->METERS, "VoltageLabel")->text(); }

  bool waitForRecords(int count, int timeoutMs) const {
    return waitUntil([this, count] { return records() >= count; }, timeoutMs);
  }
};
