#include "app/core/valuelists.h"
#include "app/form1.h"
#include "app/hints.h"
#include "app/pages/grafpage.h"
#include "app/pages/tabulkapage.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

#include <array>

namespace kelvor {
namespace {

QAction* addItem(QMenu* menu, const char* name, const char* caption, const char* hint,
                 int helpContext) {
  QAction* action = menu->addAction(QString::fromUtf8(caption));
  action->setObjectName(QString::fromLatin1(name));
  setHint(action, QString::fromUtf8(hint));
  if (helpContext != 0)
    action->setProperty(TForm1::kHelpContextProperty, helpContext);
  return action;
}

QMenu* addSubmenu(QWidget* owner, QMenu* parentMenu, QMenuBar* bar, const char* name,
                  const char* caption, const char* hint, int helpContext, QAction** action) {
  auto* menu = new QMenu(QString::fromUtf8(caption), owner);
  menu->setObjectName(QString::fromLatin1(name) + QStringLiteral("Menu"));
  *action = parentMenu != nullptr ? parentMenu->addMenu(menu) : bar->addMenu(menu);
  (*action)->setObjectName(QString::fromLatin1(name));
  setHint(*action, QString::fromUtf8(hint));
  if (helpContext != 0)
    (*action)->setProperty(TForm1::kHelpContextProperty, helpContext);
  return menu;
}

// A scale item, named and captioned by its entry in the scale list.
template <typename Scale>
QAction* addRadioItem(QMenu* menu, QActionGroup* group, const Scale& scale) {
  QAction* action = menu->addAction(QString::fromUtf8(scale.caption));
  action->setObjectName(QString::fromUtf8(scale.name));
  setHint(action, QString());
  action->setCheckable(true);
  group->addAction(action);
  return action;
}

} // namespace

void TForm1::createMenu() {
  QMenuBar* bar = menuBar();
  m_hintTracker->trackMenuBar(bar);

  QMenu* soubor = addSubmenu(this, nullptr, bar, "Soubor1", "&Soubor",
                             "Menu  pro  práci  s  textovými  ASCII  soubory", 10, &Soubor1);
  ExportASCII1 = addItem(
      soubor, "ExportASCII1", "&Export  ASCII",
      "Export  databázové  tabulky  s  naměřenými  daty  do  textového  ASCII  souboru", 11);
  Import_ASCII = addItem(soubor, "Import_ASCII", "&Import  ASCII", "", 12);
  soubor->addSeparator()->setObjectName(QStringLiteral("N7"));
  Konec_Programu = addItem(soubor, "Konec_Programu", "&Konec  Programu",
                           "Normální  ukončení  programu  Kelvor", 13);

  QMenu* mereni = addSubmenu(this, nullptr, bar, "M1", "&Měření",
                             "Příkazy  pro  zapínání  a  vypínání  měřícího  cyklu", 10, &M1);
  Mereni_Vypnuto =
      addItem(mereni, "Mereni_Vypnuto", "&Vypnuto", "Příkaz  pro  vypnutí  měřícího  cyklu", 21);
  Mereni_Zapnuto =
      addItem(mereni, "Mereni_Zapnuto", "&Zapnuto", "Příkaz  pro  zapnutí  měřícího  cyklu", 22);

  QMenu* tabulka = addSubmenu(this, nullptr, bar, "Tabulka1", "&Tabulka",
                              "Příkazy  pro  práci  s  databázovou  tabulkou  naměřených  hodnot",
                              10, &Tabulka1);
  Vymazat_data =
      addItem(tabulka, "Vymazat_data", "&Vymazat  data",
              "Vymazání  naměřených  dat  z  tabulky  -  Vaše  data  budou  zničena  !!!", 31);
  tabulka->addSeparator()->setObjectName(QStringLiteral("N6"));
  Vyber_Intervalu = addItem(
      tabulka, "Vyber_Intervalu", "Výběr  &Intervalu",
      "Tato  část  programu  je  určena  pro  výběr  zajímavého  intervalu  z  tabulky", 32);
  Hlavicka_Tabulky = addItem(tabulka, "Hlavicka_Tabulky", "&Hlavička  tabulky", "", 33);
  tabulka->addSeparator()->setObjectName(QStringLiteral("N3"));
  Tisk_tabulky = addItem(tabulka, "Tisk_tabulky", "&Tisk  tabulky",
                         "Tímto  příkazem  můžete  zobrazit  náhled  a  vytisknout  tabulku", 34);

  QMenu* graf = addSubmenu(this, nullptr, bar, "Graf1", "&Graf",
                           "Příkazy  pro  práci  s  grafem  naměřených  hodnot", 10, &Graf1);
  QMenu* parametry =
      addSubmenu(this, graf, nullptr, "Parametry_grafu", "&Parametry  grafu",
                 "Nastavování  parametrů  grafu  naměřených  hodnot", 41, &Parametry_grafu);
  QMenu* meritka = addSubmenu(this, parametry, nullptr, "Meritka_Grafu", "&Měřítka  grafu",
                              "Nastavení  měřítek  grafu  na  osách  X a Y", 0, &Meritka_Grafu);
  QMenu* osaCasu =
      addSubmenu(this, meritka, nullptr, "Osa_Casu", "Osa  &Času",
                 "Nastavení  měřítka  na  vodorovné  časové  ose  grafu", 0, &Osa_Casu);
  m_timeAxisGroup = new QActionGroup(this);
  const std::array<QAction**, kTimeAxisScales.size()> timeAxisItems{&Sca_X_060, &Sca_X_120,
                                                                    &Sca_X_300, &Sca_X_600};
  for (std::size_t i = 0; i < kTimeAxisScales.size(); ++i)
    *timeAxisItems[i] = addRadioItem(osaCasu, m_timeAxisGroup, kTimeAxisScales[i]);
  QMenu* osaNapeti =
      addSubmenu(this, meritka, nullptr, "Osa_Napeti", "Osa  &Napětí",
                 "Nastavení  měřítka  na  levé  svislé  napěťové  ose  grafu", 0, &Osa_Napeti);
  m_voltageAxisGroup = new QActionGroup(this);
  const std::array<QAction**, kVoltageAxisScales.size()> voltageAxisItems{&Sca_Y_15, &Sca_Y_03};
  for (std::size_t i = 0; i < kVoltageAxisScales.size(); ++i)
    *voltageAxisItems[i] = addRadioItem(osaNapeti, m_voltageAxisGroup, kVoltageAxisScales[i]);
  Barva_Krivky =
      addItem(parametry, "Barva_Krivky", "&Barva  křivky", "Nastavení  barvy  křivky  grafu", 0);
  Titulek_Grafu = addItem(parametry, "Titulek_Grafu", "&Titulek  grafu",
                          "Editace  hlavního  titulku  grafu", 0);
  // Beside the chart's own settings, ahead of the exports, which draw the reference too.
  connect(addItem(graf, "Referencni_Krivka", "&Referenční  křivka…",
                  "Zobrazení  referenční  křivky  z  dříve  exportovaného  ASCII  souboru  za  "
                  "křivkou  grafu",
                  45),
          &QAction::triggered, this, [this] { GRAF->Referencni_KrivkaClick(); });
  connect(addItem(graf, "Bez_Referencni_Krivky", "&Bez  referenční  křivky",
                  "Odstranění  referenční  křivky  z  grafu", 46),
          &QAction::triggered, this, [this] { GRAF->Bez_Referencni_KrivkyClick(); });
  graf->addSeparator()->setObjectName(QStringLiteral("N1"));
  Export_BMP = addItem(graf, "Export_BMP", "Export  *.&BMP",
                       "Export  naměřených  hodnot  do  *.BMP  souboru", 42);
  Export_WMF = addItem(graf, "Export_WMF", "Export  *.&WMF",
                       "Export  naměřených  hodnot  do  *.WMF  souboru", 43);
  graf->addSeparator()->setObjectName(QStringLiteral("N2"));
  Tisk_Grafu = addItem(graf, "Tisk_Grafu", "&Tisk  Grafu",
                       "Tímto  příkazem  můžete  zobrazit  náhled  a  vytisknout  graf", 44);

  QMenu* informace = addSubmenu(this, nullptr, bar, "N4", "&Informace",
                                "Dodatečné  informace  k  programu  Kelvor", 10, &N4);
  N5 = addItem(
      informace, "N5", "&Nápověda",
      "Tímto  příkazem  můžete  vyvolat  kontextově  orientovanou  nápovědu  k  programu  Kelvor",
      51);

  for (QMenu* menu :
       {soubor, mereni, tabulka, graf, parametry, meritka, osaCasu, osaNapeti, informace})
    m_hintTracker->trackMenu(menu);
}

void TForm1::connectMenu() {
  const std::pair<QAction*, void (TForm1::*)()> frameHandlers[] = {
      {Konec_Programu, &TForm1::Konec_ProgramuClick},
      {Mereni_Vypnuto, &TForm1::Mereni_VypnutoClick},
      {Mereni_Zapnuto, &TForm1::Mereni_ZapnutoClick},
      {N5, &TForm1::N5Click},
  };
  for (const auto& [item, handler] : frameHandlers)
    connect(item, &QAction::triggered, this, handler);
  const std::pair<QAction*, void (TabulkaPage::*)()> tableHandlers[] = {
      {ExportASCII1, &TabulkaPage::ExportASCII1Click},
      {Import_ASCII, &TabulkaPage::Import_ASCIIClick},
      {Vymazat_data, &TabulkaPage::Vymazat_dataClick},
      {Vyber_Intervalu, &TabulkaPage::Vyber_IntervaluClick},
      {Hlavicka_Tabulky, &TabulkaPage::Hlavicka_TabulkyClick},
      {Tisk_tabulky, &TabulkaPage::Tisk_tabulkyClick},
  };
  for (const auto& [item, handler] : tableHandlers)
    connect(item, &QAction::triggered, TABULKA, handler);
  GRAF->setScaleItems(m_timeAxisGroup, m_voltageAxisGroup);
  const std::pair<QAction*, void (GrafPage::*)()> chartHandlers[] = {
      {Sca_X_060, &GrafPage::Sca_X_060Click},       {Sca_X_120, &GrafPage::Sca_X_120Click},
      {Sca_X_300, &GrafPage::Sca_X_300Click},       {Sca_X_600, &GrafPage::Sca_X_600Click},
      {Sca_Y_15, &GrafPage::Sca_Y_15Click},         {Sca_Y_03, &GrafPage::Sca_Y_03Click},
      {Barva_Krivky, &GrafPage::Barva_KrivkyClick}, {Titulek_Grafu, &GrafPage::Titulek_GrafuClick},
      {Export_BMP, &GrafPage::Export_BMPClick},     {Export_WMF, &GrafPage::Export_WMFClick},
      {Tisk_Grafu, &GrafPage::Tisk_GrafuClick},
  };
  for (const auto& [item, handler] : chartHandlers)
    connect(item, &QAction::triggered, GRAF, handler);
  connect(GRAF, &GrafPage::statusShown, this, &TForm1::ShowHint);
}

} // namespace kelvor
