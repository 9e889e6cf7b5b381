#include "form1.h"
#include "helpviewer.h"
#include "hints.h"
#include "radiogroup.h"
#include "scripteddialogs.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using kelvor::TForm1;

namespace {

struct Fixture {
  QTemporaryDir dir;
  ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<TForm1> form;

  explicit Fixture(const QByteArray& ini) {
    if (!ini.isNull()) {
      QFile file(dir.filePath(QStringLiteral("Kelvor.ini")));
      file.open(QIODevice::WriteOnly);
      file.write(ini);
    }
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    form = std::make_unique<TForm1>(kelvor::FileLocations::forExecutableDir(dir.path()),
                                    std::move(scripted));
    form->FormCreate();
  }

  QStringList iniLines() const {
    QFile file(dir.filePath(QStringLiteral("Kelvor.ini")));
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }
};

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
    QCOMPARE(f.form->DobaUkladani->itemIndex(), 3);
    QCOMPARE(f.form->RychlostBaud->itemIndex(), 4);
    QVERIFY(f.form->Sca_X_060->isChecked());
    QVERIFY(f.form->Sca_Y_15->isChecked());
  }

  void storedIntervalSelectsItsItem() {
    Fixture f("[Ukladani]\nDoba=600\n");
    QCOMPARE(f.form->DobaUkladani->itemIndex(), 6);
    QCOMPARE(int(f.form->cycle.Doba), 600);
    QCOMPARE(f.form->DobaUkladaniLabel->text(), QStringLiteral("600"));
  }

  void valuesThatMatchNoItemSelectNothing() {
    Fixture f(
        "[Ukladani]\nDoba=7\n[Serial]\nBaudRate=300\nSerialPort=com1\n[Transfer]\nPocetRadku=99\n");
    QCOMPARE(f.form->DobaUkladani->itemIndex(), -1);
    QCOMPARE(f.form->RychlostBaud->itemIndex(), -1);
    QCOMPARE(f.form->SeriovyPort->itemIndex(), -1);
    QCOMPARE(f.form->PocetRadkuGroup->itemIndex(), -1);
    QCOMPARE(f.form->RychlostLabel->text(), QStringLiteral("300"));
    QCOMPARE(f.form->SerialPortLabel->text(), QStringLiteral("com1"));
    QCOMPARE(f.form->PocetRadkuLabel->text(), QStringLiteral("99"));
    QCOMPARE(int(f.form->cycle.Doba), 7);
  }

  void aZeroIntervalBecomesSixSeconds() {
    Fixture f("[Ukladani]\nDoba=0\n");
    QCOMPARE(int(f.form->cycle.Doba), 6);
    QCOMPARE(f.form->DobaUkladani->itemIndex(), 0);
  }

  void theSecondReadOfTheIntervalWins() {
    Fixture f("[Ukladani]\nDoba=0x3C\n");
    QCOMPARE(int(f.form->cycle.Doba), 60);
  }

  void settingsTextsReadAsUtf8OrWindows1250() {
    Fixture utf8("[Graph]\nTitulek=Napětí článku\n");
    QCOMPARE(utf8.form->Titulek, QStringLiteral("Napětí článku"));
    Fixture windows("[Graph]\nTitulek=Nap\xec\x9d\xed \xe8l\xe1nku\n");
    QCOMPARE(windows.form->Titulek, QStringLiteral("Napěťí článku"));
  }

  void pageCaptionsMatchExactly() {
    Fixture lower("[Sheet]\nStranka=meters\n");
    QCOMPARE(lower.form->PageControl1->currentWidget(), lower.form->SERVIS);
    Fixture exact("[Sheet]\nStranka=GRAF\n");
    QCOMPARE(exact.form->PageControl1->currentWidget(), exact.form->GRAF);
  }

  void pagesStandInTabOrderWithTheirHints() {
    Fixture f("");
    const QStringList captions{"METERS", "GRAF", "TABULKA", "PARAMETRY", "SERVIS", "AUTOR"};
    QCOMPARE(f.form->PageControl1->count(), captions.size());
    for (int i = 0; i < captions.size(); ++i)
      QCOMPARE(f.form->PageControl1->tabText(i), captions[i]);
    QCOMPARE(kelvor::hintOf(f.form->TABULKA),
             QStringLiteral("Databázová  tabulka  s  naměřenými  hodnotami"));
    QCOMPARE(f.form->PageControl1->tabPosition(), QTabWidget::South);
    QCOMPARE(f.form->Panel1->text(),
             QStringLiteral("Kontextově  orientovaná  nápověda  k programu "));
  }

  void selectingTheSelectedItemRunsNoHandler() {
    Fixture f("[Transfer]\nPocetRadku=180\n");
    f.form->PocetRadkuLabel->setText(QStringLiteral("untouched"));
    f.form->PocetRadkuGroup->setItemIndex(1);
    QCOMPARE(f.form->PocetRadkuLabel->text(), QStringLiteral("untouched"));
    f.form->PocetRadkuGroup->setItemIndex(6);
    QCOMPARE(f.form->PocetRadkuLabel->text(), QStringLiteral("3600"));
    QCOMPARE(int(f.form->PocetRadku), 3600);
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

  void unmarkedScaleItemsWriteTheReadValuesBack() {
    Fixture f("[Graph]\nScaleX=45\nScaleY=7\n");
    QVERIFY(!f.form->Sca_X_060->isChecked());
    f.form->FormDestroy();
    QVERIFY(f.iniLines().contains(QStringLiteral("ScaleX=45")));
    QVERIFY(f.iniLines().contains(QStringLiteral("ScaleY=7")));
  }

  void markedScaleItemsAndShownPageAreWritten() {
    Fixture f("[Graph]\nScaleX=120\nScaleY=3\n");
    QVERIFY(f.form->Sca_X_120->isChecked());
    QVERIFY(f.form->Sca_Y_03->isChecked());
    f.form->Sca_X_600->setChecked(true);
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

  void theExportPictureItemsDoNothing() {
    Fixture f("");
    QWidget* pageBefore = f.form->PageControl1->currentWidget();
    f.form->Export_BMP->trigger();
    f.form->Export_WMF->trigger();
    QVERIFY(f.dialogs->questions.empty());
    QVERIFY(f.dialogs->messages.empty());
    QCOMPARE(f.form->PageControl1->currentWidget(), pageBefore);
    QVERIFY(f.form->Export_BMP->isEnabled() && f.form->Export_WMF->isEnabled());
    QCOMPARE(f.form->Export_BMP->property("helpContext").toInt(), 42);
    QCOMPARE(f.form->Export_WMF->property("helpContext").toInt(), 43);
  }

  void scaleItemsFormTwoRadioGroups() {
    Fixture f("[Graph]\nScaleX=60\n");
    f.form->Sca_X_300->setChecked(true);
    QVERIFY(!f.form->Sca_X_060->isChecked());
    QVERIFY(f.form->Sca_X_060->actionGroup()->isExclusive());
    QVERIFY(f.form->Sca_Y_15->actionGroup() != f.form->Sca_X_060->actionGroup());
  }

  void hintsReachTheStatusLine() {
    Fixture f("");
    f.form->ShowHint(kelvor::longHint(kelvor::hintOf(f.form->RychlostLabel)));
    QCOMPARE(f.form->Panel1->text(),
             QStringLiteral("Zde  uvidíte  zvolenou  přenosovou  rychlost"));
    QCOMPARE(f.form->RychlostLabel->toolTip(), QStringLiteral("Baud"));
    QCOMPARE(
        kelvor::longHint(kelvor::hintOf(f.form->Vyber_Intervalu)),
        QStringLiteral(
            "Tato  část  programu  je  určena  pro  výběr  zajímavého  intervalu  z  tabulky"));
  }

  void theHelpKeyOpensTheContextOfTheActiveWindow() {
    Fixture f("");
    f.form->show();
    QApplication::setActiveWindow(f.form.get());
    QTest::keyClick(f.form->PageControl1, Qt::Key_F1);
    QCOMPARE(f.form->helpViewer()->currentAnchor(), QStringLiteral("ctx10"));
  }

  void helpOpensTheContents() {
    Fixture f("");
    f.form->N5Click();
    QCOMPARE(f.form->helpViewer()->currentAnchor(), QStringLiteral("obsah"));
    QVERIFY(f.form->helpViewer()->shownText().contains(QStringLiteral("Vymazání dat")));
  }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
