#pragma once

#include "filelocations.h"
#include "operatordialogs.h"
#include "profilefile.h"

#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;

namespace kelvor {

class HelpViewer;
class HintTracker;
class RadioGroup;

// The main window. It keeps the program's remembered choices and the measuring state as
// window-wide values; its handlers are split over app/ and instrument/ by concern.
class TForm1 : public QMainWindow {
  Q_OBJECT

public:
  static constexpr int kHelpContext = 10;

  // `locations` says where the settings file and the table live; `dialogs` answers the
  // operator's questions (the real dialogs when null).
  explicit TForm1(const FileLocations& locations,
                  std::unique_ptr<OperatorDialogs> dialogs = nullptr, QWidget* parent = nullptr);
  ~TForm1() override;

  // Start-up, run once before the window is first shown.
  void FormCreate();
  // Shutdown, run once when the run ends.
  void FormDestroy();

  // Settings values.
  QString HlavickaTab;
  std::uint16_t Doba = 0;
  int ScaleX = 0;
  int ScaleY = 0;
  QString Titulek;
  QString Barva;
  QString Stranka;
  QString SerialPort;
  int BaudRate = 0;
  QString Minuty;
  QString KonstStr;
  std::uint16_t PocetRadku = 0;

  // The values of the parameters page's items.
  static int baudRateOfItem(int item);
  static QString portNameOfItem(int item);
  static int portItemOf(const QString& name);
  static int secondsOfItem(int item);
  static int rowsOfItem(int item);

  // Menu handlers.
  void Konec_ProgramuClick();
  void N5Click();
  void ShowHint(const QString& hint);

  // Parameters page handlers.
  void RychlostBaudClick();
  void SeriovyPortClick();
  void DobaUkladaniClick();
  void PocetRadkuGroupClick();

  // Controls that start-up, shutdown and the tests reach.
  QTabWidget* PageControl1 = nullptr;
  QWidget* METERS = nullptr;
  QWidget* GRAF = nullptr;
  QWidget* TABULKA = nullptr;
  QWidget* PARAMETRY = nullptr;
  QWidget* SERVIS = nullptr;
  QWidget* AUTOR = nullptr;
  QLabel* Panel1 = nullptr;

  QAction* Soubor1 = nullptr;
  QAction* ExportASCII1 = nullptr;
  QAction* Import_ASCII = nullptr;
  QAction* Konec_Programu = nullptr;
  QAction* M1 = nullptr;
  QAction* Mereni_Vypnuto = nullptr;
  QAction* Mereni_Zapnuto = nullptr;
  QAction* Tabulka1 = nullptr;
  QAction* Vymazat_data = nullptr;
  QAction* Vyber_Intervalu = nullptr;
  QAction* Hlavicka_Tabulky = nullptr;
  QAction* Tisk_tabulky = nullptr;
  QAction* Graf1 = nullptr;
  QAction* Parametry_grafu = nullptr;
  QAction* Meritka_Grafu = nullptr;
  QAction* Osa_Casu = nullptr;
  QAction* Osa_Napeti = nullptr;
  QAction* Sca_X_060 = nullptr;
  QAction* Sca_X_120 = nullptr;
  QAction* Sca_X_300 = nullptr;
  QAction* Sca_X_600 = nullptr;
  QAction* Sca_Y_15 = nullptr;
  QAction* Sca_Y_03 = nullptr;
  QAction* Barva_Krivky = nullptr;
  QAction* Titulek_Grafu = nullptr;
  QAction* Export_BMP = nullptr;
  QAction* Export_WMF = nullptr;
  QAction* Tisk_Grafu = nullptr;
  QAction* N4 = nullptr;
  QAction* N5 = nullptr;

  RadioGroup* RychlostBaud = nullptr;
  QLabel* RychlostLabel = nullptr;
  RadioGroup* SeriovyPort = nullptr;
  QLabel* SerialPortLabel = nullptr;
  RadioGroup* DobaUkladani = nullptr;
  QLabel* DobaUkladaniLabel = nullptr;
  RadioGroup* PocetRadkuGroup = nullptr;
  QLabel* PocetRadkuLabel = nullptr;
  QLabel* Label11 = nullptr;
  QPushButton* Button3 = nullptr;
  QLabel* Vysledek_Zapisu_Label = nullptr;

  HelpViewer* helpViewer() const { return m_helpViewer; }
  HintTracker* hintTracker() const { return m_hintTracker; }
  OperatorDialogs& dialogs() { return *m_dialogs; }
  ProfileFile& settingsFile() { return m_settings; }

protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  bool FormCloseQuery();
  void createMenu();
  void createPages();
  QWidget* createMetersPage();
  QWidget* createGrafPage();
  QWidget* createTabulkaPage();
  QWidget* createParametryPage();
  QWidget* createServisPage();
  QWidget* createAutorPage();

  void readSettings();
  void writeSettings();
  void markScaleItems();
  void showStoredPage();
  void takeShutdownValues();
  void scaleToScreen();
  void showHelpForFocus();
  int helpContextOfOpenMenu() const;

  FileLocations m_locations;
  ProfileFile m_settings;
  std::unique_ptr<OperatorDialogs> m_dialogs;
  HintTracker* m_hintTracker = nullptr;
  HelpViewer* m_helpViewer = nullptr;
  QActionGroup* m_timeAxisGroup = nullptr;
  QActionGroup* m_voltageAxisGroup = nullptr;
  bool m_created = false;
  bool m_destroyed = false;
};

} // namespace kelvor
