#include "app/core/valuelists.h"
#include "app/form1.h"
#include "app/hints.h"
#include "app/pages/grafpage.h"
#include "app/pages/meterspage.h"
#include "app/pages/parametrypage.h"
#include "app/pages/tabulkapage.h"
#include "app/settingskeys.h"
#include "core/textencoding.h"
#include "data/core/numbertext.h"
#include "serial/serialline.h"

#include <QApplication>
#include <QFileInfo>
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
  MeasuringCycle& cycle = m_measuring->cycle;
  ParametryPage& parametry = *PARAMETRY;
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
  parametry.SerialPort = readText(kSerial, kSerialPort, parametry.SerialPort);
  parametry.BaudRate = static_cast<int>(ini.readInteger(kSerial, kBaudRate, parametry.BaudRate));
  cycle.Doba = static_cast<std::uint16_t>(ini.readInteger(kUkladani, kDoba, cycle.Doba));
  cycle.MinutesText = bytes(readText(kUkladani, kMinuty, text(cycle.MinutesText)));
  parametry.KonstStr = readText(kConvertor, kKonstStr, parametry.KonstStr);
  parametry.PocetRadku =
      static_cast<std::uint16_t>(ini.readInteger(kTransfer, kPocetRadku, parametry.PocetRadku));
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
  PARAMETRY->SerialPort = QStringLiteral("COM2");
  PARAMETRY->BaudRate = 19200;
  m_measuring->cycle.Doba = 60;
  m_measuring->cycle.MinutesText = "   0.0";
  PARAMETRY->KonstStr = QStringLiteral("  1.000000000");
  PARAMETRY->PocetRadku = 100;
  writeSettings();
}

void TForm1::FormCreate() {
  if (!QFileInfo::exists(m_locations.settingsFile()))
    runCommand([this] { writeFirstSettings(); });
  readSettings();
  // Each selection runs the group's click handler as the operator's choice would.
  PARAMETRY->selectStoredBaudRate();
  PARAMETRY->selectStoredPort();
  PARAMETRY->selectStoredInterval();
  GRAF->markScaleItems();
  MeasuringCycle& cycle = m_measuring->cycle;
  cycle.resumeMinutes(cycle.MinutesText, parseLeadingNumber(cycle.MinutesText).value_or(0.0));
  PARAMETRY->showStoredKonstanta();
  GRAF->bindChartToTable();
  GRAF->RedrawScreen();
  METERS->showSwitchedOffLook();
  METERS->showScale();
  qApp->installEventFilter(m_hintTracker);
  connect(m_hintTracker, &HintTracker::hintChanged, this, &TForm1::ShowHint);
  showStoredPage();
  PARAMETRY->selectStoredRowCount();
  scaleToScreen();
  setWindowState(Qt::WindowMaximized);
  PARAMETRY->showNoWriteYet();
  cycle.ReplyWatchdog = 0;
  m_measuring->serialLine().setActive(true);
}

void TForm1::showStoredPage() {
  for (int i = 0; i < PageControl1->count(); ++i)
    if (PageControl1->widget(i)->objectName() == Stranka)
      PageControl1->setCurrentIndex(i);
}

void TForm1::takeShutdownValues() {
  GRAF->takeShutdownValues();
  Stranka = PageControl1->currentWidget()->objectName();
  PARAMETRY->takeShownValues();
  PARAMETRY->SerialPort = text(m_measuring->serialLine().CommPort());
}

void TForm1::writeSettings() {
  using namespace settings;
  ProfileFile& ini = m_settings;
  const ParametryPage& parametry = *PARAMETRY;
  ini.writeString(kTabulka, kHlavickaTab, bytes(TABULKA->HlavickaTab));
  ini.writeInteger(kGraph, kScaleX, GRAF->ScaleX);
  ini.writeInteger(kGraph, kScaleY, GRAF->ScaleY);
  ini.writeString(kGraph, kTitulek, bytes(GRAF->Titulek));
  ini.writeString(kGraph, kBarva, bytes(GRAF->Barva));
  ini.writeString(kSheet, kStranka, bytes(Stranka));
  ini.writeString(kSerial, kSerialPort, bytes(parametry.SerialPort));
  ini.writeInteger(kSerial, kBaudRate, parametry.BaudRate);
  ini.writeInteger(kUkladani, kDoba, m_measuring->cycle.Doba);
  ini.writeString(kUkladani, kMinuty, m_measuring->cycle.MinutesText);
  ini.writeString(kConvertor, kKonstStr, bytes(parametry.KonstStr));
  ini.writeInteger(kTransfer, kPocetRadku, parametry.PocetRadku);
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
  m_measuring->serialLine().setActive(false);
}

} // namespace kelvor
