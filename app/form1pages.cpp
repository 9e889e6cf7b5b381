#include "app/core/valuelists.h"
#include "app/form1.h"
#include "app/hints.h"
#include "app/pages/pagebuilder.h"
#include "app/pages/radiogroup.h"
#include "instrument/core/loggerprotocol.h"
#include "widgets/led.h"
#include "widgets/levelmeter.h"
#include "widgets/maskedit.h"
#include "widgets/multibevel.h"
#include "widgets/needlemeter.h"
#include "widgets/progressgauge.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <array>

namespace kelvor {
namespace {

QWidget* newPage(QWidget* owner, const char* caption) {
  auto* page = new QWidget(owner);
  setUpPage(page, caption);
  return page;
}

const TextLook kValueLabel{.text = kYellow,
                           .background = kBlue,
                           .pixelSize = 32,
                           .bold = true,
                           .alignment = Qt::AlignCenter};
const TextLook kGroupLook{.text = kYellow, .background = kBlue, .pixelSize = 13, .bold = true};

RadioGroup* placeRadioGroup(QWidget* page, const char* name, const char* caption,
                            const QStringList& items, const QRect& rect, const char* hint) {
  auto* group = new RadioGroup(QString::fromUtf8(caption), items, page);
  place(group, name, rect);
  applyLook(group, kGroupLook);
  setHintWithTooltip(group, QString::fromUtf8(hint));
  return group;
}

const TextLook kCaptionLook{.text = kWhite, .pixelSize = 19, .bold = true};

// The black frames of the METERS page share one setting.
TMultiBevel* placeMeterFrame(QWidget* page, const char* name, const QRect& rect) {
  auto* frame = new TMultiBevel(page);
  place(frame, name, rect);
  frame->setBevelWidth(5);
  frame->setBorderWidth(5);
  frame->setColor(clBlack);
  frame->setColorHighlight(rgbColor(171, 171, 171));
  frame->setColorShadow(clBlack);
  return frame;
}

template <typename Item, std::size_t N> QStringList captionsOf(const std::array<Item, N>& items) {
  QStringList captions;
  for (const Item& item : items)
    captions << QString::fromUtf8(item.caption);
  return captions;
}

} // namespace

QWidget* TForm1::createMetersPage() {
  QWidget* page = newPage(this, "METERS");
  placeLabel(page, "Label1", QStringLiteral("AKTUÁLNÍ  NAMĚŘENÉ  HODNOTY:"), {160, 16, 480, 29},
             kHeading);
  placeLabel(page, "Label2", QStringLiteral("NAPĚTÍ [ V]"), {72, 68, 281, 25}, kCaptionLook);
  placeLabel(page, "Label3", QStringLiteral("NAPĚTÍ [ V]"), {402, 68, 303, 25}, kCaptionLook);
  placeLabel(page, "Label4", QStringLiteral("NAPĚTÍ [ V]"), {74, 300, 279, 25}, kCaptionLook);
  placeLabel(page, "Label5", QStringLiteral("ČAS  [ H:M:S]"), {402, 292, 303, 25}, kCaptionLook);
  // The frames come first so that the displays lie above them.
  MultiBevel1 = placeMeterFrame(page, "MultiBevel1", {72, 96, 281, 193});
  MultiBevel2 = placeMeterFrame(page, "MultiBevel2", {402, 96, 303, 113});
  MultiBevel3 = placeMeterFrame(page, "MultiBevel3", {402, 320, 303, 97});
  MultiBevel4 = placeMeterFrame(page, "MultiBevel4", {74, 328, 279, 89});

  NeedleMeter1 = new TNeedleMeter(page);
  place(NeedleMeter1, "NeedleMeter1", {104, 120, 217, 137});
  NeedleMeter1->setMax(15.0f);
  NeedleMeter1->setMin(10.0f);
  NeedleMeter1->setValue(10.0f);
  NeedleMeter1->setCaption(QStringLiteral("[ V ]"));
  NeedleMeter1->setAngularRange(180);
  NeedleMeter1->setTickCount(6);
  NeedleMeter1->setTickDigits(0);
  NeedleMeter1->setLowZoneValue(11.0f);
  NeedleMeter1->setHighZoneValue(14.0f);
  NeedleMeter1->setOKZoneColor(clLime);
  NeedleMeter1->setKnobSize(10);
  NeedleMeter1->setNeedleWidth(2);
  NeedleMeter1->setShowValue(false);
  NeedleMeter1->setShowTicksScale(false);
  NeedleMeter1->setColor(clWhite);
  QFont meterFont(QStringLiteral("Arial"));
  meterFont.setBold(true);
  meterFont.setPixelSize(13);
  NeedleMeter1->setMeterFontAttributes(meterFont);
  setHint(
      NeedleMeter1,
      QStringLiteral(
          "Na  tomto  měřidle  můžete  odečítat  okamžitou  hodnotu  napětí  v  analogové  formě"));

  VoltageLabel = placeLabel(page, "VoltageLabel", QStringLiteral("VYPNUTO"), {418, 112, 271, 81},
                            {.text = kYellow,
                             .background = kBlue,
                             .pixelSize = 48,
                             .bold = true,
                             .alignment = Qt::AlignCenter});
  setHint(
      VoltageLabel,
      QStringLiteral(
          "Na  tomto  měřidle  můžete  odečítat  okamžitou  hodnotu  napětí  v  digitální  formě"));

  LevelMeter1 = new TLevelMeter(page);
  place(LevelMeter1, "LevelMeter1", {112, 352, 201, 33});
  LevelMeter1->setGreens(10);
  LevelMeter1->setGreenMax(10);
  LevelMeter1->setGreenColor(clYellow);
  LevelMeter1->setYellows(30);
  LevelMeter1->setYellowMax(30);
  LevelMeter1->setYellowColor(clLime);
  LevelMeter1->setReds(10);
  LevelMeter1->setRedMax(10);
  setHint(
      LevelMeter1,
      QStringLiteral(
          "Na  tomto  indikátoru  můžete  odečítat  okamžitou  hodnotu  napětí  v  analogové  formě"));

  TimeLabel = placeLabel(page, "TimeLabel", QString(), {418, 336, 271, 65},
                         {.text = kYellow,
                          .background = kBlue,
                          .pixelSize = 37,
                          .bold = true,
                          .alignment = Qt::AlignCenter});
  setHint(TimeLabel,
          QStringLiteral(
              "Na  těchto  hodinách  můžete  odečítat  okamžitou  času  ve  tvaru:  [ H:M:S]"));
  return page;
}

QWidget* TForm1::createParametryPage() {
  QWidget* page = newPage(this, "PARAMETRY");
  RychlostBaud =
      placeRadioGroup(page, "RychlostBaud", "BAUD:", captionsOf(kBaudRateItems), {16, 8, 185, 233},
                      "Volba  přenosové  rychlosti  pro  komunikaci  s  A/D  convertorem");
  RychlostLabel =
      placeLabel(page, "RychlostLabel", QStringLiteral("XXXXX"), {16, 248, 185, 41}, kValueLabel);
  setHintWithTooltip(RychlostLabel,
                     QStringLiteral("Baud|Zde  uvidíte  zvolenou  přenosovou  rychlost"));

  SeriovyPort = placeRadioGroup(page, "SeriovyPort", "PORT:", captionsOf(kSerialPortItems),
                                {208, 8, 185, 233},
                                "Volba  sériového  portu  pro  komunikaci  s  A/D  konvertorem");
  SerialPortLabel =
      placeLabel(page, "SerialPortLabel", QStringLiteral("XXXX"), {208, 248, 185, 41}, kValueLabel);
  setHintWithTooltip(SerialPortLabel, QStringLiteral("Port|Zde  uvidíte  zvolený  sériový  port"));

  DobaUkladani = placeRadioGroup(
      page, "DobaUkladani", "DOBA:", captionsOf(kStorageIntervalItems), {400, 8, 185, 233},
      "Volba  časového  intervalu  pro  ukládání  naměřených  dat  do  souboru  Kelvor.dat");
  DobaUkladaniLabel = placeLabel(page, "DobaUkladaniLabel", QStringLiteral("XXXX"),
                                 {400, 248, 185, 41}, kValueLabel);
  setHintWithTooltip(
      DobaUkladaniLabel,
      QStringLiteral(
          "Doba|Zde  uvidíte  zvolený  časový  interval  pro  ukládání  naměřených  dat"));

  PocetRadkuGroup = placeRadioGroup(
      page, "PocetRadkuGroup", "ŘÁDKŮ:", captionsOf(kRowCountItems), {592, 8, 185, 233},
      "Volba  počtu  řádků  pro  přenos  naměřených  dat  do  počítače  PC");
  PocetRadkuLabel =
      placeLabel(page, "PocetRadkuLabel", QStringLiteral("XXXX"), {592, 248, 185, 41}, kValueLabel);

  Label11 = placeLabel(page, "Label11", QStringLiteral("KAL.  KONSTANTA:"), {16, 376, 241, 33},
                       {.text = kWhite, .pixelSize = 23, .bold = true});
  KonstantaEdit = new MaskEdit("999.999999999;1;_", page);
  place(KonstantaEdit, "KonstantaEdit", {264, 368, 241, 41});
  applyLook(KonstantaEdit, {.text = kYellow, .background = kBlue, .pixelSize = 32, .bold = true});
  setHint(
      KonstantaEdit,
      QStringLiteral(
          "Do  tohoto  editačního  řádku  můžete  zapsat  požadovanou  hodnotu  kalibrační  konstanty"));
  Gauge2 = new TProgressGauge(page);
  place(Gauge2, "Gauge2", {64, 320, 441, 36});
  Gauge2->setMaxValue(7);
  QFont gaugeFont(QStringLiteral("MS Sans Serif"));
  gaugeFont.setPixelSize(19);
  Gauge2->setFont(gaugeFont);
  setHint(Gauge2,
          QStringLiteral("Zde  můžete  sledovat  průběh  zápisu  do  paměti  EEprom  dataloggeru"));
  Button3 = new QPushButton(QStringLiteral("ZÁPIS DO  EEPROM"), page);
  place(Button3, "Button3", {520, 368, 257, 41});
  setHint(
      Button3,
      QStringLiteral(
          "Tímto  tlačítkem  můžete  odstartovat  zápis  zvolených  hodnot  do  paměti  EEprom"));
  Vysledek_Zapisu_Label =
      placeLabel(page, "Vysledek_Zapisu_Label", QStringLiteral("XXXXXX"), {520, 320, 257, 36},
                 {.text = kYellow,
                  .background = kBlue,
                  .pixelSize = 23,
                  .bold = true,
                  .alignment = Qt::AlignCenter});
  setHint(
      Vysledek_Zapisu_Label,
      QStringLiteral("Zde  uvidíte  výsledek  operace  zápisu  do  paměti  EEprom  dataloggeru"));

  connect(RychlostBaud, &RadioGroup::clicked, this, &TForm1::RychlostBaudClick);
  connect(SeriovyPort, &RadioGroup::clicked, this, &TForm1::SeriovyPortClick);
  connect(DobaUkladani, &RadioGroup::clicked, this, &TForm1::DobaUkladaniClick);
  connect(PocetRadkuGroup, &RadioGroup::clicked, this, &TForm1::PocetRadkuGroupClick);
  connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
  return page;
}

QWidget* TForm1::createServisPage() {
  QWidget* page = newPage(this, "SERVIS");
  const TextLook white{.text = kWhite, .pixelSize = 19, .bold = true};
  const TextLook terminal{.text = kYellow, .background = kBlue, .pixelSize = 19, .bold = true};
  placeLabel(page, "Label12", QStringLiteral("PŘÍKAZ:"), {8, 16, 109, 25}, white);
  PrikazEdit = new QLineEdit(QStringLiteral("XXXXXXXXXXXX"), page);
  place(PrikazEdit, "PrikazEdit", {120, 12, 273, 33});
  applyLook(PrikazEdit, terminal);
  setHint(
      PrikazEdit,
      QStringLiteral("Zde  uvidíte  text  příkazu  určeného  k  odeslání  na  sériovou  linku  "));
  placeLabel(page, "Label13", QStringLiteral("ODPOVĚĎ:"), {8, 56, 109, 25}, white);
  TerminalMemo = new QPlainTextEdit(page);
  place(TerminalMemo, "TerminalMemo", {120, 56, 529, 185});
  applyLook(TerminalMemo, terminal);
  TerminalMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // A logger that floods the line for days must not exhaust the memory.
  TerminalMemo->setMaximumBlockCount(kTerminalLineLimit);
  placeLabel(page, "Label7", QStringLiteral("MĚŘENÍ:"), {664, 104, 97, 25}, white);
  Servis_Measure_Led = placeLed(page, "Servis_Measure_Led", {672, 136}, TLEDStyle::LEDLarge);
  setHint(Servis_Measure_Led, QString::fromUtf8(kMeasuringLedHint));

  // Four columns and four rows of buttons below the terminal.
  const auto placeButton = [page](const char* name, const QString& caption, int row, int column) {
    auto* button = new QPushButton(caption, page);
    place(button, name, {120 + column * 134, 256 + row * 48, 124, 41});
    return button;
  };
  struct Cell {
    std::string_view command;
    int row;
    int column;
  };
  const Cell grid[] = {{kAktAdr, 0, 0}, {kFreDir, 0, 1}, {kKalKon, 0, 2}, {kValMul, 0, 3},
                       {kBegMem, 1, 0}, {kFreMem, 1, 1}, {kHexMem, 1, 2}, {kVyrCis, 1, 3},
                       {kDisTim, 2, 0}, {kValDir, 2, 1}, {kVerPrg, 2, 2}, {kEnaTim, 3, 0},
                       {kValMem, 3, 1}, {kZerMem, 3, 2}};
  for (const Cell& cell : grid) {
    const ServiceCommand entry = *findServiceCommand(cell.command);
    const std::string name(entry.buttonName);
    QPushButton* button = placeButton(
        name.c_str(),
        QString::fromUtf8(entry.caption.data(), static_cast<qsizetype>(entry.caption.size())),
        cell.row, cell.column);
    setHint(button,
            QString::fromUtf8(entry.hint.data(), static_cast<qsizetype>(entry.hint.size())));
    if (cell.command == kValMul) {
      Val_Mul_Button = button;
      connect(button, &QPushButton::clicked, this, &TForm1::Val_Mul_ButtonClick);
    } else if (cell.command == kZerMem) {
      Zer_Mem_Button = button;
      connect(button, &QPushButton::clicked, this, &TForm1::Zer_Mem_ButtonClick);
    } else {
      connect(button, &QPushButton::clicked, this,
              [this, command = cell.command] { sendServiceCommand(command); });
    }
  }
  Button2 = placeButton("Button2", QStringLiteral("CLEAR"), 2, 3);
  setHint(Button2,
          QStringLiteral("Toto  tlačítko  slouží  k  vymazání  obrazovky  s  přijatými  příkazy"));
  connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
  SendButton = placeButton("SendButton", QStringLiteral("SEND"), 3, 3);
  setHint(SendButton,
          QStringLiteral("Toto  tlačítko  slouží  k  odeslání  ručně  naťukaného  příkazu"));
  connect(SendButton, &QPushButton::clicked, this, &TForm1::SendButtonClick);
  return page;
}

} // namespace kelvor
