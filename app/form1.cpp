#include "app/form1.h"

#include "app/applicationtitle.h"
#include "app/core/settingskeys.h"
#include "app/core/valuelists.h"
#include "app/cutoffmonitor.h"
#include "app/designfonts.h"
#include "app/desktop/desktopbuses.h"
#include "app/desktop/desktopnotifier.h"
#include "app/desktop/sleepinhibitor.h"
#include "app/helpviewer.h"
#include "app/hints.h"
#include "app/pages/analyzapage.h"
#include "app/pages/autorpage.h"
#include "app/pages/grafpage.h"
#include "app/pages/meterspage.h"
#include "app/pages/parametrypage.h"
#include "app/pages/servispage.h"
#include "app/pages/tabulkapage.h"
#include "app/portswindow.h"
#include "app/resourceinit.h"
#include "data/form7.h"
#include "serial/qt/qteventhandoff.h"
#include "serial/serialline.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cstdio>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace kelvor {

TForm1::TForm1(const FileLocations& locations, std::unique_ptr<OperatorDialogs> dialogs,
               QWidget* parent)
    : QMainWindow(parent), m_locations(locations),
      m_settings(locations.settingsFile().toStdString()),
      m_dialogs(dialogs ? std::move(dialogs) : std::make_unique<QtOperatorDialogs>(this)),
      m_hintTracker(new HintTracker(this)), m_helpViewer(new HelpViewer(this)) {
  kelvorInitResources();
  substituteDesignFaces();
  setWindowTitle(QStringLiteral("VÝSTUPNÍ  NAPĚTÍ  Z  ANALOGOVĚ - DIGITÁLNÍHO  PŘEVODNÍKU:"));
  setProperty(kHelpContextProperty, kHelpContext);
  QPalette grey = palette();
  grey.setColor(QPalette::Window, QColor(128, 128, 128));
  setPalette(grey);
  setAutoFillBackground(true);
  openTable();
  createMeasuring();
  createMenu();
  createPages();
  connectMenu();
  qApp->installEventFilter(this);
}

TForm1::~TForm1() {
  qApp->removeEventFilter(this);
  // The summary reads the session's interval; it goes before the session, the alarm with it.
  delete std::exchange(ANALYZA, nullptr);
  m_cutoff.reset();
  // The port's worker hands its last events to the pages; it goes before them.
  m_measuring.reset();
  // The chart and the grid watch the table; they go before it, ahead of the other controls.
  delete std::exchange(TABULKA, nullptr);
  delete std::exchange(GRAF, nullptr);
  try {
    Table1.close();
  } catch (const std::exception& error) {
    qWarning("%s", error.what());
  }
}

void TForm1::attachForms(TForm3* form3, TForm7* form7) {
  form7->setProperty(kHelpContextProperty, TForm7::kHelpContext);
  TABULKA->attachForms(form3, form7);
}

// The interval window's keys of section Select, read with a fallback and written at once;
// a key that cannot be written is reported, and the keys after it are not written.
SettingsKeyAccess TForm1::selectKey(const char* key) {
  SettingsKeyAccess access;
  access.read = [this, key](const std::string& fallback) {
    return m_settings.readString(settings::kSelect, key, fallback);
  };
  access.write = [this, key](const std::string& value) {
    return runCommand(
        [this, key, &value] { m_settings.writeString(settings::kSelect, key, value); });
  };
  return access;
}

void TForm1::openTable() {
  try {
    Table1.open(m_locations.tableFile().toStdString());
  } catch (const std::exception& error) {
    showError(QString::fromStdString(error.what()));
  }
  // Nothing is said here: the file's trouble was told above, and an event that cannot be
  // stored is told when it happens.
  try {
    m_events.open(m_locations.tableFile().toStdString());
  } catch (const std::exception&) {
    m_events.close();
  }
}

// The line reads the [Devices] section: which device stands for which port name.
void TForm1::createMeasuring() {
  m_handoff = std::make_shared<QtEventHandoff>();
  auto line = std::make_unique<TSerialLine>(m_handoff);
  line->setDeviceMap(readDeviceMap(m_settings));
  m_measuring = std::make_unique<MeasuringController>(Table1, std::move(line));
  connect(m_measuring.get(), &MeasuringController::storeFailed, this, &TForm1::showError);
  m_cutoff =
      std::make_unique<CutoffMonitor>(*m_measuring, m_events, [this] { Mereni_VypnutoClick(); });
  connect(m_cutoff.get(), &CutoffMonitor::eventNotStored, this, &TForm1::showError);
  connect(m_cutoff.get(), &CutoffMonitor::alarmChanged, this, &TForm1::showAlarmInStatusLine);
  createDesktopLinks();
}

// A night's discharge must not end in a suspended machine, and the cut-off alarm must reach an
// operator whose window is hidden behind others.
void TForm1::createDesktopLinks() {
  m_desktopBuses = std::make_unique<DesktopBuses>(DesktopBuses::ofLogin());
  m_sleepInhibitor = std::make_unique<SleepInhibitor>(
      *m_desktopBuses, QStringLiteral("Kelvor měří akumulátor; uspání by přerušilo záznam."));
  m_notifier = std::make_unique<DesktopNotifier>(*m_desktopBuses);
  connect(m_measuring.get(), &MeasuringController::measuringSwitched, m_sleepInhibitor.get(),
          [inhibitor = m_sleepInhibitor.get()](bool on) {
            if (on) {
              inhibitor->hold();
            } else {
              inhibitor->release();
            }
          });
  connect(m_cutoff.get(), &CutoffMonitor::cutoffAlarmRaised, this,
          [notifier = m_notifier.get()](const QString& body) {
            notifier->notify(QStringLiteral("Kelvor"), body);
          });
}

void TForm1::Mereni_ZapnutoClick() {
  m_measuring->switchOn();
}

void TForm1::Mereni_VypnutoClick() {
  m_measuring->switchOff();
}

bool TForm1::runCommand(const std::function<void()>& command) {
  try {
    command();
    return true;
  } catch (const std::exception& error) {
    showError(QString::fromStdString(error.what()));
    return false;
  }
}

void TForm1::showError(const QString& message) {
  // After a shutdown signal nobody may be there to click a message away (a logout, a closed
  // terminal), and a box would hold the program alive; the message goes to the error stream.
  if (m_closeWithoutQuestion) {
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    return;
  }
  m_dialogs->showMessage(kApplicationTitle, message, OperatorDialogs::Icon::Error);
}

void TForm1::createPages() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  PageControl1 = new QTabWidget(central);
  PageControl1->setTabPosition(QTabWidget::South);
  METERS = new MetersPage(*m_measuring, this);
  GRAF = new GrafPage(*this, Table1, *m_measuring, this);
  TABULKA = new TabulkaPage(*this, Table1, *m_measuring, this);
  PARAMETRY = new ParametryPage(*this, *m_measuring, this);
  SERVIS = new ServisPage(*this, *m_measuring, Table1, this);
  connect(TABULKA, &TabulkaPage::recordsChanged, GRAF, &GrafPage::chartReread);
  connect(SERVIS, &ServisPage::terminalCleared, PARAMETRY, &ParametryPage::clearWriteProgress);
  AUTOR = new AutorPage(this);
  createAnalysis();
  const std::pair<QWidget*, const char*> pages[] = {
      {METERS, "Měřidla  pro  přímé  zobrazení  naměřených  hodnot"},
      {GRAF, "Grafické  znázornění  naměřených  hodnot  obsažených  v  databázové  tabulce"},
      {TABULKA, "Databázová  tabulka  s  naměřenými  hodnotami"},
      {PARAMETRY, "Nastavovací  panel  pro  volbu  proměnných  parametrů  programu"},
      {SERVIS, "Servisní  příkazy  pro  přímou  komunikaci  s  mikroprocesorem"},
      {AUTOR, "Zde  se  dovíte  základní  informace  o  autorovi  programu"},
      {ANALYZA, "Souhrn  měření,  hlídání  odpojovacího  napětí  a  výpočet  kapacity"},
  };
  for (const auto& [page, hint] : pages) {
    const int index = PageControl1->addTab(page, page->objectName());
    PageControl1->setTabToolTip(index, QString());
    setHint(page, QString::fromUtf8(hint));
  }
  // The page control was designed showing SERVIS.
  PageControl1->setCurrentWidget(SERVIS);
  layout->addWidget(PageControl1, 1);

  Panel1 = new QLabel(QStringLiteral("Kontextově  orientovaná  nápověda  k programu "), central);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFixedHeight(46);
  Panel1->setAutoFillBackground(true);
  Panel1->setAlignment(Qt::AlignCenter);
  QPalette panelPalette = Panel1->palette();
  panelPalette.setColor(QPalette::Window, Qt::black);
  panelPalette.setColor(QPalette::WindowText, QColor(0, 255, 0));
  Panel1->setPalette(panelPalette);
  layout->addWidget(Panel1);
  setCentralWidget(central);
  // A port that would not open is said once on the status line, as a hint is (a pending alarm
  // keeps its place); the next hint replaces it.
  // Queued, so that start-up ends with the designed caption and a reason it met follows.
  connect(
      m_measuring.get(), &MeasuringController::portReasonChanged, Panel1,
      [this](const QString& reason) {
        if (!reason.isEmpty())
          ShowHint(reason);
      },
      Qt::QueuedConnection);
}

bool TForm1::FormCloseQuery() {
  return m_dialogs->askYesNo(kApplicationTitle,
                             QStringLiteral("Opravdu  chcete ukončit program  Kelvor ???"),
                             OperatorDialogs::Icon::None);
}

void TForm1::closeWithoutQuestion() {
  m_closeWithoutQuestion = true;
  close();
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (m_closeWithoutQuestion || FormCloseQuery())
    event->accept();
  else
    event->ignore();
}

void TForm1::Konec_ProgramuClick() {
  close();
}

void TForm1::Pripojeni_PortuClick() {
  if (m_portsWindow == nullptr) {
    m_portsWindow = new PortsWindow(*this, m_settings, m_measuring->serialLine(), {}, this);
    m_portsWindow->setProperty(kHelpContextProperty, PortsWindow::kHelpContext);
  }
  m_portsWindow->refreshDevices();
  m_portsWindow->show();
  m_portsWindow->raise();
  m_portsWindow->activateWindow();
}

void TForm1::N5Click() {
  m_helpViewer->showContents();
}

void TForm1::ShowHint(const QString& hint) {
  // The alarm stays in sight until the operator acknowledges it. The window's end moves the
  // pointer over controls after the alarm has gone.
  if (m_cutoff && m_cutoff->alarmPending())
    return;
  Panel1->setText(hint);
}

void TForm1::createAnalysis() {
  ANALYZA = new AnalyzaPage(Table1, *m_measuring, *m_cutoff, m_events, this);
  connect(TABULKA, &TabulkaPage::recordsChanged, this, &TForm1::forgetEventsOfClearedTable);
  // The summary weighs the run against the curve the chart lays behind it.
  connect(GRAF, &GrafPage::referenceChanged, ANALYZA,
          [this] { ANALYZA->setReference(GRAF->reference()); });
}

// The moments noted belong to the records that were deleted with them.
void TForm1::forgetEventsOfClearedTable() {
  if (!Table1.isOpen() || Table1.recordCount() > 0)
    return;
  runCommand([this] { m_events.clear(); });
  ANALYZA->reloadEvents();
}

void TForm1::showAlarmInStatusLine(bool pending) {
  QPalette palette = Panel1->palette();
  palette.setColor(QPalette::WindowText, pending ? QColor(255, 0, 0) : QColor(0, 255, 0));
  Panel1->setPalette(palette);
  Panel1->setText(pending ? m_cutoff->alarmText() : m_hintTracker->currentHint());
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1 &&
      watched->isWidgetType()) {
    showHelpForFocus();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

// The help key opens the context of the highlighted menu item (or of the nearest enclosing
// item that has one), otherwise that of the active window.
void TForm1::showHelpForFocus() {
  int context = helpContextOfOpenMenu();
  if (context == 0) {
    for (QWidget* w = QApplication::activeWindow(); w != nullptr && context == 0;
         w = w->parentWidget())
      context = w->property(kHelpContextProperty).toInt();
  }
  m_helpViewer->showContext(context != 0 ? context : kHelpContext);
}

namespace {

// The highlighted item that opened a submenu, and the popup it stands in (none for the
// menu bar).
struct OpeningItem {
  QAction* item = nullptr;
  const QMenu* popup = nullptr;
};

OpeningItem openingItemOf(const QMenu* menu, const QMenuBar* bar) {
  if (bar != nullptr && bar->activeAction() != nullptr && bar->activeAction()->menu() == menu)
    return {bar->activeAction(), nullptr};
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    const auto* popup = qobject_cast<const QMenu*>(widget);
    if (popup != nullptr && popup != menu && popup->isVisible() &&
        popup->activeAction() != nullptr && popup->activeAction()->menu() == menu)
      return {popup->activeAction(), popup};
  }
  return {};
}

int helpContextOf(const QAction* item) {
  return item != nullptr ? item->property(TForm1::kHelpContextProperty).toInt() : 0;
}

} // namespace

// The open popups, innermost first: each one's highlighted item, then the item that opened
// it, up to the menu bar. Each popup is visited once, so the walk ends whatever the menus do.
int TForm1::helpContextOfOpenMenu() const {
  const QMenu* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  if (menu == nullptr)
    return 0;
  if (const int context = helpContextOf(menu->activeAction()); context != 0)
    return context;
  std::set<const QMenu*> visited;
  while (menu != nullptr && visited.insert(menu).second) {
    const OpeningItem opener = openingItemOf(menu, menuBar());
    if (const int context = helpContextOf(opener.item); context != 0)
      return context;
    menu = opener.popup;
  }
  return 0;
}

} // namespace kelvor
