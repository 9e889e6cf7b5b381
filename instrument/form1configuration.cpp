#include "form1.h"
#include "radiogroup.h"

#include <QLabel>

namespace kelvor {

void TForm1::RychlostBaudClick() {
  BaudRate = baudRateOfItem(RychlostBaud->itemIndex());
  RychlostLabel->setText(QString::number(BaudRate));
}

void TForm1::SeriovyPortClick() {
  SerialPort = portNameOfItem(SeriovyPort->itemIndex());
  SerialPortLabel->setText(SerialPort);
}

void TForm1::DobaUkladaniClick() {
  Doba = static_cast<std::uint16_t>(secondsOfItem(DobaUkladani->itemIndex()));
  DobaUkladaniLabel->setText(QString::number(Doba));
}

void TForm1::PocetRadkuGroupClick() {
  PocetRadku = static_cast<std::uint16_t>(rowsOfItem(PocetRadkuGroup->itemIndex()));
  PocetRadkuLabel->setText(QString::number(PocetRadku));
}

} // namespace kelvor
