#include "authorpicture.h"
#include "form1.h"
#include "hints.h"
#include "pagebuilder.h"
#include "radiogroup.h"

#include <QLabel>
#include <QPushButton>

namespace kelvor {
namespace {

QWidget* newPage(QWidget* owner, const char* caption) {
  auto* page = new QWidget(owner);
  page->setObjectName(QString::fromLatin1(caption));
  QPalette grey = page->palette();
  grey.setColor(QPalette::Window, QColor(128, 128, 128));
  page->setPalette(grey);
  page->setAutoFillBackground(true);
  return page;
}

const TextLook kHeading{.text = kWhite,
                        .pixelSize = 23,
                        .bold = true,
                        .underline = true,
                        .family = QStringLiteral("MS Sans Serif"),
                        .alignment = Qt::AlignCenter};
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

QStringList baudItems() {
  QStringList items;
  for (const char* rate :
       {"  1200", "  2400", "  4800", "  9600", " 19200", " 38400", " 57600", "115200"})
    items << QString::fromLatin1(rate) + QStringLiteral("   Bd");
  return items;
}

} // namespace

QWidget* TForm1::createMetersPage() {
  QWidget* page = newPage(this, "METERS");
  placeLabel(page, "Label1", QStringLiteral("AKTUÁLNÍ  NAMĚŘENÉ  HODNOTY:"), {160, 16, 480, 29},
             kHeading);
  return page;
}

QWidget* TForm1::createGrafPage() {
  return newPage(this, "GRAF");
}

QWidget* TForm1::createTabulkaPage() {
  QWidget* page = newPage(this, "TABULKA");
  placeLabel(page, "Label6", QStringLiteral("TABULKA  NAMĚŘENÝCH  HODNOT:"), {160, 16, 443, 29},
             kHeading);
  return page;
}

QWidget* TForm1::createParametryPage() {
  QWidget* page = newPage(this, "PARAMETRY");
  RychlostBaud =
      placeRadioGroup(page, "RychlostBaud", "BAUD:", baudItems(), {16, 8, 185, 233},
                      "Volba  přenosové  rychlosti  pro  komunikaci  s  A/D  convertorem");
  RychlostLabel =
      placeLabel(page, "RychlostLabel", QStringLiteral("XXXXX"), {16, 248, 185, 41}, kValueLabel);
  setHintWithTooltip(RychlostLabel,
                     QStringLiteral("Baud|Zde  uvidíte  zvolenou  přenosovou  rychlost"));

  SeriovyPort = placeRadioGroup(
      page, "SeriovyPort", "PORT:",
      {QStringLiteral("COM  1"), QStringLiteral("COM  2"), QStringLiteral("COM  3"),
       QStringLiteral("COM  4"), QStringLiteral("COM  5"), QStringLiteral("COM  6"),
       QStringLiteral("COM  7"), QStringLiteral("COM  8")},
      {208, 8, 185, 233}, "Volba  sériového  portu  pro  komunikaci  s  A/D  konvertorem");
  SerialPortLabel =
      placeLabel(page, "SerialPortLabel", QStringLiteral("XXXX"), {208, 248, 185, 41}, kValueLabel);
  setHintWithTooltip(SerialPortLabel, QStringLiteral("Port|Zde  uvidíte  zvolený  sériový  port"));

  DobaUkladani = placeRadioGroup(
      page, "DobaUkladani", "DOBA:",
      {QStringLiteral("      6   SEKUND"), QStringLiteral("    18   SEKUND"),
       QStringLiteral("    36   SEKUND"), QStringLiteral("    60   SEKUND"),
       QStringLiteral("  180   SEKUND"), QStringLiteral("  360   SEKUND"),
       QStringLiteral("  600   SEKUND"), QStringLiteral("1800   SEKUND"),
       QStringLiteral("3600   SEKUND")},
      {400, 8, 185, 233},
      "Volba  časového  intervalu  pro  ukládání  naměřených  dat  do  souboru  Kelvor.dat");
  DobaUkladaniLabel = placeLabel(page, "DobaUkladaniLabel", QStringLiteral("XXXX"),
                                 {400, 248, 185, 41}, kValueLabel);
  setHintWithTooltip(
      DobaUkladaniLabel,
      QStringLiteral(
          "Doba|Zde  uvidíte  zvolený  časový  interval  pro  ukládání  naměřených  dat"));

  PocetRadkuGroup = placeRadioGroup(
      page, "PocetRadkuGroup", "ŘÁDKŮ:",
      {QStringLiteral("  100   ŘÁDKŮ"), QStringLiteral("  180   ŘÁDKŮ"),
       QStringLiteral("  360   ŘÁDKŮ"), QStringLiteral("  600   ŘÁDKŮ"),
       QStringLiteral("1000   ŘÁDKŮ"), QStringLiteral("1800   ŘÁDKŮ"),
       QStringLiteral("3600   ŘÁDKŮ")},
      {592, 8, 185, 233}, "Volba  počtu  řádků  pro  přenos  naměřených  dat  do  počítače  PC");
  PocetRadkuLabel =
      placeLabel(page, "PocetRadkuLabel", QStringLiteral("XXXX"), {592, 248, 185, 41}, kValueLabel);

  Label11 = placeLabel(page, "Label11", QStringLiteral("KAL.  KONSTANTA:"), {64, 376, 257, 33},
                       {.text = kWhite, .pixelSize = 23, .bold = true});
  Button3 = new QPushButton(QStringLiteral("ZÁPIS DO  EEPROM"), page);
  place(Button3, "Button3", {520, 368, 257, 41});
  setHint(Button3, QStringLiteral("Tímto  tlačítkem  můžete  odstartovat  zápis  zvolených  "
                                  "hodnot  do  paměti  EEprom"));
  Vysledek_Zapisu_Label =
      placeLabel(page, "Vysledek_Zapisu_Label", QStringLiteral("XXXXXX"), {520, 320, 257, 36},
                 {.text = kYellow,
                  .background = kBlue,
                  .pixelSize = 23,
                  .bold = true,
                  .alignment = Qt::AlignCenter});
  setHint(Vysledek_Zapisu_Label,
          QStringLiteral("Zde  uvidíte  výsledek  operace  zápisu  do  paměti  EEprom  "
                         "dataloggeru"));

  connect(RychlostBaud, &RadioGroup::clicked, this, &TForm1::RychlostBaudClick);
  connect(SeriovyPort, &RadioGroup::clicked, this, &TForm1::SeriovyPortClick);
  connect(DobaUkladani, &RadioGroup::clicked, this, &TForm1::DobaUkladaniClick);
  connect(PocetRadkuGroup, &RadioGroup::clicked, this, &TForm1::PocetRadkuGroupClick);
  return page;
}

QWidget* TForm1::createServisPage() {
  return newPage(this, "SERVIS");
}

QWidget* TForm1::createAutorPage() {
  QWidget* page = newPage(this, "AUTOR");
  auto* panel = new QWidget(page);
  place(panel, "Panel2", {120, 40, 561, 377});
  QPalette white = panel->palette();
  white.setColor(QPalette::Window, Qt::white);
  panel->setPalette(white);
  panel->setAutoFillBackground(true);
  place(new AuthorPicture(panel), "Image1", {24, 24, 160, 200});
  const TextLook line{.text = Qt::black, .pixelSize = 19, .bold = true};
  placeLabel(panel, "AutorLabel", QStringLiteral("Autor:  vývojový  tým  Kelvor"),
             {208, 40, 337, 33}, line);
  placeLabel(panel, "FirmaLabel", QStringLiteral("Firma:  Dílna  měřicí  techniky  Voltov"),
             {208, 96, 337, 33}, line);
  placeLabel(panel, "TelefonLabel", QStringLiteral("Telefon:  +420 000 000 000"),
             {208, 152, 337, 33}, line);
  placeLabel(panel, "AdresaLabel", QStringLiteral("Adresa:  Akumulátorová 12,  000 00  Voltov"),
             {208, 208, 337, 33}, line);
  return page;
}

} // namespace kelvor
