#pragma once

#include "app/core/profilefile.h"
#include "app/filelocations.h"
#include "app/operatordialogs.h"
#include "app/pages/pagehost.h"
#include "core/designscale.h"
#include "data/core/eventlog.h"
#include "data/core/measurementtable.h"
#include "data/form7.h"
#include "instrument/measuringcontroller.h"

#include <QFont>
#include <QMainWindow>
#include <QPointer>
#include <QRect>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QTabWidget;

namespace kelvor {

class AnalyzaPage;
class AutorPage;
class DesktopBuses;
class DesktopNotifier;
class SleepInhibitor;
class CutoffMonitor;
struct SettingsValues;
class EventHandoff;
class GrafPage;
class HelpViewer;
class HintTracker;
class MetersPage;
class ParametryPage;
class PortsWindow;
class ServisPage;
class TabulkaPage;
class TForm3;
class TForm7;

// The main window: the frame of menu, page tabs and status line around the pages, with the
// help, the start-up and the shutdown. The pages own their controls and handlers; the
// measuring controller owns the link to the logger, and the pages listen to it.
class TForm1 : public QMainWindow, public PageHost {
  Q_OBJECT

public:
  static constexpr int kHelpContext = 10;
  // The property of a widget or menu item that holds its help context.
  static constexpr char kHelpContextProperty[] = "helpContext";

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

  MeasurementTable Table1;

  // Sizes the window to `size`, a screen's size, and scales its pages to it (start-up's last
  // layout step).
  void scaleTo(const QSize& size);
  // The factor the pages are scaled by: the ratio of the screen's width to the 800-pixel
  // design, less where the window's height for the pages would not hold the design whole.
  double scaleFactor() const { return m_scale; }

  // Ends the run without the close question (a logout, a closed terminal, Ctrl-C).
  void closeWithoutQuestion();

  // Menu handlers.
  void Konec_ProgramuClick();
  void N5Click();
  // Soubor's "Připojení  portů…": the window that maps the ports to the devices present.
  void Pripojeni_PortuClick();
  PortsWindow* portsWindow() const { return m_portsWindow; }
  void ShowHint(const QString& hint);

  // Measuring cycle.
  void Mereni_ZapnutoClick();
  void Mereni_VypnutoClick();

  // The tabs, each a page that owns its controls, and the status line; the screenshot tool
  // and the tests reach them.
  QTabWidget* PageControl1 = nullptr;
  MetersPage* METERS = nullptr;
  GrafPage* GRAF = nullptr;
  TabulkaPage* TABULKA = nullptr;
  ParametryPage* PARAMETRY = nullptr;
  ServisPage* SERVIS = nullptr;
  AutorPage* AUTOR = nullptr;
  AnalyzaPage* ANALYZA = nullptr;
  QLabel* Panel1 = nullptr;

  HelpViewer* helpViewer() const { return m_helpViewer; }
  HintTracker* hintTracker() const { return m_hintTracker; }
  OperatorDialogs& dialogs() override { return *m_dialogs; }
  bool runCommand(const std::function<void()>& command) override;
  void showError(const QString& message) override;
  ProfileFile& settingsFile() { return m_settings; }
  MeasuringController& measuring() const { return *m_measuring; }
  // Raises cutoffAlarmRaised(body) for the desktop's notifier.
  CutoffMonitor& cutoffMonitor() const { return *m_cutoff; }
  EventLog& events() { return m_events; }

protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  // The menu's items, named as designed; the tests find them by these names.
  QAction* Soubor1 = nullptr;
  QAction* ExportASCII1 = nullptr;
  QAction* Import_ASCII = nullptr;
  QAction* Pripojeni_Portu = nullptr;
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

  bool FormCloseQuery();
  void openTable();
  void createMeasuring();
  void createDesktopLinks();
  void createMenu();
  void connectMenu();
  void createPages();
  void createAnalysis();
  void showAlarmInStatusLine(bool pending);
  void forgetEventsOfClearedTable();

  SettingsValues readSettings();
  void takeSettings(const SettingsValues& values);
  void resumeMinutes(const SettingsValues& values);
  SettingsValues collectSettings();
  void storePendingRecord();
  void showStoredPage();
  void scaleToScreen();
  void takeDesign();
  void scalePages();
  int roomForPages() const;
  void scaleFrame(double factor);
  void applyScale(double factor, int left);
  void showHelpForFocus();
  int helpContextOfOpenMenu() const;

  FileLocations m_locations;
  ProfileFile m_settings;
  std::shared_ptr<EventHandoff> m_handoff;
  // Declared after Table1, so it goes before the table it stores into.
  std::unique_ptr<MeasuringController> m_measuring;
  // The cut-off moments, in the table's file.
  EventLog m_events;
  std::unique_ptr<CutoffMonitor> m_cutoff;
  std::unique_ptr<DesktopBuses> m_desktopBuses;
  std::unique_ptr<SleepInhibitor> m_sleepInhibitor;
  std::unique_ptr<DesktopNotifier> m_notifier;
  std::unique_ptr<OperatorDialogs> m_dialogs;
  HintTracker* m_hintTracker = nullptr;
  HelpViewer* m_helpViewer = nullptr;
  PortsWindow* m_portsWindow = nullptr;
  QActionGroup* m_timeAxisGroup = nullptr;
  QActionGroup* m_voltageAxisGroup = nullptr;
  bool m_closeWithoutQuestion = false;

  // The designed place and font of every control on the pages, taken before the first
  // scaling; every later scaling starts from them, so the window can be scaled again when
  // its size changes.
  struct PlacedDesign {
    QPointer<QWidget> control;
    QRect geometry;
    QFont font;
  };
  std::vector<PlacedDesign> m_design;
  QFont m_designTabFont;
  QFont m_designPanelFont;
  int m_designPanelHeight = 0;
  int m_designHeight = 0;
  double m_scale = 1.0;
  int m_screenWidth = kDesignWidth;
  bool m_scaling = false;

  bool m_destroyed = false;
};

} // namespace kelvor
