#include "app/core/valuelists.h"
#include "app/form1.h"
#include "app/pages/radiogroup.h"
#include "serial/serialline.h"
#include "widgets/maskedit.h"
#include "widgets/progressgauge.h"

#include <QLabel>
#include <QTimer>

namespace kelvor {

void TForm1::RychlostBaudClick() {
  BaudRate = valueAt(kBaudRateItems, RychlostBaud->itemIndex());
  SerialLine1->setBaudRate(static_cast<std::uint32_t>(BaudRate));
  RychlostLabel->setText(QString::number(BaudRate));
  SerialLine1->setActive(true);
}

void TForm1::SeriovyPortClick() {
  SerialPort = QString::fromUtf8(valueAt(kSerialPortItems, SeriovyPort->itemIndex()));
  SerialLine1->setCommPort(SerialPort.toStdString());
  SerialPortLabel->setText(SerialPort);
  SerialLine1->setActive(true);
}

// The measuring counters and the chart's axis span are left as they are.
void TForm1::DobaUkladaniClick() {
  cycle.Doba =
      static_cast<std::uint16_t>(valueAt(kStorageIntervalItems, DobaUkladani->itemIndex()));
  DobaUkladaniLabel->setText(QString::number(cycle.Doba));
}

void TForm1::PocetRadkuGroupClick() {
  PocetRadku = static_cast<std::uint16_t>(valueAt(kRowCountItems, PocetRadkuGroup->itemIndex()));
  PocetRadkuLabel->setText(QString::number(PocetRadku));
}

// A second click while a write runs starts it again with freshly built commands.
void TForm1::Button3Click() {
  Gauge2->setProgress(0);
  const bool built = runCommand(
      [this] { eeprom.start(cycle.Doba, KonstantaEdit->text().toStdString(), PocetRadku); });
  if (built && !Timer4->isActive())
    Timer4->start();
}

void TForm1::Timer4Timer() {
  const EepromWrite::Tick tick = eeprom.tick();
  LastCommand = QString::fromStdString(tick.command);
  Posli_Servisni_Prikaz(LastCommand);
  Gauge2->setProgress(Gauge2->Progress() + 1);
  if (tick.finished)
    Timer4->stop();
}

} // namespace kelvor
