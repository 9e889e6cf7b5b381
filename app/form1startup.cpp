#include "applicationtitle.h"
#include "form1.h"
#include "hints.h"
#include "radiogroup.h"
#include "settingskeys.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QTabWidget>
#include <array>

namespace kelvor {
namespace {

constexpr std::array<int, 8> kBaudRates{1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr std::array<int, 9> kStorageSeconds{6, 18, 36, 60, 180, 360, 600, 1800, 3600};
constexpr std::array<int, 7> kRowCounts{100, 180, 360, 600, 1000, 1800, 3600};

template <std::size_t N> int indexOf(const std::array<int, N>& values, long long value) {
  for (std::size_t i = 0; i < N; ++i)
    if (values[i] == value)
      return static_cast<int>(i);
  return -1;
}

QString text(const std::string& bytes) {
  return QString::fromUtf8(bytes);
}
std::string bytes(const QString& text) {
  return text.toUtf8().toStdString();
}

} // namespace

int TForm1::baudRateOfItem(int item) {
  return kBaudRates.at(static_cast<std::size_t>(item));
}
int TForm1::secondsOfItem(int item) {
  return kStorageSeconds.at(static_cast<std::size_t>(item));
}
int TForm1::rowsOfItem(int item) {
  return kRowCounts.at(static_cast<std::size_t>(item));
}
QString TForm1::portNameOfItem(int item) {
  return QStringLiteral("COM%1").arg(item + 1);
}

int TForm1::portItemOf(const QString& name) {
  for (int i = 0; i < 8; ++i)
    if (portNameOfItem(i) == name)
      return i;
  return -1;
}

void TForm1::readSettings() {
  using namespace settings;
  const ProfileFile& ini = m_settings;
  auto readText = [&ini](const char* section, const char* key, const QString& present) {
    return text(ini.readString(section, key, bytes(present)));
  };
  HlavickaTab = readText(kTabulka, kHlavickaTab, HlavickaTab);
  Doba = static_cast<std::uint16_t>(ini.readInteger(kUkladani, kDoba, Doba));
  ScaleX = static_cast<int>(ini.readInteger(kGraph, kScaleX, ScaleX));
  ScaleY = static_cast<int>(ini.readInteger(kGraph, kScaleY, ScaleY));
  Titulek = readText(kGraph, kTitulek, Titulek);
  Barva = readText(kGraph, kBarva, Barva);
  Stranka = readText(kSheet, kStranka, Stranka);
  SerialPort = readText(kSerial, kSerialPort, SerialPort);
  BaudRate = static_cast<int>(ini.readInteger(kSerial, kBaudRate, BaudRate));
  Doba = static_cast<std::uint16_t>(ini.readInteger(kUkladani, kDoba, Doba));
  Minuty = readText(kUkladani, kMinuty, Minuty);
  KonstStr = readText(kConvertor, kKonstStr, KonstStr);
  PocetRadku = static_cast<std::uint16_t>(ini.readInteger(kTransfer, kPocetRadku, PocetRadku));
  // The storage interval divides the chart's axis span; a hand-edited 0 would divide by zero.
  if (Doba == 0)
    Doba = 6;
}

void TForm1::FormCreate() {
  readSettings();
  // Each selection runs the group's click handler as the operator's choice would.
  RychlostBaud->setItemIndex(indexOf(kBaudRates, BaudRate));
  RychlostLabel->setText(QString::number(BaudRate));
  SeriovyPort->setItemIndex(portItemOf(SerialPort));
  SerialPortLabel->setText(SerialPort);
  DobaUkladani->setItemIndex(indexOf(kStorageSeconds, Doba));
  DobaUkladaniLabel->setText(QString::number(Doba));
  markScaleItems();
  qApp->installEventFilter(m_hintTracker);
  connect(m_hintTracker, &HintTracker::hintChanged, this, &TForm1::ShowHint);
  showStoredPage();
  PocetRadkuGroup->setItemIndex(indexOf(kRowCounts, PocetRadku));
  PocetRadkuLabel->setText(QString::number(PocetRadku));
  scaleToScreen();
  setWindowState(Qt::WindowMaximized);
  Vysledek_Zapisu_Label->setText(QStringLiteral("XXXXXX"));
}

void TForm1::markScaleItems() {
  const std::pair<QAction*, int> timeItems[] = {
      {Sca_X_060, 60}, {Sca_X_120, 120}, {Sca_X_300, 300}, {Sca_X_600, 600}};
  for (const auto& [item, minutes] : timeItems)
    if (minutes == ScaleX)
      item->setChecked(true);
  if (ScaleY == 3)
    Sca_Y_03->setChecked(true);
  if (ScaleY == 15)
    Sca_Y_15->setChecked(true);
}

void TForm1::showStoredPage() {
  for (int i = 0; i < PageControl1->count(); ++i)
    if (PageControl1->widget(i)->objectName() == Stranka)
      PageControl1->setCurrentIndex(i);
}

void TForm1::takeShutdownValues() {
  const std::pair<QAction*, int> timeItems[] = {
      {Sca_X_060, 60}, {Sca_X_120, 120}, {Sca_X_300, 300}, {Sca_X_600, 600}};
  for (const auto& [item, minutes] : timeItems)
    if (item->isChecked())
      ScaleX = minutes;
  if (Sca_Y_03->isChecked())
    ScaleY = 3;
  if (Sca_Y_15->isChecked())
    ScaleY = 15;
  Stranka = PageControl1->currentWidget()->objectName();
  if (PocetRadkuGroup->itemIndex() >= 0)
    PocetRadku = static_cast<std::uint16_t>(rowsOfItem(PocetRadkuGroup->itemIndex()));
}

void TForm1::writeSettings() {
  using namespace settings;
  ProfileFile& ini = m_settings;
  ini.writeString(kTabulka, kHlavickaTab, bytes(HlavickaTab));
  ini.writeInteger(kGraph, kScaleX, ScaleX);
  ini.writeInteger(kGraph, kScaleY, ScaleY);
  ini.writeString(kGraph, kTitulek, bytes(Titulek));
  ini.writeString(kGraph, kBarva, bytes(Barva));
  ini.writeString(kSheet, kStranka, bytes(Stranka));
  ini.writeString(kSerial, kSerialPort, bytes(SerialPort));
  ini.writeInteger(kSerial, kBaudRate, BaudRate);
  ini.writeInteger(kUkladani, kDoba, Doba);
  ini.writeString(kUkladani, kMinuty, bytes(Minuty));
  ini.writeString(kConvertor, kKonstStr, bytes(KonstStr));
  ini.writeInteger(kTransfer, kPocetRadku, PocetRadku);
}

void TForm1::FormDestroy() {
  if (m_destroyed)
    return;
  m_destroyed = true;
  takeShutdownValues();
  try {
    writeSettings();
  } catch (const ProfileWriteError& error) {
    m_dialogs->showMessage(kApplicationTitle, QString::fromStdString(error.what()),
                           OperatorDialogs::Icon::Error);
  }
}

} // namespace kelvor
