#include "tests/crash/victim.h"

#include "app/form1.h"
#include "app/pages/servispage.h"
#include "app/pages/tabulkapage.h"
#include "app/program.h"
#include "data/form7.h"
#include "serial/serialline.h"
#include "tests/crash/victimprotocol.h"
#include "tests/support/pagecontrols.h"
#include "tests/support/scripteddialogs.h"
#include "widgets/maskedit.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <memory>

namespace victim {
namespace {

using kelvor::TForm1;

// One line on standard output in one write, so that a kill never leaves half a line and
// nothing waits in a buffer when the kill comes.
void report(const QString& line) {
  const QByteArray bytes = line.toUtf8() + '\n';
  qsizetype written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(STDOUT_FILENO, bytes.constData() + written,
                              static_cast<std::size_t>(bytes.size() - written));
    if (n <= 0)
      ::_exit(2);
    written += n;
  }
}

// The answers of a scripted operator; every message the program shows is passed on to the
// parent, which treats it as a failure of the run.
class ReportingDialogs : public ScriptedDialogs {
public:
  void showMessage(const QString& title, const QString& text, Icon icon) override {
    report(QLatin1String(kMessage) +
           QString(text).replace(QLatin1Char('\n'), QLatin1String(" / ")));
    ScriptedDialogs::showMessage(title, text, icon);
  }
};

// The main window with its report form and interval window, wired as the program entry
// wires them, in the folder the parent prepared.
struct Program {
  explicit Program(const QString& folder)
      : program(kelvor::FileLocations::forExecutableDir(folder), keptDialogs(dialogs)),
        form(&program.form()), form7(&program.form7()) {}

  ReportingDialogs* dialogs = nullptr;
  kelvor::Program program;
  TForm1* form;
  kelvor::TForm7* form7;
};

QString storedLine(const kelvor::MeasurementTable& table) {
  const QChar sep = kFieldSeparator;
  const kelvor::MeasurementRecord last = table.record(table.recordCount() - 1);
  const QString time =
      last.time ? QString::fromStdString(kelvor::timeToStorageText(*last.time)) : QString();
  return QLatin1String(kStored) + QString::number(table.recordCount()) + sep + time + sep +
         QString::fromStdString(last.minutes) + sep + QString::fromStdString(last.voltage);
}

bool portIsOpen(TForm1& form) {
  if (form.measuring().serialLine().Active())
    return true;
  report(QLatin1String(kFailed) + QStringLiteral("the port did not open"));
  return false;
}

// Ticks the measuring cycle by hand, one present-value command as soon as the previous reply
// has been stored, and reports every store.
[[noreturn]] void measure(Program& program) {
  TForm1& form = *program.form;
  if (!portIsOpen(form))
    ::_exit(3);
  form.Mereni_ZapnutoClick();
  form.measuring().Timer1->stop();
  form.measuring().Timer2->stop();
  // The pane shows a reply before the reply is stored, so the parent can aim at the store.
  QObject::connect(controlOf<QPlainTextEdit>(form.SERVIS, "TerminalMemo"),
                   &QPlainTextEdit::textChanged, [] { report(QLatin1String(kReply)); });
  report(QLatin1String(kMeasuring));
  for (;;) {
    const int before = form.Table1.recordCount();
    form.measuring().Timer1Timer();
    const bool stored = QTest::qWaitFor(
        [&form, before] {
          return form.Table1.recordCount() > before &&
                 form.Table1.state() == kelvor::TableState::Browse;
        },
        3000);
    if (stored)
      report(storedLine(form.Table1));
  }
}

// Starts the logger's memory read-out and reports every reply whose receive handler returned:
// a zero-time timer started by the handler fires once it has.
[[noreturn]] void readOut(Program& program) {
  TForm1& form = *program.form;
  if (!portIsOpen(form))
    ::_exit(3);
  QObject::connect(&form.measuring(), &kelvor::MeasuringController::replyReceived,
                   [] { QTimer::singleShot(0, [] { report(QLatin1String(kHandled)); }); });
  form.SERVIS->Val_Mul_ButtonClick();
  report(QLatin1String(kReadingOut));
  for (;;)
    QTest::qWait(1000);
}

void import(Program& program, const QString& file) {
  program.dialogs->fileAnswers = {file};
  report(QLatin1String(kImporting));
  QElapsedTimer clock;
  clock.start();
  program.form->TABULKA->Import_ASCIIClick();
  report(QLatin1String(kDone) + QString::number(program.form->Table1.recordCount()) +
         QLatin1Char(' ') + QString::number(clock.elapsed()));
}

// The confirmation box takes the activation from the interval window, which writes its two
// texts to the settings file, then the passes run.
void select(Program& program, const QString& zacatek, const QString& konec) {
  kelvor::TForm7& window = *program.form7;
  window.ZacatekEdit->setText(zacatek);
  window.KonecEdit->setText(konec);
  program.dialogs->yesNoAnswers = {true};
  report(QLatin1String(kWritingSettings) + QLatin1Char(' ') + window.ZacatekEdit->text() +
         kFieldSeparator + window.KonecEdit->text());
  QElapsedTimer clock;
  clock.start();
  window.FormDeactivate();
  report(QLatin1String(kSelecting) + QLatin1Char(' ') + QString::number(clock.elapsed()));
  program.form->TABULKA->SelectButtonClick();
  report(QLatin1String(kDone) + QString::number(program.form->Table1.recordCount()) +
         QLatin1Char(' ') + QString::number(clock.elapsed()));
}

} // namespace

bool isVictimCall(const QStringList& arguments) {
  return arguments.size() >= 4 && arguments[1] == QLatin1String(kVictimSwitch);
}

// Arguments: <executable> -victim <role> <folder> [operands of the role].
int runVictim(const QStringList& arguments) {
  // A victim outlives no parent: a test that fails or is stopped takes it along.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  const QString role = arguments[2];
  const QString folder = arguments[3];
  const QStringList operands = arguments.mid(4);
  Program program(folder);
  report(QLatin1String(kReady));
  if (role == QLatin1String(kMeasure)) {
    measure(program);
  } else if (role == QLatin1String(kReadout)) {
    readOut(program);
  } else if (role == QLatin1String(kImport) && operands.size() == 1) {
    import(program, operands[0]);
  } else if (role == QLatin1String(kSelect) && operands.size() == 2) {
    select(program, operands[0], operands[1]);
  } else {
    report(QLatin1String(kFailed) + QStringLiteral("unknown role ") + role);
    return 3;
  }
  // The parent kills the process; until then it holds its state as a running program would.
  for (;;)
    ::pause();
}

} // namespace victim
