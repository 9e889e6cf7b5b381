#include "app/pages/parametrypage.h"

#include "app/core/settingsvalues.h"
#include "app/core/valuelists.h"
#include "app/hints.h"
#include "app/pages/pagebuilder.h"
#include "app/pages/pagehost.h"
#include "app/pages/radiogroup.h"
#include "instrument/measuringcontroller.h"
#include "serial/serialline.h"
#include "widgets/maskedit.h"
#include "widgets/progressgauge.h"

#include <QLabel>
#include <QPushButton>

#include <array>

namespace kelvor {
namespace {

const TextLook kValueLabel{.text = kYellow,
                           .background = kBlue,
                           .pixelSize = 32,
                           .bold = true,
                           .alignment = Qt::AlignCenter};
const TextLook kGroupLook{.text = kYellow, .background = kBlue, .pixelSize = 13, .bold = true};

template <typename Item, std::size_t N> QStringList captionsOf(const std::array<Item, N>& items) {
  QStringList captions;
  for (const Item& item : items)
    captions << QString::fromUtf8(item.caption);
  return captions;
}

template <typename Item, std::size_t N>
RadioGroup* placeRadioGroup(QWidget* page, const char* name, const char* caption,
                            const std::array<Item, N>& items, const QRect& rect, const char* hint) {
  auto* group = new RadioGroup(QString::fromUtf8(caption), captionsOf(items), page);
  place(group, name, rect);
  applyLook(group, kGroupLook);
  setHintWithTooltip(group, QString::fromUtf8(hint));
  return group;
}

} // namespace

ParametryPage::ParametryPage(PageHost& host, MeasuringController& measuring, QWidget* parent)
    : QWidget(parent), m_host(host), m_measuring(measuring) {
  setUpPage(this, "PARAMETRY");
  createChoiceGroups();
  createCalibration();
  createWriteControls();
  createPortReason();
  connectHandlers();
  connect(&m_measuring, &MeasuringController::eepromProgressed, this,
          &ParametryPage::advanceWriteProgress);
  connect(&m_measuring, &MeasuringController::portReasonChanged, this,
          &ParametryPage::showPortReason);
}

void ParametryPage::createChoiceGroups() {
  RychlostBaud =
      placeRadioGroup(this, "RychlostBaud", "BAUD:", kBaudRateItems, {16, 8, 185, 233},
                      "Volba  přenosové  rychlosti  pro  komunikaci  s  A/D  convertorem");
  RychlostLabel =
      placeLabel(this, "RychlostLabel", QStringLiteral("XXXXX"), {16, 248, 185, 41}, kValueLabel);
  setHintWithTooltip(RychlostLabel,
                     QStringLiteral("Baud|Zde  uvidíte  zvolenou  přenosovou  rychlost"));

  SeriovyPort = placeRadioGroup(this, "SeriovyPort", "PORT:", kSerialPortItems, {208, 8, 185, 233},
                                "Volba  sériového  portu  pro  komunikaci  s  A/D  konvertorem");
  SerialPortLabel =
      placeLabel(this, "SerialPortLabel", QStringLiteral("XXXX"), {208, 248, 185, 41}, kValueLabel);
  setHintWithTooltip(SerialPortLabel, QStringLiteral("Port|Zde  uvidíte  zvolený  sériový  port"));

  DobaUkladani = placeRadioGroup(
      this, "DobaUkladani", "DOBA:", kStorageIntervalItems, {400, 8, 185, 233},
      "Volba  časového  intervalu  pro  ukládání  naměřených  dat  do  souboru  Kelvor.dat");
  DobaUkladaniLabel = placeLabel(this, "DobaUkladaniLabel", QStringLiteral("XXXX"),
                                 {400, 248, 185, 41}, kValueLabel);
  setHintWithTooltip(
      DobaUkladaniLabel,
      QStringLiteral(
          "Doba|Zde  uvidíte  zvolený  časový  interval  pro  ukládání  naměřených  dat"));

  PocetRadkuGroup =
      placeRadioGroup(this, "PocetRadkuGroup", "ŘÁDKŮ:", kRowCountItems, {592, 8, 185, 233},
                      "Volba  počtu  řádků  pro  přenos  naměřených  dat  do  počítače  PC");
  PocetRadkuLabel =
      placeLabel(this, "PocetRadkuLabel", QStringLiteral("XXXX"), {592, 248, 185, 41}, kValueLabel);
}

void ParametryPage::createCalibration() {
  Label11 = placeLabel(this, "Label11", QStringLiteral("KAL.  KONSTANTA:"), {16, 376, 241, 33},
                       {.text = kWhite, .pixelSize = 23, .bold = true});
  KonstantaEdit = new MaskEdit("999.999999999;1;_", this);
  place(KonstantaEdit, "KonstantaEdit", {264, 368, 241, 41});
  applyLook(KonstantaEdit, {.text = kYellow, .background = kBlue, .pixelSize = 32, .bold = true});
  setHint(
      KonstantaEdit,
      QStringLiteral(
          "Do  tohoto  editačního  řádku  můžete  zapsat  požadovanou  hodnotu  kalibrační  konstanty"));
}

void ParametryPage::createWriteControls() {
  Gauge2 = new TProgressGauge(this);
  place(Gauge2, "Gauge2", {64, 320, 441, 36});
  Gauge2->setMaxValue(7);
  QFont gaugeFont(QStringLiteral("MS Sans Serif"));
  gaugeFont.setPixelSize(19);
  Gauge2->setFont(gaugeFont);
  setHint(Gauge2,
          QStringLiteral("Zde  můžete  sledovat  průběh  zápisu  do  paměti  EEprom  dataloggeru"));
  Button3 = new QPushButton(QStringLiteral("ZÁPIS DO  EEPROM"), this);
  place(Button3, "Button3", {520, 368, 257, 41});
  setHint(
      Button3,
      QStringLiteral(
          "Tímto  tlačítkem  můžete  odstartovat  zápis  zvolených  hodnot  do  paměti  EEprom"));
  Vysledek_Zapisu_Label =
      placeLabel(this, "Vysledek_Zapisu_Label", QStringLiteral("XXXXXX"), {520, 320, 257, 36},
                 {.text = kYellow,
                  .background = kBlue,
                  .pixelSize = 23,
                  .bold = true,
                  .alignment = Qt::AlignCenter});
  setHint(
      Vysledek_Zapisu_Label,
      QStringLiteral("Zde  uvidíte  výsledek  operace  zápisu  do  paměti  EEprom  dataloggeru"));
}

// In the gap under the chosen values, so it takes no height from the page's design; two short
// lines hold the longest reason (the dialout remedy).
void ParametryPage::createPortReason() {
  PortReasonLabel =
      placeLabel(this, "PortReasonLabel", QString(), {16, 291, 761, 27},
                 {.text = kYellow, .background = kRed, .pixelSize = 11, .bold = true});
  PortReasonLabel->setWordWrap(true);
  PortReasonLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  PortReasonLabel->hide();
}

void ParametryPage::showPortReason(const QString& reason) {
  PortReasonLabel->setText(reason);
  PortReasonLabel->setVisible(!reason.isEmpty());
}

void ParametryPage::connectHandlers() {
  connect(RychlostBaud, &RadioGroup::clicked, this, &ParametryPage::RychlostBaudClick);
  connect(SeriovyPort, &RadioGroup::clicked, this, &ParametryPage::SeriovyPortClick);
  connect(DobaUkladani, &RadioGroup::clicked, this, &ParametryPage::DobaUkladaniClick);
  connect(PocetRadkuGroup, &RadioGroup::clicked, this, &ParametryPage::PocetRadkuGroupClick);
  connect(Button3, &QPushButton::clicked, this, &ParametryPage::Button3Click);
}

void ParametryPage::RychlostBaudClick() {
  BaudRate = valueAt(kBaudRateItems, RychlostBaud->itemIndex());
  m_measuring.serialLine().setBaudRate(static_cast<std::uint32_t>(BaudRate));
  RychlostLabel->setText(QString::number(BaudRate));
  m_measuring.serialLine().setActive(true);
}

void ParametryPage::SeriovyPortClick() {
  SerialPort = QString::fromUtf8(valueAt(kSerialPortItems, SeriovyPort->itemIndex()));
  m_measuring.serialLine().setCommPort(SerialPort.toStdString());
  SerialPortLabel->setText(SerialPort);
  m_measuring.serialLine().setActive(true);
}

// The measuring counters and the chart's axis span are left as they are.
void ParametryPage::DobaUkladaniClick() {
  m_measuring.cycle.Doba =
      static_cast<std::uint16_t>(valueAt(kStorageIntervalItems, DobaUkladani->itemIndex()));
  DobaUkladaniLabel->setText(QString::number(m_measuring.cycle.Doba));
}

void ParametryPage::PocetRadkuGroupClick() {
  PocetRadku = static_cast<std::uint16_t>(valueAt(kRowCountItems, PocetRadkuGroup->itemIndex()));
  PocetRadkuLabel->setText(QString::number(PocetRadku));
}

// A second click while a write runs starts it again with freshly built commands.
void ParametryPage::Button3Click() {
  Gauge2->setProgress(0);
  m_host.runCommand(
      [this] { m_measuring.startEepromWrite(KonstantaEdit->text().toStdString(), PocetRadku); });
}

void ParametryPage::selectStoredBaudRate() {
  RychlostBaud->setItemIndex(itemOf(kBaudRateItems, BaudRate));
  m_measuring.serialLine().setBaudRate(static_cast<std::uint32_t>(BaudRate));
  RychlostLabel->setText(QString::number(BaudRate));
}

void ParametryPage::selectStoredPort() {
  SeriovyPort->setItemIndex(itemOf(kSerialPortItems, SerialPort.toUtf8().toStdString()));
  m_measuring.serialLine().setCommPort(SerialPort.left(255).toUtf8().toStdString());
  SerialPortLabel->setText(SerialPort);
}

void ParametryPage::selectStoredInterval() {
  DobaUkladani->setItemIndex(itemOf(kStorageIntervalItems, m_measuring.cycle.Doba));
  DobaUkladaniLabel->setText(QString::number(m_measuring.cycle.Doba));
}

void ParametryPage::selectStoredRowCount() {
  PocetRadkuGroup->setItemIndex(itemOf(kRowCountItems, PocetRadku));
  PocetRadkuLabel->setText(QString::number(PocetRadku));
}

void ParametryPage::showNoWriteYet() {
  QPalette resultPalette = Vysledek_Zapisu_Label->palette();
  resultPalette.setColor(QPalette::Window, QColor(0, 0, 255));
  Vysledek_Zapisu_Label->setPalette(resultPalette);
  Vysledek_Zapisu_Label->setText(QStringLiteral("XXXXXX"));
  clearWriteProgress();
}

void ParametryPage::showStoredKonstanta() {
  KonstantaEdit->setValueText(KonstStr);
}

void ParametryPage::takeSettings(const SettingsValues& values) {
  SerialPort = QString::fromStdString(values.SerialPort);
  BaudRate = values.BaudRate;
  KonstStr = QString::fromStdString(values.KonstStr);
  PocetRadku = values.PocetRadku;
}

// The rows the group shows, if it shows one; the port the line is on, whichever way it got
// there; the constant as the edit shows it.
void ParametryPage::collectSettings(SettingsValues& values) {
  if (PocetRadkuGroup->itemIndex() >= 0)
    PocetRadku = static_cast<std::uint16_t>(valueAt(kRowCountItems, PocetRadkuGroup->itemIndex()));
  SerialPort = QString::fromStdString(m_measuring.serialLine().CommPort());
  KonstStr = KonstantaEdit->text();
  values.SerialPort = SerialPort.toStdString();
  values.BaudRate = BaudRate;
  values.KonstStr = KonstStr.toStdString();
  values.PocetRadku = PocetRadku;
}

void ParametryPage::advanceWriteProgress() {
  Gauge2->setProgress(Gauge2->Progress() + 1);
}

void ParametryPage::clearWriteProgress() {
  Gauge2->setProgress(0);
}

} // namespace kelvor
