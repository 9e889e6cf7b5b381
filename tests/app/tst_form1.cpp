#include "app/core/valuelists.h"
#include "app/cutoffmonitor.h"
#include "app/form1.h"
#include "app/helpviewer.h"
#include "app/hints.h"
#include "app/pages/analyzapage.h"
#include "app/pages/autorpage.h"
#include "app/pages/grafpage.h"
#include "app/pages/meterspage.h"
#include "app/pages/parametrypage.h"
#include "app/pages/radiogroup.h"
#include "app/pages/servispage.h"
#include "app/pages/tabulkapage.h"
#include "app/program.h"
#include "data/chartview.h"
#include "data/dbgrid.h"
#include "data/dbnavigator.h"
#include "data/form3.h"
#include "data/tablemodel.h"
#include "serial/serialline.h"
#include "tests/support/pagecontrols.h"
#include "tests/support/scripteddialogs.h"
#include "widgets/maskedit.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <functional>

using kelvor::TForm1;

namespace {

struct Fixture {
  QTemporaryDir dir;
  ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<kelvor::Program> program;
  TForm1* form = nullptr;

  explicit Fixture(const QByteArray& ini) {
    if (!ini.isNull()) {
      QFile file(dir.filePath(QStringLiteral("Kelvor.ini")));
      file.open(QIODevice::WriteOnly);
      file.write(ini);
    }
    program = std::make_unique<kelvor::Program>(kelvor::FileLocations::forExecutableDir(dir.path()),
                                                keptDialogs(dialogs));
    form = &program->form();
  }

  QStringList iniLines() const {
    QFile file(dir.filePath(QStringLiteral("Kelvor.ini")));
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }
};

// The items from the menu bar down to `item`: the item of the bar first.
QList<QAction*> menuPathTo(QAction* item) {
  QList<QAction*> path{item};
  for (QAction* action = item; action != nullptr;) {
    QAction* opener = nullptr;
    for (QObject* owner : action->associatedObjects()) {
      if (auto* menu = qobject_cast<QMenu*>(owner))
        opener = menu->menuAction();
    }
    if (opener != nullptr)
      path.prepend(opener);
    action = opener;
  }
  return path;
}

QMenu* openPopup() {
  return qobject_cast<QMenu*>(QApplication::activePopupWidget());
}

// Highlights `item` in the open popup with the arrow keys, as an operator does.
bool highlightByKeyboard(QMenu* popup, QAction* item) {
  for (int step = 0; step <= popup->actions().size() + 1; ++step) {
    if (popup->activeAction() == item)
      return true;
    QTest::keyClick(popup, Qt::Key_Down);
  }
  return popup->activeAction() == item;
}

// Opens the menus down to `item` by keyboard and leaves `item` highlighted.
bool openMenusTo(QMenuBar* bar, QAction* item) {
  const QList<QAction*> path = menuPathTo(item);
  bar->setActiveAction(path.front());
  for (qsizetype i = 1; i < path.size(); ++i) {
    QMenu* popup = openPopup();
    if (popup == nullptr || !highlightByKeyboard(popup, path[i]))
      return false;
    if (i + 1 < path.size())
      QTest::keyClick(popup, Qt::Key_Right);
  }
  return openPopup() != nullptr;
}

void closeMenus() {
  for (int i = 0; i < 16 && QApplication::activePopupWidget() != nullptr; ++i)
    QApplication::activePopupWidget()->close();
}

QStringList itemTexts(const kelvor::RadioGroup* group) {
  QStringList texts;
  for (const QRadioButton* item : group->findChildren<QRadioButton*>())
    texts << item->text();
  return texts;
}

template <typename Items> QStringList captionsOf(const Items& items) {
  QStringList captions;
  for (const auto& item : items)
    captions << QString::fromUtf8(item.caption);
  return captions;
}

// Clicks the items of `group` from the last to the first, as the operator does, so that
// every click changes the selection and runs the group's handler; `check` sees each one.
void clickEachItem(kelvor::RadioGroup* group, const std::function<void(int)>& check) {
  const QList<QRadioButton*> items = group->findChildren<QRadioButton*>();
  for (qsizetype i = items.size() - 1; i >= 0; --i) {
    items[i]->click();
    QCOMPARE(group->itemIndex(), int(i));
    check(int(i));
  }
}

} // namespace

class TestForm1 : public QObject {
  Q_OBJECT

private slots:
  void aFirstStartWritesUsableSettings() {
    Fixture f{QByteArray()};
    const QStringList lines = f.iniLines();
    for (const char* line : {"Barva=clBlue", "Doba=60", "ScaleX=60", "ScaleY=15", "SerialPort=COM2",
                             "BaudRate=19200", "PocetRadku=100", "Stranka=METERS"})
      QVERIFY2(lines.contains(QString::fromLatin1(line)), line);
    QCOMPARE(f.form->PageControl1->currentWidget(), f.form->METERS);
    QCOMPARE(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "DobaUkladani")->itemIndex(), 3);
    QCOMPARE(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "RychlostBaud")->itemIndex(), 4);
    QVERIFY(controlOf<QAction>(f.form, "Sca_X_060")->isChecked());
    QVERIFY(controlOf<QAction>(f.form, "Sca_Y_15")->isChecked());
  }

  void storedIntervalSelectsItsItem() {
    Fixture f("[Ukladani]\nDoba=600\n");
    QCOMPARE(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "DobaUkladani")->itemIndex(), 6);
    QCOMPARE(int(f.form->measuring().cycle.Doba), 600);
    QCOMPARE(controlOf<QLabel>(f.form->PARAMETRY, "DobaUkladaniLabel")->text(),
             QStringLiteral("600"));
  }

  void valuesThatMatchNoItemSelectNothing() {
    Fixture f(
        "[Ukladani]\nDoba=7\n[Serial]\nBaudRate=300\nSerialPort=com1\n[Transfer]\nPocetRadku=99\n");
    QCOMPARE(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "DobaUkladani")->itemIndex(), -1);
    QCOMPARE(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "RychlostBaud")->itemIndex(), -1);
    QCOMPARE(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "SeriovyPort")->itemIndex(), -1);
    QCOMPARE(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "PocetRadkuGroup")->itemIndex(), -1);
    QCOMPARE(controlOf<QLabel>(f.form->PARAMETRY, "RychlostLabel")->text(), QStringLiteral("300"));
    QCOMPARE(controlOf<QLabel>(f.form->PARAMETRY, "SerialPortLabel")->text(),
             QStringLiteral("com1"));
    QCOMPARE(controlOf<QLabel>(f.form->PARAMETRY, "PocetRadkuLabel")->text(), QStringLiteral("99"));
    QCOMPARE(int(f.form->measuring().cycle.Doba), 7);
  }

  void aZeroIntervalBecomesSixSeconds() {
    Fixture f("[Ukladani]\nDoba=0\n");
    QCOMPARE(int(f.form->measuring().cycle.Doba), 6);
    QCOMPARE(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "DobaUkladani")->itemIndex(), 0);
  }

  void theSecondReadOfTheIntervalWins() {
    Fixture f("[Ukladani]\nDoba=0x3C\n");
    QCOMPARE(int(f.form->measuring().cycle.Doba), 60);
  }

  void settingsTextsReadAsUtf8OrWindows1250() {
    Fixture utf8("[Graph]\nTitulek=Napětí článku\n");
    QCOMPARE(utf8.form->GRAF->Titulek, QStringLiteral("Napětí článku"));
    Fixture windows("[Graph]\nTitulek=Nap\xec\x9d\xed \xe8l\xe1nku\n");
    QCOMPARE(windows.form->GRAF->Titulek, QStringLiteral("Napěťí článku"));
  }

  void pageCaptionsMatchExactly() {
    Fixture lower("[Sheet]\nStranka=meters\n");
    QCOMPARE(lower.form->PageControl1->currentWidget(), lower.form->SERVIS);
    Fixture exact("[Sheet]\nStranka=GRAF\n");
    QCOMPARE(exact.form->PageControl1->currentWidget(), exact.form->GRAF);
  }

  void pagesStandInTabOrderWithTheirHints() {
    Fixture f("");
    const QStringList captions{
        "METERS", "GRAF", "TABULKA", "PARAMETRY", "SERVIS", "AUTOR", QStringLiteral("ANALÝZA")};
    QCOMPARE(f.form->PageControl1->count(), captions.size());
    for (int i = 0; i < captions.size(); ++i)
      QCOMPARE(f.form->PageControl1->tabText(i), captions[i]);
    QCOMPARE(kelvor::hintOf(f.form->TABULKA),
             QStringLiteral("Databázová  tabulka  s  naměřenými  hodnotami"));
    QCOMPARE(f.form->PageControl1->tabPosition(), QTabWidget::South);
    QCOMPARE(f.form->Panel1->text(),
             QStringLiteral("Kontextově  orientovaná  nápověda  k programu "));
  }

  // Start-up ends with the designed caption; the stored port's failure follows it once.
  void aPortThatWouldNotOpenIsSaidOnTheStatusLine() {
    Fixture f("[Serial]\nSerialPort=COM3\n[Devices]\nCOM3=/dev/serial/by-id/gone\n");
    QVERIFY(f.form->Panel1->text().startsWith(QStringLiteral("Kontextově")));
    QTRY_VERIFY(f.form->Panel1->text().contains(QStringLiteral("/dev/serial/by-id/gone")));
  }

  void selectingTheSelectedItemRunsNoHandler() {
    Fixture f("[Transfer]\nPocetRadku=180\n");
    controlOf<QLabel>(f.form->PARAMETRY, "PocetRadkuLabel")->setText(QStringLiteral("untouched"));
    controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "PocetRadkuGroup")->setItemIndex(1);
    QCOMPARE(controlOf<QLabel>(f.form->PARAMETRY, "PocetRadkuLabel")->text(),
             QStringLiteral("untouched"));
    controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "PocetRadkuGroup")->setItemIndex(6);
    QCOMPARE(controlOf<QLabel>(f.form->PARAMETRY, "PocetRadkuLabel")->text(),
             QStringLiteral("3600"));
    QCOMPARE(int(f.form->PARAMETRY->PocetRadku), 3600);
  }

  void answeringNoKeepsTheProgramRunning() {
    Fixture f("");
    f.form->show();
    f.dialogs->yesNoAnswers = {false};
    f.form->Konec_ProgramuClick();
    QVERIFY(f.form->isVisible());
    QCOMPARE(f.dialogs->questions.size(), std::size_t(1));
    QCOMPARE(f.dialogs->questions[0].title, QStringLiteral("Program  Kelvor"));
    QCOMPARE(f.dialogs->questions[0].text,
             QStringLiteral("Opravdu  chcete ukončit program  Kelvor ???"));
    QCOMPARE(f.dialogs->questions[0].icon, kelvor::OperatorDialogs::Icon::None);
    f.dialogs->yesNoAnswers = {true};
    f.form->Konec_ProgramuClick();
    QVERIFY(!f.form->isVisible());
  }

  void shutdownWritesTheTwelveKeysInOrder() {
    Fixture f{QByteArray()};
    f.form->FormDestroy();
    const QStringList keys = [&f] {
      QStringList names;
      for (const QString& line : f.iniLines())
        names << line.section(QLatin1Char('='), 0, 0);
      return names;
    }();
    const QStringList expected{"[Tabulka]",   "HlavickaTab", "[Graph]",    "ScaleX",    "ScaleY",
                               "Titulek",     "Barva",       "[Sheet]",    "Stranka",   "[Serial]",
                               "SerialPort",  "BaudRate",    "[Ukladani]", "Doba",      "Minuty",
                               "[Convertor]", "KonstStr",    "[Transfer]", "PocetRadku"};
    QCOMPARE(keys, expected);
  }

  // The alarm holds the status line in red against every hint until it is acknowledged; with
  // Zastavit it switches measuring off, and the page's settings are written once set.
  void theCutoffAlarmHoldsTheStatusLineAndStopsMeasuring() {
    Fixture f{QByteArray()};
    kelvor::AnalyzaPage& page = *f.form->ANALYZA;
    f.form->show();
    f.form->PageControl1->setCurrentWidget(&page);
    f.form->cutoffMonitor().setBell([] {});
    page.Odpojeni->setText(QStringLiteral("10.5"));
    page.PocetPod->setValue(1);
    page.Zastavit->setChecked(true);
    f.form->Mereni_ZapnutoClick();
    emit f.form->measuring().readingTaken(10.6, QStringLiteral("10.600"), 3600);
    QVERIFY(f.form->measuring().Timer1->isActive());
    emit f.form->measuring().readingTaken(10.5, QStringLiteral("10.500"), 3606);
    QVERIFY(!f.form->measuring().Timer1->isActive());
    const QString alarm = f.form->Panel1->text();
    QVERIFY2(alarm.endsWith(QStringLiteral("v  01:00:06.  Odpojte  zátěž.")), qPrintable(alarm));
    QCOMPARE(f.form->Panel1->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    f.form->ShowHint(QStringLiteral("jiná  nápověda"));
    QCOMPARE(f.form->Panel1->text(), alarm);
    QVERIFY(page.PotvrditButton->isEnabled());
    QCOMPARE(page.shownValue("DoOdpojeni"), QStringLiteral("-"));
    page.PotvrditButton->click();
    QCOMPARE(f.form->Panel1->palette().color(QPalette::WindowText), QColor(0, 255, 0));
    f.form->ShowHint(QStringLiteral("jiná  nápověda"));
    QCOMPARE(f.form->Panel1->text(), QStringLiteral("jiná  nápověda"));
    f.form->FormDestroy();
    const QStringList lines = f.iniLines();
    const QStringList analyza = lines.mid(lines.indexOf(QStringLiteral("[Analyza]")));
    QCOMPARE(analyza, (QStringList{"[Analyza]", "Odpojeni=10.5", "PocetPod=1", "Zastavit=1",
                                   "Proud=", "Odpor="}));
  }

  void unmarkedScaleItemsWriteTheReadValuesBack() {
    Fixture f("[Graph]\nScaleX=45\nScaleY=7\n");
    QVERIFY(!controlOf<QAction>(f.form, "Sca_X_060")->isChecked());
    f.form->FormDestroy();
    QVERIFY(f.iniLines().contains(QStringLiteral("ScaleX=45")));
    QVERIFY(f.iniLines().contains(QStringLiteral("ScaleY=7")));
  }

  void markedScaleItemsAndShownPageAreWritten() {
    Fixture f("[Graph]\nScaleX=120\nScaleY=3\n");
    QVERIFY(controlOf<QAction>(f.form, "Sca_X_120")->isChecked());
    QVERIFY(controlOf<QAction>(f.form, "Sca_Y_03")->isChecked());
    controlOf<QAction>(f.form, "Sca_X_600")->setChecked(true);
    f.form->PageControl1->setCurrentWidget(f.form->AUTOR);
    f.form->FormDestroy();
    const QStringList lines = f.iniLines();
    QVERIFY(lines.contains(QStringLiteral("ScaleX=600")));
    QVERIFY(lines.contains(QStringLiteral("ScaleY=3")));
    QVERIFY(lines.contains(QStringLiteral("Stranka=AUTOR")));
  }

  void aFailedWriteIsReportedOnceWithTheFileName() {
    Fixture f{QByteArray()};
    QVERIFY(QFile::remove(f.dir.filePath(QStringLiteral("Kelvor.ini"))));
    QVERIFY(QDir(f.dir.path()).mkdir(QStringLiteral("Kelvor.ini")));
    f.form->FormDestroy();
    QCOMPARE(f.dialogs->messages.size(), std::size_t(1));
    QCOMPARE(f.dialogs->messages[0].text,
             QStringLiteral("Unable to write to ") + f.dir.filePath(QStringLiteral("Kelvor.ini")));
  }

  void cancellingTheExportPictureDialogsDoesNothing() {
    Fixture f("");
    QWidget* pageBefore = f.form->PageControl1->currentWidget();
    f.dialogs->fileAnswers = {QString(), QString()};
    controlOf<QAction>(f.form, "Export_BMP")->trigger();
    controlOf<QAction>(f.form, "Export_WMF")->trigger();
    QCOMPARE(f.dialogs->saveDialogs.size(), std::size_t(2));
    QVERIFY(f.dialogs->fileAnswers.empty());
    QVERIFY(f.dialogs->questions.empty());
    QVERIFY(f.dialogs->messages.empty());
    QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Kelvor.ini")});
    QCOMPARE(f.form->PageControl1->currentWidget(), pageBefore);
    QVERIFY(controlOf<QAction>(f.form, "Export_BMP")->isEnabled() &&
            controlOf<QAction>(f.form, "Export_WMF")->isEnabled());
    QCOMPARE(controlOf<QAction>(f.form, "Export_BMP")->property("helpContext").toInt(), 42);
    QCOMPARE(controlOf<QAction>(f.form, "Export_WMF")->property("helpContext").toInt(), 43);
  }

  // Tab lands on the chosen item, so one arrow key picks its neighbour; a menu opened by
  // its letter shows the hint of the item it highlights.
  void theKeyboardStartsFromWhatIsShown() {
    Fixture f("[Serial]\nBaudRate=19200\n[Sheet]\nStranka=PARAMETRY\n");
    TForm1& w = *f.form;
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto* group = controlOf<kelvor::RadioGroup>(w.PARAMETRY, "RychlostBaud");
    const auto items = group->findChildren<QRadioButton*>();
    QWidget* before = items.front()->previousInFocusChain();
    while (before->focusPolicy() != Qt::StrongFocus || group->isAncestorOf(before))
      before = before->previousInFocusChain();
    before->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(before->hasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTRY_VERIFY(items[4]->hasFocus());
    QTest::keyClick(items[4], Qt::Key_Down);
    QCOMPARE(group->itemIndex(), 5);

    // The pointer rests on a control with a hint of its own while the menu opens.
    QTest::mouseMove(controlOf<QWidget>(w.PARAMETRY, "Gauge2"));
    QTRY_VERIFY(w.Panel1->text().startsWith(QStringLiteral("Zde  můžete  sledovat")));
    QTest::keyClick(&w, Qt::Key_S, Qt::AltModifier);
    QTRY_COMPARE(w.Panel1->text(),
                 QStringLiteral("Export  databázové  tabulky  s  naměřenými  daty  do  textového  "
                                "ASCII  souboru"));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
  }

  // The picture lives in the reports' resources, which only the program's own start links in.
  void theTableReportPrintsItsHeaderPicture() {
    Fixture f("");
    const kelvor::Report& report = f.program->form3().Report1();
    constexpr double kDotsPerMm = 4.0;
    QImage page((report.paperSizeMm() * kDotsPerMm).toSize(), QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    report.renderPage(painter, report.pageTemplate(), 0, nullptr, kDotsPerMm);
    painter.end();
    const QRect picture((12.7 + 10.6) * kDotsPerMm, (12.7 + 3.0) * kDotsPerMm, 92.9 * kDotsPerMm,
                        15.9 * kDotsPerMm);
    int inked = 0;
    for (int y = picture.top(); y <= picture.bottom(); ++y)
      for (int x = picture.left(); x <= picture.right(); ++x)
        inked += page.pixel(x, y) != qRgb(255, 255, 255) ? 1 : 0;
    QVERIFY2(inked > picture.width() * picture.height() / 20, qPrintable(QString::number(inked)));
  }

  void theParameterGroupsShowTheirListsInOrder() {
    Fixture f("");
    QCOMPARE(itemTexts(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "RychlostBaud")),
             captionsOf(kelvor::kBaudRateItems));
    QCOMPARE(itemTexts(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "SeriovyPort")),
             captionsOf(kelvor::kSerialPortItems));
    QCOMPARE(itemTexts(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "DobaUkladani")),
             captionsOf(kelvor::kStorageIntervalItems));
    QCOMPARE(itemTexts(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "PocetRadkuGroup")),
             captionsOf(kelvor::kRowCountItems));
    QCOMPARE(itemTexts(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "RychlostBaud")).front(),
             QStringLiteral("  1200   Bd"));
    QCOMPARE(itemTexts(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "PocetRadkuGroup")).back(),
             QStringLiteral("3600   ŘÁDKŮ"));
  }

  void choosingAnItemAppliesItsValue() {
    Fixture f("");
    TForm1& w = *f.form;
    clickEachItem(controlOf<kelvor::RadioGroup>(w.PARAMETRY, "RychlostBaud"), [&w](int i) {
      const int rate = kelvor::kBaudRateItems[std::size_t(i)].value;
      QCOMPARE(w.PARAMETRY->BaudRate, rate);
      QCOMPARE(w.measuring().serialLine().BaudRate(), std::uint32_t(rate));
      QCOMPARE(controlOf<QLabel>(w.PARAMETRY, "RychlostLabel")->text(), QString::number(rate));
    });
    clickEachItem(controlOf<kelvor::RadioGroup>(w.PARAMETRY, "SeriovyPort"), [&w](int i) {
      const QString name = QString::fromUtf8(kelvor::kSerialPortItems[std::size_t(i)].value);
      QCOMPARE(w.PARAMETRY->SerialPort, name);
      QCOMPARE(QString::fromStdString(w.measuring().serialLine().CommPort()), name);
      QCOMPARE(controlOf<QLabel>(w.PARAMETRY, "SerialPortLabel")->text(), name);
    });
    clickEachItem(controlOf<kelvor::RadioGroup>(w.PARAMETRY, "DobaUkladani"), [&w](int i) {
      const int seconds = kelvor::kStorageIntervalItems[std::size_t(i)].value;
      QCOMPARE(int(w.measuring().cycle.Doba), seconds);
      QCOMPARE(controlOf<QLabel>(w.PARAMETRY, "DobaUkladaniLabel")->text(),
               QString::number(seconds));
    });
    clickEachItem(controlOf<kelvor::RadioGroup>(w.PARAMETRY, "PocetRadkuGroup"), [&w](int i) {
      const int rows = kelvor::kRowCountItems[std::size_t(i)].value;
      QCOMPARE(int(w.PARAMETRY->PocetRadku), rows);
      QCOMPARE(controlOf<QLabel>(w.PARAMETRY, "PocetRadkuLabel")->text(), QString::number(rows));
    });
    QCOMPARE(w.PARAMETRY->SerialPort, QStringLiteral("COM1"));
    QCOMPARE(w.PARAMETRY->BaudRate, 1200);
  }

  // Start-up selects the item of each stored value, and shutdown stores the item's value.
  void everyStoredValueSelectsItsItem() {
    for (std::size_t i = 0; i < kelvor::kStorageIntervalItems.size(); ++i) {
      const auto valueAt = [i](const auto& items) {
        return items[std::min(i, items.size() - 1)].value;
      };
      const QByteArray ini =
          "[Serial]\nBaudRate=" + QByteArray::number(valueAt(kelvor::kBaudRateItems)) +
          "\nSerialPort=" + QByteArray(valueAt(kelvor::kSerialPortItems).data()) +
          "\n[Ukladani]\nDoba=" + QByteArray::number(valueAt(kelvor::kStorageIntervalItems)) +
          "\n[Transfer]\nPocetRadku=" + QByteArray::number(valueAt(kelvor::kRowCountItems)) + "\n";
      Fixture f(ini);
      const int last = int(i);
      QCOMPARE(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "RychlostBaud")->itemIndex(),
               std::min(last, 7));
      QCOMPARE(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "SeriovyPort")->itemIndex(),
               std::min(last, 7));
      QCOMPARE(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "DobaUkladani")->itemIndex(), last);
      QCOMPARE(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "PocetRadkuGroup")->itemIndex(),
               std::min(last, 6));
      f.form->FormDestroy();
      for (const QByteArray& line : ini.split('\n'))
        if (line.contains('='))
          QVERIFY2(f.iniLines().contains(QString::fromLatin1(line)), line.constData());
    }
  }

  void scaleItemsFormTwoRadioGroups() {
    Fixture f("[Graph]\nScaleX=60\n");
    controlOf<QAction>(f.form, "Sca_X_300")->setChecked(true);
    QVERIFY(!controlOf<QAction>(f.form, "Sca_X_060")->isChecked());
    QVERIFY(controlOf<QAction>(f.form, "Sca_X_060")->actionGroup()->isExclusive());
    QVERIFY(controlOf<QAction>(f.form, "Sca_Y_15")->actionGroup() !=
            controlOf<QAction>(f.form, "Sca_X_060")->actionGroup());
  }

  void hintsReachTheStatusLine() {
    Fixture f("");
    f.form->ShowHint(
        kelvor::longHint(kelvor::hintOf(controlOf<QLabel>(f.form->PARAMETRY, "RychlostLabel"))));
    QCOMPARE(f.form->Panel1->text(),
             QStringLiteral("Zde  uvidíte  zvolenou  přenosovou  rychlost"));
    QCOMPARE(controlOf<QLabel>(f.form->PARAMETRY, "RychlostLabel")->toolTip(),
             QStringLiteral("Baud"));
    QCOMPARE(
        kelvor::longHint(kelvor::hintOf(controlOf<QAction>(f.form, "Vyber_Intervalu"))),
        QStringLiteral(
            "Tato  část  programu  je  určena  pro  výběr  zajímavého  intervalu  z  tabulky"));
  }

  void theHelpKeyOpensTheContextOfTheActiveWindow() {
    Fixture f("");
    f.form->show();
    QApplication::setActiveWindow(f.form);
    QTest::keyClick(f.form->PageControl1, Qt::Key_F1);
    QCOMPARE(f.form->helpViewer()->currentAnchor(), QStringLiteral("ctx10"));
  }

  void theHelpKeyOnEveryMenuItemOpensItsContext() {
    Fixture f("");
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form));
    TForm1& w = *f.form;
    const std::pair<QAction*, int> expected[] = {
        {controlOf<QAction>(&w, "Soubor1"), 10},
        {controlOf<QAction>(&w, "ExportASCII1"), 11},
        {controlOf<QAction>(&w, "Import_ASCII"), 12},
        {controlOf<QAction>(&w, "Konec_Programu"), 13},
        {controlOf<QAction>(&w, "M1"), 10},
        {controlOf<QAction>(&w, "Mereni_Vypnuto"), 21},
        {controlOf<QAction>(&w, "Mereni_Zapnuto"), 22},
        {controlOf<QAction>(&w, "Tabulka1"), 10},
        {controlOf<QAction>(&w, "Vymazat_data"), 31},
        {controlOf<QAction>(&w, "Vyber_Intervalu"), 32},
        {controlOf<QAction>(&w, "Hlavicka_Tabulky"), 33},
        {controlOf<QAction>(&w, "Tisk_tabulky"), 34},
        {controlOf<QAction>(&w, "Graf1"), 10},
        {controlOf<QAction>(&w, "Parametry_grafu"), 41},
        {controlOf<QAction>(&w, "Meritka_Grafu"), 41},
        {controlOf<QAction>(&w, "Osa_Casu"), 41},
        {controlOf<QAction>(&w, "Sca_X_060"), 41},
        {controlOf<QAction>(&w, "Sca_X_120"), 41},
        {controlOf<QAction>(&w, "Sca_X_300"), 41},
        {controlOf<QAction>(&w, "Sca_X_600"), 41},
        {controlOf<QAction>(&w, "Osa_Napeti"), 41},
        {controlOf<QAction>(&w, "Sca_Y_15"), 41},
        {controlOf<QAction>(&w, "Sca_Y_03"), 41},
        {controlOf<QAction>(&w, "Barva_Krivky"), 41},
        {controlOf<QAction>(&w, "Titulek_Grafu"), 41},
        {controlOf<QAction>(&w, "Referencni_Krivka"), 45},
        {controlOf<QAction>(&w, "Bez_Referencni_Krivky"), 46},
        {controlOf<QAction>(&w, "Export_BMP"), 42},
        {controlOf<QAction>(&w, "Export_WMF"), 43},
        {controlOf<QAction>(&w, "Tisk_Grafu"), 44},
        {controlOf<QAction>(&w, "N4"), 10},
        {controlOf<QAction>(&w, "N5"), 51},
    };
    for (const auto& [item, context] : expected) {
      const QString name = item->objectName();
      w.helpViewer()->showContents();
      QVERIFY2(openMenusTo(w.menuBar(), item), qPrintable(name));
      QTest::keyClick(openPopup(), Qt::Key_F1);
      QVERIFY2(w.helpViewer()->currentAnchor() == QStringLiteral("ctx%1").arg(context),
               qPrintable(name + QStringLiteral(" gave ") + w.helpViewer()->currentAnchor()));
      closeMenus();
    }
  }

  void theHelpKeyInAnOpenedSubmenuWithoutHighlightUsesTheEnclosingItem() {
    Fixture f("");
    f.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.form));
    TForm1& w = *f.form;
    for (QAction* submenu :
         {controlOf<QAction>(&w, "Meritka_Grafu"), controlOf<QAction>(&w, "Osa_Casu"),
          controlOf<QAction>(&w, "Osa_Napeti")}) {
      w.helpViewer()->showContents();
      QVERIFY(openMenusTo(w.menuBar(), submenu));
      openPopup()->setActiveAction(submenu);
      QCOMPARE(openPopup(), submenu->menu());
      QCOMPARE(openPopup()->activeAction(), nullptr);
      QTest::keyClick(openPopup(), Qt::Key_F1);
      QCOMPARE(w.helpViewer()->currentAnchor(), QStringLiteral("ctx41"));
      closeMenus();
    }
  }

  void settingsFilesOfEarlierVersionsGiveAUsableConstant() {
    // Earlier versions wrote the value without quotes; reading trims its blanks.
    Fixture f("[Convertor]\nKonstStr=  1.000000000\n[Transfer]\nPocetRadku=100\n");
    QCOMPARE(controlOf<kelvor::MaskEdit>(f.form->PARAMETRY, "KonstantaEdit")->text(),
             QStringLiteral("  1.000000000"));
    f.form->PARAMETRY->Button3Click();
    QVERIFY(f.dialogs->messages.empty());
    QCOMPARE(f.form->measuring().eeprom.EepromCommands[1], std::string("@W300000"));
    QCOMPARE(f.form->measuring().eeprom.EepromCommands[3], std::string("@W300280"));
    QCOMPARE(f.form->measuring().eeprom.EepromCommands[4], std::string("@W30033F"));
    f.form->FormDestroy();
    QVERIFY(f.iniLines().contains(QStringLiteral("KonstStr=\"  1.000000000\"")));

    Fixture shortValue("[Convertor]\nKonstStr=12.5\n");
    QCOMPARE(controlOf<kelvor::MaskEdit>(shortValue.form->PARAMETRY, "KonstantaEdit")->text(),
             QStringLiteral(" 12.5        "));
    Fixture text("[Convertor]\nKonstStr=1,5\n");
    QCOMPARE(controlOf<kelvor::MaskEdit>(text.form->PARAMETRY, "KonstantaEdit")->text(),
             QStringLiteral("1 5.         "));
  }

  void arrowKeysSelectTheNextRadioItem() {
    Fixture f("[Ukladani]\nDoba=60\n");
    f.form->show();
    QApplication::setActiveWindow(f.form);
    f.form->PageControl1->setCurrentWidget(f.form->PARAMETRY);
    QVERIFY(QTest::qWaitForWindowExposed(f.form));
    const QList<QRadioButton*> items =
        controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "DobaUkladani")
            ->findChildren<QRadioButton*>();
    QCOMPARE(items.size(), 9);
    items[3]->setFocus();
    QTRY_VERIFY(items[3]->hasFocus());
    QTest::keyClick(items[3], Qt::Key_Down);
    QCOMPARE(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "DobaUkladani")->itemIndex(), 4);
    QCOMPARE(int(f.form->measuring().cycle.Doba), 180);
    QCOMPARE(controlOf<QLabel>(f.form->PARAMETRY, "DobaUkladaniLabel")->text(),
             QStringLiteral("180"));
    QVERIFY(items[4]->hasFocus() && items[4]->isChecked() && !items[3]->isChecked());
    QTest::keyClick(items[4], Qt::Key_Left);
    QTest::keyClick(items[3], Qt::Key_Up);
    QCOMPARE(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "DobaUkladani")->itemIndex(), 2);
    QCOMPARE(int(f.form->measuring().cycle.Doba), 36);
    // Past the last item the selection wraps round to the first.
    items[8]->setFocus();
    QTest::keyClick(items[8], Qt::Key_Right);
    QCOMPARE(controlOf<kelvor::RadioGroup>(f.form->PARAMETRY, "DobaUkladani")->itemIndex(), 0);
    QCOMPARE(int(f.form->measuring().cycle.Doba), 6);

    // Clicking the selected item again runs no handler.
    controlOf<QLabel>(f.form->PARAMETRY, "DobaUkladaniLabel")->setText(QStringLiteral("untouched"));
    QTest::mouseClick(items[0], Qt::LeftButton);
    QCOMPARE(controlOf<QLabel>(f.form->PARAMETRY, "DobaUkladaniLabel")->text(),
             QStringLiteral("untouched"));
    QVERIFY(items[0]->isChecked());
    QTest::keyClick(items[0], Qt::Key_Space);
    QCOMPARE(controlOf<QLabel>(f.form->PARAMETRY, "DobaUkladaniLabel")->text(),
             QStringLiteral("untouched"));
    QVERIFY(items[0]->isChecked());
  }

  void theHintTrackerFollowsThePointerAndTheHighlightedMenuItem() {
    Fixture f("[Sheet]\nStranka=TABULKA\n");
    f.form->show();
    QApplication::setActiveWindow(f.form);
    QVERIFY(QTest::qWaitForWindowExposed(f.form));
    using Button = kelvor::DBNavigator::Button;
    for (const Button which : {Button::First, Button::Delete, Button::Refresh}) {
      QToolButton* button =
          controlOf<kelvor::DBNavigator>(f.form->TABULKA, "DBNavigator1")->button(which);
      QTest::mouseMove(button);
      QTRY_COMPARE(f.form->Panel1->text(), kelvor::DBNavigator::hint(which));
      QVERIFY(button->toolTip().isEmpty());
    }
    // The grid's cells have no hint of their own: the grid's hint shows.
    QTest::mouseMove(controlOf<kelvor::DBGrid>(f.form->TABULKA, "DBGrid1")->viewport());
    QTRY_COMPARE(
        f.form->Panel1->text(),
        QStringLiteral(
            "V  této  tabulce  můžete  pozorovat  závislost  naměřených  hodnot  na  čase"));
    // The heading has none either: the page's hint shows.
    auto* heading = f.form->TABULKA->findChild<QLabel*>(QStringLiteral("Label6"));
    QTest::mouseMove(heading);
    QTRY_COMPARE(f.form->Panel1->text(),
                 QStringLiteral("Databázová  tabulka  s  naměřenými  hodnotami"));

    f.form->PageControl1->setCurrentWidget(f.form->PARAMETRY);
    QTest::mouseMove(controlOf<QLabel>(f.form->PARAMETRY, "RychlostLabel"));
    QTRY_COMPARE(f.form->Panel1->text(),
                 QStringLiteral("Zde  uvidíte  zvolenou  přenosovou  rychlost"));
    QCOMPARE(controlOf<QLabel>(f.form->PARAMETRY, "RychlostLabel")->toolTip(),
             QStringLiteral("Baud"));
    QTest::mouseMove(controlOf<QLabel>(f.form->PARAMETRY, "PocetRadkuLabel"));
    QTRY_COMPARE(f.form->Panel1->text(),
                 QStringLiteral("Nastavovací  panel  pro  volbu  proměnných  parametrů  programu"));

    // A menu item highlighted by the pointer, then one highlighted by the keyboard.
    f.form->menuBar()->setActiveAction(controlOf<QAction>(f.form, "Tabulka1"));
    QTRY_VERIFY(openPopup() != nullptr);
    QMenu* popup = openPopup();
    QTest::mouseMove(popup,
                     popup->actionGeometry(controlOf<QAction>(f.form, "Vymazat_data")).center());
    QTRY_COMPARE(f.form->Panel1->text(),
                 QStringLiteral(
                     "Vymazání  naměřených  dat  z  tabulky  -  Vaše  data  budou  zničena  !!!"));
    QTest::keyClick(popup, Qt::Key_Down);
    QTRY_COMPARE(f.form->Panel1->text(),
                 QStringLiteral("Tato  část  programu  je  určena  pro  výběr  zajímavého  "
                                "intervalu  z  tabulky"));
    // An item without a hint empties the status line.
    QTest::keyClick(popup, Qt::Key_Down);
    QCOMPARE(popup->activeAction(), controlOf<QAction>(f.form, "Hlavicka_Tabulky"));
    QTRY_COMPARE(f.form->Panel1->text(), QString());
    closeMenus();
  }

  void everyControlScalesWithTheScreen_data() {
    QTest::addColumn<int>("width");
    QTest::newRow("1024") << 1024;
    QTest::newRow("1280") << 1280;
    QTest::newRow("1920") << 1920;
  }

  void everyControlScalesWithTheScreen() {
    QFETCH(int, width);
    Fixture f("[Sheet]\nStranka=TABULKA\n");
    TForm1& w = *f.form;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // Start-up scaled by the 800-pixel test screen, so the design stands as it was built.
    const QStringList names{"Label1",  "NeedleMeter1", "MultiBevel4",  "TimeLabel",
                            "Report1", "Led1",         "SpeedButton3", "Label6",
                            "DBGrid1", "DBNavigator1", "RychlostBaud", "KonstantaEdit",
                            "Gauge2",  "PrikazEdit",   "TerminalMemo", "SendButton",
                            "Panel2",  "Image1",       "AutorLabel",   "AdresaLabel"};
    struct Design {
      QWidget* control;
      QRect geometry;
      QFont font;
    };
    std::vector<Design> designs;
    for (const QString& name : names) {
      auto* control = w.findChild<QWidget*>(name);
      QVERIFY2(control != nullptr, qPrintable(name));
      designs.push_back({control, control->geometry(), control->font()});
    }
    const int panelHeight = w.Panel1->height();
    const QFont panelFont = w.Panel1->font();
    const QFont tabFont = w.PageControl1->tabBar()->font();
    const double zoom = controlOf<kelvor::ChartView>(w.GRAF, "Report1")->zoom();

    w.scaleTo(QSize(width, width * 3 / 4));
    const double factor = width / 800.0;
    const auto scaled = [factor](double length) {
      return static_cast<int>(std::nearbyint(length * factor));
    };
    const auto scaledFontSize = [&](const QFont& font) {
      return font.pixelSize() > 0 ? double(scaled(font.pixelSize())) : font.pointSizeF() * factor;
    };
    const auto fontSize = [](const QFont& font) {
      return font.pixelSize() > 0 ? double(font.pixelSize()) : font.pointSizeF();
    };
    for (const Design& d : designs) {
      const QString name = d.control->objectName();
      const QRect expected(scaled(d.geometry.x()), scaled(d.geometry.y()),
                           scaled(d.geometry.width()), scaled(d.geometry.height()));
      QVERIFY2(d.control->geometry() == expected, qPrintable(name));
      QVERIFY2(qFuzzyCompare(fontSize(d.control->font()), scaledFontSize(d.font)),
               qPrintable(name));
    }
    QCOMPARE(w.Panel1->height(), scaled(panelHeight));
    QCOMPARE(fontSize(w.Panel1->font()), scaledFontSize(panelFont));
    QCOMPARE(fontSize(w.PageControl1->tabBar()->font()), scaledFontSize(tabFont));
    QCOMPARE(controlOf<kelvor::ChartView>(w.GRAF, "Report1")->zoom(), zoom * factor);
    QCOMPARE(w.size(), QSize(width, width * 3 / 4));
    // Parts follow their control: the radio items its font, the navigator's buttons its width.
    const auto radioItems =
        controlOf<kelvor::RadioGroup>(w.PARAMETRY, "RychlostBaud")->findChildren<QRadioButton*>();
    QCOMPARE(fontSize(radioItems.front()->font()),
             fontSize(controlOf<kelvor::RadioGroup>(w.PARAMETRY, "RychlostBaud")->font()));
    auto* last = controlOf<kelvor::DBNavigator>(w.TABULKA, "DBNavigator1")
                     ->button(kelvor::DBNavigator::Button::Refresh);
    QTRY_COMPARE(last->geometry().right() + 1,
                 controlOf<kelvor::DBNavigator>(w.TABULKA, "DBNavigator1")->width());
  }

  void everyPageIsWholeAndEveryCaptionFits_data() {
    QTest::addColumn<QSize>("screen");
    for (const QSize screen :
         {QSize(800, 600), QSize(1024, 768), QSize(1280, 1024), QSize(1920, 1080)})
      QTest::newRow(qPrintable(QStringLiteral("%1x%2").arg(screen.width()).arg(screen.height())))
          << screen;
  }

  // A 16:9 screen scaled by its width alone puts the lower controls below the window, and
  // the fallback for the designed faces is wider than the labels drawn for them.
  void everyPageIsWholeAndEveryCaptionFits() {
    QFETCH(QSize, screen);
    Fixture f("[Convertor]\nKonstStr=  1.000000000\n");
    TForm1& w = *f.form;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.scaleTo(screen);
    const auto faults = [&w](QWidget* page) {
      QStringList found;
      if (!w.rect().contains(QRect(page->mapTo(&w, QPoint()), page->size())))
        found << QStringLiteral("page");
      // The chart's page was designed to stand above the page's top by its blank margin.
      for (QWidget* control : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QRect g = control->geometry();
        if (g.left() < 0 || g.right() >= page->width() || g.bottom() >= page->height())
          found << control->objectName();
      }
      for (const QLabel* label : page->findChildren<QLabel*>()) {
        if (label->fontMetrics().horizontalAdvance(label->text()) > label->contentsRect().width())
          found << label->objectName();
      }
      for (const QRadioButton* item : page->findChildren<QRadioButton*>()) {
        if (item->sizeHint().width() > item->width())
          found << item->text();
      }
      return found.join(QLatin1Char(' '));
    };
    for (int i = 0; i < w.PageControl1->count(); ++i) {
      w.PageControl1->setCurrentIndex(i);
      QWidget* page = w.PageControl1->currentWidget();
      QTRY_COMPARE_WITH_TIMEOUT(faults(page), QString(), 10000);
    }
    // The calibration constant shows its last digit without the focus.
    const auto* edit = controlOf<kelvor::MaskEdit>(w.PARAMETRY, "KonstantaEdit");
    const int frame = 2 * edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 4;
    QVERIFY(edit->fontMetrics().horizontalAdvance(edit->displayText()) + frame <= edit->width());
  }

  void theGridShowsImportedRecordsAndNavigatorEdits() {
    Fixture f("[Sheet]\nStranka=TABULKA\n");
    const QString file = f.dir.filePath(QStringLiteral("import.dat"));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("    08:00:00         0.1      12.000\r\n"
              "    08:00:06         0.2      11.990\r\n"
              "    08:00:12         0.3      11.980\r\n");
    out.close();
    f.dialogs->fileAnswers = {file};
    f.form->TABULKA->Import_ASCIIClick();
    QVERIFY(f.dialogs->messages.empty());
    QCOMPARE(f.form->TABULKA->DataSource1->rowCount(), 3);
    QCOMPARE(controlOf<kelvor::DBGrid>(f.form->TABULKA, "DBGrid1")
                 ->model()
                 ->index(2, 2)
                 .data()
                 .toString(),
             QStringLiteral("      11.980"));
    QCOMPARE(controlOf<kelvor::DBGrid>(f.form->TABULKA, "DBGrid1")->currentIndex().row(), 0);

    // An edit in the grid waits for post; the navigator's cancel drops it.
    using Button = kelvor::DBNavigator::Button;
    QVERIFY(f.form->TABULKA->DataSource1->setData(f.form->TABULKA->DataSource1->index(1, 2),
                                                  QStringLiteral("1")));
    QCOMPARE(f.form->Table1.state(), kelvor::TableState::Edit);
    controlOf<kelvor::DBNavigator>(f.form->TABULKA, "DBNavigator1")
        ->button(Button::Cancel)
        ->click();
    QCOMPARE(f.form->TABULKA->DataSource1->index(1, 2).data().toString(),
             QStringLiteral("      11.990"));
    QCOMPARE(f.form->Table1.state(), kelvor::TableState::Browse);
  }

  void helpOpensTheContents() {
    Fixture f("");
    f.form->N5Click();
    QCOMPARE(f.form->helpViewer()->currentAnchor(), QStringLiteral("obsah"));
    QVERIFY(f.form->helpViewer()->shownText().contains(QStringLiteral("Vymazání dat")));
  }

  // The chart's exports write files: each entry names the kind of file it writes, and no
  // entry calls its item idle.
  void theHelpSaysWhatTheChartExportsWrite() {
    // The frame registers the resources the help page lies in.
    Fixture f("");
    QFile page(QStringLiteral(":/help/kelvor09.html"));
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QString help = QString::fromUtf8(page.readAll());
    QVERIFY(!help.contains(QStringLiteral("nic nedělá")));
    const std::pair<int, QString> exports[] = {{42, QStringLiteral(".bmp")},
                                               {43, QStringLiteral(".wmf")}};
    for (const auto& [context, suffix] : exports) {
      const qsizetype start = help.indexOf(QStringLiteral("name=\"ctx%1\"").arg(context));
      QVERIFY(start >= 0);
      const QString entry = help.mid(start, help.indexOf(QStringLiteral("<h2>"), start) - start);
      QVERIFY2(entry.contains(suffix), qPrintable(entry));
    }
  }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
