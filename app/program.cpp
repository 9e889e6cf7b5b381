#include "app/program.h"

#include "app/applicationtitle.h"
#include "app/core/settingskeys.h"
#include "app/form1.h"
#include "app/shutdownsignals.h"
#include "data/form3.h"
#include "data/form7.h"

#include <QApplication>
#include <QDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <set>

namespace kelvor {
namespace {

// Nobody may be there to click a start-up message away (a logout, a closed terminal): the
// open dialogs close as their escape would close them, innermost first, and start-up goes
// on to the shutdown instead of waiting in their event loops.
void closeOpenDialogs() {
  std::set<const QWidget*> closed;
  while (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
    if (!closed.insert(dialog).second)
      break;
    dialog->reject();
  }
}

} // namespace

Program::Program(const FileLocations& locations, std::unique_ptr<OperatorDialogs> dialogs,
                 Host host, const std::function<void(TForm1&)>& beforeStartUp)
    : m_locations(locations) {
  // First of all, so that a signal during start-up (a message box of start-up waits for a
  // click) still ends the run through the shutdown.
  if (host == Host::Operator) {
    catchShutdownSignals();
    prepareApplication();
  }
  m_form1 = std::make_unique<TForm1>(m_locations, std::move(dialogs));
  if (m_shutdownRequested)
    m_form1->closeWithoutQuestion();
  if (beforeStartUp)
    beforeStartUp(*m_form1);
  m_form1->FormCreate();
  m_form3 = std::make_unique<TForm3>();
  m_form7 = std::make_unique<TForm7>(m_form1->selectKey(settings::kZacatek),
                                     m_form1->selectKey(settings::kKonec), m_form1.get());
  m_form1->attachForms(m_form3.get(), m_form7.get());
  m_built = true;
}

Program::~Program() = default;

void Program::catchShutdownSignals() {
  m_shutdownSignals = std::make_unique<ShutdownSignals>();
  QObject::connect(m_shutdownSignals.get(), &ShutdownSignals::shutdownRequested,
                   m_shutdownSignals.get(), [this] { onShutdownSignal(); });
}

void Program::prepareApplication() {
  QApplication::setApplicationName(kApplicationTitle);
  // Qt's own dialogs speak Czech like the rest of the program.
  auto* qtTranslator = new QTranslator(qApp);
  if (qtTranslator->load(QLocale(QLocale::Czech), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(qtTranslator);
}

void Program::onShutdownSignal() {
  if (m_built) {
    m_form1->closeWithoutQuestion();
    return;
  }
  // During start-up the signal can only be handled in the event loop of a start-up dialog.
  // Start-up runs to its end, its messages going to the error stream, and the run ends
  // through the shutdown without entering the event loop.
  m_shutdownRequested = true;
  if (m_form1)
    m_form1->closeWithoutQuestion();
  closeOpenDialogs();
}

void Program::show() {
  m_form1->show();
}

int Program::run() {
  int result = 0;
  if (!m_shutdownRequested) {
    show();
    // For tests that signal the program: the main window is up and its event loop runs.
    if (qEnvironmentVariableIsSet("KELVOR_REPORT_READY"))
      QTimer::singleShot(0, [] { std::fputs("kelvor: ready\n", stderr); });
    result = QApplication::exec();
  }
  shutdown();
  return result;
}

void Program::shutdown() {
  m_form1->FormDestroy();
}

} // namespace kelvor
