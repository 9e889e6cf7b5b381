#include "form1.h"

#include "applicationtitle.h"
#include "helpviewer.h"
#include "hints.h"
#include "resourceinit.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kelvor {
namespace {
constexpr char kHelpContextProperty[] = "helpContext";
}

TForm1::TForm1(const FileLocations& locations, std::unique_ptr<OperatorDialogs> dialogs,
               QWidget* parent)
    : QMainWindow(parent), m_locations(locations),
      m_settings(locations.settingsFile().toStdString()),
      m_dialogs(dialogs ? std::move(dialogs) : std::make_unique<QtOperatorDialogs>(this)),
      m_hintTracker(new HintTracker(this)), m_helpViewer(new HelpViewer(this)) {
  kelvorInitResources();
  setWindowTitle(QStringLiteral("VÝSTUPNÍ  NAPĚTÍ  Z  ANALOGOVĚ - DIGITÁLNÍHO  PŘEVODNÍKU:"));
  setProperty(kHelpContextProperty, kHelpContext);
  QPalette grey = palette();
  grey.setColor(QPalette::Window, QColor(128, 128, 128));
  setPalette(grey);
  setAutoFillBackground(true);
  createMenu();
  createPages();
  qApp->installEventFilter(this);
}

TForm1::~TForm1() {
  qApp->removeEventFilter(this);
}

void TForm1::createPages() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  PageControl1 = new QTabWidget(central);
  PageControl1->setTabPosition(QTabWidget::South);
  METERS = createMetersPage();
  GRAF = createGrafPage();
  TABULKA = createTabulkaPage();
  PARAMETRY = createParametryPage();
  SERVIS = createServisPage();
  AUTOR = createAutorPage();
  const std::pair<QWidget*, const char*> pages[] = {
      {METERS, "Měřidla  pro  přímé  zobrazení  naměřených  hodnot"},
      {GRAF, "Grafické  znázornění  naměřených  hodnot  obsažených  v  databázové  tabulce"},
      {TABULKA, "Databázová  tabulka  s  naměřenými  hodnotami"},
      {PARAMETRY, "Nastavovací  panel  pro  volbu  proměnných  parametrů  programu"},
      {SERVIS, "Servisní  příkazy  pro  přímou  komunikaci  s  mikroprocesorem"},
      {AUTOR, "Zde  se  dovíte  základní  informace  o  autorovi  programu"},
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
}

bool TForm1::FormCloseQuery() {
  return m_dialogs->askYesNo(kApplicationTitle,
                             QStringLiteral("Opravdu  chcete ukončit program  Kelvor ???"),
                             OperatorDialogs::Icon::None);
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (FormCloseQuery())
    event->accept();
  else
    event->ignore();
}

void TForm1::Konec_ProgramuClick() {
  close();
}

void TForm1::N5Click() {
  m_helpViewer->showContents();
}

void TForm1::ShowHint(const QString& hint) {
  Panel1->setText(hint);
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

int TForm1::helpContextOfOpenMenu() const {
  auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  if (menu == nullptr)
    return 0;
  for (QAction* action = menu->activeAction(); action != nullptr;) {
    const int context = action->property(kHelpContextProperty).toInt();
    if (context != 0)
      return context;
    auto* owner = qobject_cast<QMenu*>(action->parent());
    action = owner != nullptr ? owner->menuAction() : nullptr;
  }
  return 0;
}

void TForm1::scaleToScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect available = screen->geometry();
  const double factor = available.width() / 800.0;
  for (QWidget* page : {METERS, GRAF, TABULKA, PARAMETRY, SERVIS, AUTOR}) {
    for (QWidget* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      const QRect g = child->geometry();
      child->setGeometry(qRound(g.x() * factor), qRound(g.y() * factor), qRound(g.width() * factor),
                         qRound(g.height() * factor));
      QFont font = child->font();
      if (font.pixelSize() > 0)
        font.setPixelSize(qMax(1, qRound(font.pixelSize() * factor)));
      else if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * factor);
      child->setFont(font);
    }
  }
  resize(available.size());
}

} // namespace kelvor
