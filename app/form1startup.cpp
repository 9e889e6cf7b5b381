#include "app/core/valuelists.h"
#include "app/form1.h"
#include "app/hints.h"
#include "app/pages/radiogroup.h"
#include "app/settingskeys.h"
#include "core/textencoding.h"
#include "data/core/numbertext.h"
#include "serial/serialline.h"
#include "widgets/maskedit.h"
#include "widgets/needlemeter.h"
#include "widgets/progressgauge.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QTabWidget>

namespace kelvor {
namespace {

// Settings files written by Windows programs on a Czech system hold Windows-1250.
QString text(const std::string& bytes) {
  return QString::fromStdString(isValidUtf8(bytes) ? bytes : windows1250ToUtf8(bytes));
}
std::string bytes(const QString& text) {
  return text.toUtf8().toStdString();
}

} // namespace

void TForm1::readSettings() {
  using namespace settings;
  const ProfileFile& ini = m_settings;
  auto readText = [&ini](const char* section, const char* key, const QString& present) {
    return text(ini.readString(section, key, bytes(present)));
  };
  TABULKA->HlavickaTab = readText(kTabulka, kHlavickaTab, TABULKA->HlavickaTab);
  cycle.Doba = static_cast<std::uint16_t>(ini.readInteger(kUkladani, kDoba, cycle.Doba));
  GRAF->ScaleX = static_cast<int>(ini.readInteger(kGraph, kScaleX, GRAF->ScaleX));
  GRAF->ScaleY = static_cast<int>(ini.readInteger(kGraph, kScaleY, GRAF->ScaleY));
  GRAF->Titulek = readText(kGraph, kTitulek, GRAF->Titulek);
  GRAF->Barva = readText(kGraph, kBarva, GRAF->Barva);
  Stranka = readText(kSheet, kStranka, Stranka);
  SerialPort = readText(kSerial, kSerialPort, SerialPort);
  BaudRate = static_cast<int>(ini.readInteger(kSerial, kBaudRate, BaudRate));
  cycle.Doba = static_cast<std::uint16_t>(ini.readInteger(kUkladani, kDoba, cycle.Doba));
  cycle.MinutesText = bytes(readText(kUkladani, kMinuty, text(cycle.MinutesText)));
  KonstStr = readText(kConvertor, kKonstStr, KonstStr);
  PocetRadku = static_cast<std::uint16_t>(ini.readInteger(kTransfer, kPocetRadku, PocetRadku));
  // The storage interval divides the chart's axis span; a hand-edited 0 would divide by zero.
  if (cycle.Doba == 0)
    cycle.Doba = 6;
}

// A first start finds no settings file: it gets one with the choices a new user wants, so
// the chart has a colour and an interval to divide by, and the port a speed.
void TForm1::writeFirstSettings() {
  TABULKA->HlavickaTab = QStringLiteral("TABULKA  NAMĚŘENÝCH  HODNOT:");
  GRAF->ScaleX = 60;
  GRAF->ScaleY = 15;
  GRAF->Titulek = QStringLiteral("VYBÍJENÍ  AKUMULÁTORU");
  GRAF->Barva = QStringLiteral("clBlue");
  Stranka = QStringLiteral("METERS");
  SerialPort = QStringLiteral("COM2");
  BaudRate = 19200;
  cycle.Doba = 60;
  cycle.MinutesText = "   0.0";
  KonstStr = QStringLiteral("  1.000000000");
  PocetRadku = 100;
  writeSettings();
}

void TForm1::FormCreate() {
  if (!QFileInfo::exists(m_locations.settingsFile()))
    runCommand([this] { writeFirstSettings(); });
  readSettings();
  // Each selection runs the group's click handler as the operator's choice would.
  RychlostBaud->setItemIndex(itemOf(kBaudRateItems, BaudRate));
  SerialLine1->setBaudRate(static_cast<std::uint32_t>(BaudRate));
  RychlostLabel->setText(QString::number(BaudRate));
  SeriovyPort->setItemIndex(itemOf(kSerialPortItems, bytes(SerialPort)));
  SerialLine1->setCommPort(bytes(SerialPort.left(255)));
  SerialPortLabel->setText(SerialPort);
  DobaUkladani->setItemIndex(itemOf(kStorageIntervalItems, cycle.Doba));
  DobaUkladaniLabel->setText(QString::number(cycle.Doba));
  GRAF->markScaleItems();
  cycle.resumeMinutes(cycle.MinutesText, parseLeadingNumber(cycle.MinutesText).value_or(0.0));
  KonstantaEdit->setValueText(KonstStr);
  GRAF->bindChartToTable();
  GRAF->RedrawScreen();
  showSwitchedOffLook();
  NeedleMeter1->setShowTicksScale(true);
  qApp->installEventFilter(m_hintTracker);
  connect(m_hintTracker, &HintTracker::hintChanged, this, &TForm1::ShowHint);
  showStoredPage();
  PocetRadkuGroup->setItemIndex(itemOf(kRowCountItems, PocetRadku));
  PocetRadkuLabel->setText(QString::number(PocetRadku));
  scaleToScreen();
  setWindowState(Qt::WindowMaximized);
  QPalette resultPalette = Vysledek_Zapisu_Label->palette();
  resultPalette.setColor(QPalette::Window, QColor(0, 0, 255));
  Vysledek_Zapisu_Label->setPalette(resultPalette);
  Vysledek_Zapisu_Label->setText(QStringLiteral("XXXXXX"));
  Gauge2->setProgress(0);
  cycle.ReplyWatchdog = 0;
  SerialLine1->setActive(true);
}

void TForm1::showStoredPage() {
  for (int i = 0; i < PageControl1->count(); ++i)
    if (PageControl1->widget(i)->objectName() == Stranka)
      PageControl1->setCurrentIndex(i);
}

void TForm1::takeShutdownValues() {
  GRAF->takeShutdownValues();
  Stranka = PageControl1->currentWidget()->objectName();
  if (PocetRadkuGroup->itemIndex() >= 0)
    PocetRadku = static_cast<std::uint16_t>(valueAt(kRowCountItems, PocetRadkuGroup->itemIndex()));
  SerialPort = text(SerialLine1->CommPort());
  KonstStr = KonstantaEdit->text();
}

void TForm1::writeSettings() {
  using namespace settings;
  ProfileFile& ini = m_settings;
  ini.writeString(kTabulka, kHlavickaTab, bytes(TABULKA->HlavickaTab));
  ini.writeInteger(kGraph, kScaleX, GRAF->ScaleX);
  ini.writeInteger(kGraph, kScaleY, GRAF->ScaleY);
  ini.writeString(kGraph, kTitulek, bytes(GRAF->Titulek));
  ini.writeString(kGraph, kBarva, bytes(GRAF->Barva));
  ini.writeString(kSheet, kStranka, bytes(Stranka));
  ini.writeString(kSerial, kSerialPort, bytes(SerialPort));
  ini.writeInteger(kSerial, kBaudRate, BaudRate);
  ini.writeInteger(kUkladani, kDoba, cycle.Doba);
  ini.writeString(kUkladani, kMinuty, cycle.MinutesText);
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
    showError(QString::fromStdString(error.what()));
  }
  SerialLine1->setActive(false);
}

} // namespace kelvor
