#pragma once

#include "app/core/profilefile.h"
#include "app/filelocations.h"
#include "app/operatordialogs.h"
#include "app/pages/autorpage.h"
#include "app/pages/grafpage.h"
#include "app/pages/pagehost.h"
#include "app/pages/tabulkapage.h"
#include "data/core/measurementtable.h"
#include "data/form7.h"
#include "instrument/core/eepromwrite.h"
#include "instrument/core/measuringcycle.h"

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QActionGroup;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTimer;

namespace kelvor {

class EventHandoff;
class HelpViewer;
class HintTracker;
class MaskEdit;
class RadioGroup;
class TCustomMultiBevel;
class TForm3;
class TForm7;
class TLed;
class TLevelMeter;
class TNeedleMeter;
class TProgressGauge;
class TSerialLine;

// The main window. It keeps the program's remembered choices and the measuring state as
// window-wide values, and is the frame around the pages: menu, tabs, hint line, help,
// start-up and shutdown. The menu's table and chart items run the handlers of the TABULKA and
// GRAF pages; its other handlers are split over app/ and instrument/ by concern.
class TForm1 : public QMainWindow, public PageHost {
  Q_OBJECT

public:
  static constexpr int kHelpContext = 10;
  // The property of a widget or menu item that holds its help context.
  static constexpr char kHelpContextProperty[] = "helpContext";
  // The terminal pane keeps this many of the newest lines.
  static constexpr int kTerminalLineLimit = 100000;

  // `locations` says where the settings file and the table live; `dialogs` answers the
  // operator's questions (the real dialogs when null).
  explicit TForm1(const FileLocations& locations,
                  std::unique_ptr<OperatorDialogs> dialogs = nullptr, QWidget* parent = nullptr);
  ~TForm1() override;

  // The table report form and the interval selection window, created after the main window.
  void attachForms(TForm3* form3, TForm7* form7);
  SettingsKeyAccess selectKey(const char* key);

  // Start-up, run once before the window is first shown.
  void FormCreate();
  // Shutdown, run once when the run ends.
  void FormDestroy();

  // Settings values.
  QString Stranka;
  QString SerialPort;
  int BaudRate = 0;
  QString KonstStr;
  std::uint16_t PocetRadku = 0;

  // The measuring cycle's counters, with the storage interval `Doba` and the minutes text
  // kept as `Minuty`.
  MeasuringCycle cycle;
  QString LastCommand;
  EepromWrite eeprom;

  MeasurementTable Table1;
  std::unique_ptr<TSerialLine> SerialLine1;

  // Scales the window, its controls and their fonts by the ratio of the screen's width to
  // the 800-pixel design and sizes the window to the screen (start-up's last layout step).
  void scaleTo(const QSize& screen);

  // Ends the run without the close question (a logout, a closed terminal, Ctrl-C).
  void closeWithoutQuestion();

  // Menu handlers.
  void Konec_ProgramuClick();
  void N5Click();
  void ShowHint(const QString& hint);

  // Parameters page handlers.
  void RychlostBaudClick();
  void SeriovyPortClick();
  void DobaUkladaniClick();
  void PocetRadkuGroupClick();
  void Button3Click();
  void Timer4Timer();

  // Logger protocol.
  void Posli_Servisni_Prikaz(const QString& command);
  void SerialLine1RxClusterEvent();

  // Measuring cycle.
  void Mereni_ZapnutoClick();
  void Mereni_VypnutoClick();
  void Timer1Timer();
  void Timer2Timer();
  void Timer3Timer();
  void Val_Mul_ButtonClick();

  // Service terminal.
  void Zer_Mem_ButtonClick();
  void SendButtonClick();
  void Button2Click();

  // Controls that start-up, shutdown and the tests reach.
  QTabWidget* PageControl1 = nullptr;
  QWidget* METERS = nullptr;
  GrafPage* GRAF = nullptr;
  TabulkaPage* TABULKA = nullptr;
  QWidget* PARAMETRY = nullptr;
  QWidget* SERVIS = nullptr;
  AutorPage* AUTOR = nullptr;
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
  MaskEdit* KonstantaEdit = nullptr;
  QPushButton* Button3 = nullptr;
  TProgressGauge* Gauge2 = nullptr;
  QLabel* Vysledek_Zapisu_Label = nullptr;

  TCustomMultiBevel* MultiBevel1 = nullptr;
  TCustomMultiBevel* MultiBevel2 = nullptr;
  TCustomMultiBevel* MultiBevel3 = nullptr;
  TCustomMultiBevel* MultiBevel4 = nullptr;
  TNeedleMeter* NeedleMeter1 = nullptr;
  TLevelMeter* LevelMeter1 = nullptr;
  QLabel* VoltageLabel = nullptr;
  QLabel* TimeLabel = nullptr;

  QLineEdit* PrikazEdit = nullptr;
  QPlainTextEdit* TerminalMemo = nullptr;
  TLed* Servis_Measure_Led = nullptr;
  QPushButton* SendButton = nullptr;
  QPushButton* Button2 = nullptr;
  QPushButton* Val_Mul_Button = nullptr;
  QPushButton* Zer_Mem_Button = nullptr;

  QTimer* Timer1 = nullptr;
  QTimer* Timer2 = nullptr;
  QTimer* Timer3 = nullptr;
  QTimer* Timer4 = nullptr;

  HelpViewer* helpViewer() const { return m_helpViewer; }
  HintTracker* hintTracker() const { return m_hintTracker; }
  OperatorDialogs& dialogs() override { return *m_dialogs; }
  bool runCommand(const std::function<void()>& command) override;
  void showError(const QString& message) override;
  ProfileFile& settingsFile() { return m_settings; }

protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  bool FormCloseQuery();
  void openTable();
  void createSerialLine();
  void createTimers();
  void showRestingLook(const QColor& background, const QString& caption);
  void showSwitchedOffLook();
  void showReadingLook();
  void showNoReplyLook();
  void setMeasuringLeds(bool on);
  void handlePresentValue(const std::string& field);
  void handleReadoutRow(const std::string& field);
  void appendRecord(std::optional<int> time, const std::string& minutes,
                    const std::string& voltage);
  void appendTerminalLine(const std::string& text);
  void sendServiceCommand(std::string_view command);
  void createMenu();
  void connectMenu();
  void createPages();
  QWidget* createMetersPage();
  QWidget* createParametryPage();
  QWidget* createServisPage();

  void writeFirstSettings();
  void readSettings();
  void writeSettings();
  void showStoredPage();
  void takeShutdownValues();
  void scaleToScreen();
  void showHelpForFocus();
  int helpContextOfOpenMenu() const;

  FileLocations m_locations;
  ProfileFile m_settings;
  std::shared_ptr<EventHandoff> m_handoff;
  std::unique_ptr<OperatorDialogs> m_dialogs;
  HintTracker* m_hintTracker = nullptr;
  HelpViewer* m_helpViewer = nullptr;
  QActionGroup* m_timeAxisGroup = nullptr;
  QActionGroup* m_voltageAxisGroup = nullptr;
  bool m_closeWithoutQuestion = false;

  bool m_destroyed = false;
};

} // namespace kelvor
