#include "app/core/valuelists.h"
#include "app/form1.h"
#include "app/pages/analyzapage.h"
#include "app/pages/grafpage.h"
#include "app/pages/parametrypage.h"
#include "app/pages/radiogroup.h"
#include "app/pages/tabulkapage.h"
#include "app/program.h"
#include "data/core/numbertext.h"
#include "data/form3.h"
#include "tests/support/pagecontrols.h"
#include "tests/support/scripteddialogs.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <array>
#include <functional>

using kelvor::ChartAxis;
using kelvor::ChartEngine;
using kelvor::MeasurementTable;
using kelvor::TForm1;
using kelvor::TForm3;

namespace {

// Also notes the limits and presets the boxes were opened with.
class RecordingDialogs : public ScriptedDialogs {
public:
  std::vector<int> textLimits;
  std::vector<kelvor::TColor> colorPresets;

  std::optional<QString> inputText(const QString& caption, const QString& prompt,
                                   const QString& initial, int maxLength) override {
    textLimits.push_back(maxLength);
    return ScriptedDialogs::inputText(caption, prompt, initial, maxLength);
  }
  kelvor::TColor chooseColor(kelvor::TColor initial) override {
    colorPresets.push_back(initial);
    return ScriptedDialogs::chooseColor(initial);
  }
};

// A main window with its report form and interval window, started over a folder of its own.
struct Window {
  RecordingDialogs* dialogs = nullptr;
  kelvor::Program program;
  TForm1* form;
  TForm3* form3;

  explicit Window(const QString& folder)
      : program(kelvor::FileLocations::forExecutableDir(folder), keptDialogs(dialogs)),
        form(&program.form()), form3(&program.form3()) {}

  ChartEngine& chart() { return form->GRAF->chartReport.chart(); }
};

struct Fixture {
  QTemporaryDir dir;
  std::unique_ptr<Window> window;

  explicit Fixture(const QByteArray& ini) {
    QFile file(dir.filePath(QStringLiteral("Kelvor.ini")));
    file.open(QIODevice::WriteOnly);
    file.write(ini);
    file.close();
    start();
  }
  void start() { window = std::make_unique<Window>(dir.path()); }
  void restart() {
    window->form->FormDestroy();
    window.reset();
    start();
  }

  TForm1& form() { return *window->form; }
  RecordingDialogs& dialogs() { return *window->dialogs; }
  ChartEngine& chart() { return window->chart(); }
  QStringList iniLines() const {
    QFile file(dir.filePath(QStringLiteral("Kelvor.ini")));
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }
};

std::string minutesText(int index, int doba) {
  return kelvor::formatFixed(index * doba / 60.0, 6, 1);
}

// A discharge curve sagging from 12.6 V, stored as the measuring cycle stores it.
std::string voltageText(int index) {
  return kelvor::formatFixed(12.6 - 0.002 * index - (index % 7) * 0.01, 6, 3);
}

void appendRecords(MeasurementTable& table, int count, int doba,
                   const std::function<std::string(int)>& voltage = voltageText) {
  MeasurementTable::Batch batch(table);
  MeasurementTable::ViewSuspension suspended(table);
  const int first = table.recordCount();
  for (int i = first; i < first + count; ++i) {
    table.append();
    table.setTime((8 * 3600 + i * doba) % kelvor::kSecondsPerDay);
    table.setMinutes(minutesText(i, doba));
    table.setVoltage(voltage(i));
    table.post();
  }
  batch.commit();
}

bool sameAxis(const ChartAxis& a, const ChartAxis& b) {
  return a.minimum == b.minimum && a.maximum == b.maximum && a.increment == b.increment &&
         a.title == b.title;
}

// The size of ReportChart1 in chart pixels (a chart pixel is 1/96 inch).
QSizeF reportChartSize() {
  return QSizeF(272.1, 183.9) * (96.0 / 25.4);
}

// Answers the preview window that `run` opens, noting its title and page count, and closes it.
struct PreviewSeen {
  QString title;
  int pages = -1;
};
PreviewSeen closePreviewOpenedBy(const std::function<void()>& run) {
  PreviewSeen seen;
  QTimer poll;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&seen, &poll] {
    auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible())
      return;
    poll.stop();
    seen.title = dialog->windowTitle();
    if (const auto* preview = dialog->findChild<QPrintPreviewWidget*>())
      seen.pages = preview->pageCount();
    dialog->reject();
  });
  poll.start();
  run();
  return seen;
}

// Listens to the table as a bound view does; on the notification that ends the re-read's
// suspension it stores one more record and asks for another re-read.
class RereadRequester : public kelvor::TableListener {
public:
  explicit RereadRequester(TForm1& form) : m_form(form) { m_form.Table1.addListener(this); }
  ~RereadRequester() { m_form.Table1.removeListener(this); }
  RereadRequester(const RereadRequester&) = delete;
  RereadRequester& operator=(const RereadRequester&) = delete;

  bool sawHourglass = false;
  bool requested = false;

  void tableChanged() override {
    if (requested)
      return;
    requested = true;
    const QCursor* cursor = QApplication::overrideCursor();
    sawHourglass = cursor && cursor->shape() == Qt::WaitCursor;
    appendRecords(m_form.Table1, 1, 6);
    m_form.GRAF->chartReread();
  }

private:
  TForm1& m_form;
};

} // namespace

class TestGraf : public QObject {
  Q_OBJECT

private slots:
  void timeAxisSpansTheRecordsOfScaleX() {
    Fixture f("[Graph]\nScaleX=120\nScaleY=15\n[Ukladani]\nDoba=36\n");
    QCOMPARE(f.chart().bottomAxis().minimum, 0.0);
    QCOMPARE(f.chart().bottomAxis().maximum, 200.0);
    controlOf<QAction>(&f.form(), "Sca_X_600")->trigger();
    QCOMPARE(f.form().GRAF->ScaleX, 600);
    QVERIFY(controlOf<QAction>(&f.form(), "Sca_X_600")->isChecked());
    QVERIFY(!controlOf<QAction>(&f.form(), "Sca_X_120")->isChecked());
    QCOMPARE(f.chart().bottomAxis().maximum, 1000.0);
    QCOMPARE(f.chart().bottomAxis().minimum, 0.0);
    controlOf<QAction>(&f.form(), "Sca_X_060")->trigger();
    QCOMPARE(f.chart().bottomAxis().maximum, 100.0);
    f.form().GRAF->Sca_X_300Click();
    QCOMPARE(f.chart().bottomAxis().maximum, 500.0);
    QVERIFY(controlOf<QAction>(&f.form(), "Sca_X_300")->isChecked() &&
            !controlOf<QAction>(&f.form(), "Sca_X_060")->isChecked());
  }

  void theScaleMenusShowTheirListsAndSetTheirValues() {
    Fixture f("[Graph]\nScaleX=60\nScaleY=15\n[Ukladani]\nDoba=18\n");
    TForm1& w = f.form();
    const std::array<QAction*, 4> timeAxis{
        controlOf<QAction>(&w, "Sca_X_060"), controlOf<QAction>(&w, "Sca_X_120"),
        controlOf<QAction>(&w, "Sca_X_300"), controlOf<QAction>(&w, "Sca_X_600")};
    const std::array<QAction*, 2> voltageAxis{controlOf<QAction>(&w, "Sca_Y_15"),
                                              controlOf<QAction>(&w, "Sca_Y_03")};
    QCOMPARE(timeAxis.size(), kelvor::kTimeAxisScales.size());
    QCOMPARE(voltageAxis.size(), kelvor::kVoltageAxisScales.size());
    QCOMPARE(controlOf<QAction>(&w, "Osa_Casu")->menu()->actions(),
             QList<QAction*>(timeAxis.begin(), timeAxis.end()));
    QCOMPARE(controlOf<QAction>(&w, "Osa_Napeti")->menu()->actions(),
             QList<QAction*>(voltageAxis.begin(), voltageAxis.end()));
    // From the last item to the first, so every choice changes the setting.
    for (std::size_t i = timeAxis.size(); i-- > 0;) {
      const kelvor::TimeAxisScale& scale = kelvor::kTimeAxisScales[i];
      QCOMPARE(timeAxis[i]->objectName(), QString::fromUtf8(scale.name));
      QCOMPARE(timeAxis[i]->text(), QString::fromUtf8(scale.caption));
      timeAxis[i]->trigger();
      QCOMPARE(w.GRAF->ScaleX, scale.value);
      QVERIFY(timeAxis[i]->isChecked());
      QCOMPARE(f.chart().bottomAxis().maximum, scale.value * 60.0 / 18);
    }
    for (std::size_t i = voltageAxis.size(); i-- > 0;) {
      const kelvor::VoltageAxisScale& scale = kelvor::kVoltageAxisScales[i];
      QCOMPARE(voltageAxis[i]->objectName(), QString::fromUtf8(scale.name));
      QCOMPARE(voltageAxis[i]->text(), QString::fromUtf8(scale.caption));
      voltageAxis[i]->trigger();
      QCOMPARE(w.GRAF->ScaleY, scale.value);
      QVERIFY(voltageAxis[i]->isChecked());
      QCOMPARE(f.chart().leftAxis().minimum, scale.minimum);
      QCOMPARE(f.chart().leftAxis().maximum, scale.maximum);
      QCOMPARE(f.chart().leftAxis().increment, scale.increment);
    }
    // Shutdown stores the checked items' values, which start-up checks again.
    controlOf<QAction>(&w, "Sca_X_120")->trigger();
    controlOf<QAction>(&w, "Sca_Y_03")->trigger();
    f.restart();
    QVERIFY(controlOf<QAction>(&f.form(), "Sca_X_120")->isChecked() &&
            !controlOf<QAction>(&f.form(), "Sca_X_060")->isChecked());
    QVERIFY(controlOf<QAction>(&f.form(), "Sca_Y_03")->isChecked() &&
            !controlOf<QAction>(&f.form(), "Sca_Y_15")->isChecked());
    QCOMPARE(f.form().GRAF->ScaleX, 120);
    QCOMPARE(f.form().GRAF->ScaleY, 3);
  }

  void voltageAxisFollowsScaleY() {
    Fixture f("[Graph]\nScaleX=60\nScaleY=15\n[Ukladani]\nDoba=6\n");
    controlOf<QAction>(&f.form(), "Sca_Y_03")->trigger();
    QCOMPARE(f.form().GRAF->ScaleY, 3);
    QVERIFY(controlOf<QAction>(&f.form(), "Sca_Y_03")->isChecked() &&
            !controlOf<QAction>(&f.form(), "Sca_Y_15")->isChecked());
    QCOMPARE(f.chart().leftAxis().minimum, 10.0);
    QCOMPARE(f.chart().leftAxis().maximum, 13.0);
    QCOMPARE(f.chart().leftAxis().increment, 0.5);
    controlOf<QAction>(&f.form(), "Sca_Y_15")->trigger();
    QCOMPARE(f.form().GRAF->ScaleY, 15);
    QCOMPARE(f.chart().leftAxis().minimum, 0.0);
    QCOMPARE(f.chart().leftAxis().maximum, 15.0);
    QCOMPARE(f.chart().leftAxis().increment, 2.5);

    // A value of no item leaves the axis as the last choice set it.
    f.form().GRAF->Sca_Y_03Click();
    const ChartAxis before = f.chart().leftAxis();
    f.form().GRAF->ScaleY = 7;
    f.form().GRAF->RedrawScreen();
    QVERIFY(sameAxis(f.chart().leftAxis(), before));
  }

  void anUnknownScaleYKeepsTheDesignedAxis() {
    Fixture f("[Graph]\nScaleX=60\nScaleY=7\n[Ukladani]\nDoba=6\n");
    QVERIFY(sameAxis(f.chart().leftAxis(), ChartEngine().leftAxis()));
    QVERIFY(!controlOf<QAction>(&f.form(), "Sca_Y_03")->isChecked() &&
            !controlOf<QAction>(&f.form(), "Sca_Y_15")->isChecked());
  }

  void aNewStorageIntervalWaitsForTheNextRedraw() {
    Fixture f("[Graph]\nScaleX=120\nScaleY=15\nTitulek=T\n[Ukladani]\nDoba=36\n");
    QCOMPARE(f.chart().bottomAxis().maximum, 200.0);
    controlOf<kelvor::RadioGroup>(f.form().PARAMETRY, "DobaUkladani")->setItemIndex(0);
    QCOMPARE(int(f.form().measuring().cycle.Doba), 6);
    QCOMPARE(f.chart().bottomAxis().maximum, 200.0);
    f.dialogs().textAnswers = {QStringLiteral("T")};
    f.form().GRAF->Titulek_GrafuClick();
    QCOMPARE(f.chart().bottomAxis().maximum, 1200.0);
  }

  void onlyTheFirstSixHundredAndOneOfSevenHundredPointsLieOnTheAxis() {
    Fixture f("[Graph]\nScaleX=60\nScaleY=3\n[Ukladani]\nDoba=6\n");
    appendRecords(f.form().Table1, 700, 6);
    f.form().GRAF->chartReread();
    const kelvor::ChartSeries& series = f.chart().series();
    QCOMPARE(f.chart().bottomAxis().maximum, 600.0);
    QCOMPARE(series.count(), std::size_t(700));
    for (std::size_t i = 0; i < series.count(); ++i) {
      QCOMPARE(series.x(i), double(i));
      QCOMPARE(series.y(i), double(float(kelvor::strToFloat(voltageText(int(i))))));
    }
    const auto [first, last] = f.chart().visibleRange();
    QCOMPARE(first, std::size_t(0));
    QCOMPARE(last, std::size_t(601));
  }

  void aBadVoltageStopsTheRereadAtItsRecord_data() {
    QTest::addColumn<QString>("voltage");
    QTest::newRow("letters") << QStringLiteral("12,5V");
    QTest::newRow("two points") << QStringLiteral("1.2.3");
    QTest::newRow("empty") << QString();
  }
  void aBadVoltageStopsTheRereadAtItsRecord() {
    QFETCH(QString, voltage);
    Fixture f("[Graph]\nScaleX=60\nScaleY=3\n[Ukladani]\nDoba=6\n");
    constexpr int kBadRecord = 3;
    MeasurementTable& table = f.form().Table1;
    appendRecords(table, 6, 6, [&voltage](int i) {
      return i == kBadRecord ? voltage.toStdString() : voltageText(i);
    });
    table.moveTo(5);

    for (int attempt = 0; attempt < 2; ++attempt) {
      f.dialogs().messages.clear();
      f.form().GRAF->chartReread();
      QCOMPARE(f.chart().series().count(), std::size_t(kBadRecord));
      QCOMPARE(f.chart().series().y(kBadRecord - 1),
               double(float(kelvor::strToFloat(voltageText(kBadRecord - 1)))));
      QCOMPARE(f.dialogs().messages.size(), std::size_t(1));
      QCOMPARE(f.dialogs().messages[0].text,
               QLatin1Char('\'') + voltage +
                   QStringLiteral("' is not a valid floating point value"));
      QCOMPARE(f.dialogs().messages[0].icon, kelvor::OperatorDialogs::Icon::Error);
      QVERIFY(!table.controlsDisabled());
      QCOMPARE(table.recNo(), 5);
      QVERIFY(!QApplication::overrideCursor());
    }

    table.moveTo(kBadRecord);
    table.edit();
    table.setVoltage("12.000");
    table.post();
    f.dialogs().messages.clear();
    f.form().GRAF->chartReread();
    QCOMPARE(f.chart().series().count(), std::size_t(6));
    QVERIFY(f.dialogs().messages.empty());
    QCOMPARE(table.recNo(), kBadRecord);
  }

  void aRecordBeingAppendedIsStoredAndDrawn() {
    Fixture f("[Graph]\nScaleX=60\nScaleY=3\n[Ukladani]\nDoba=6\n");
    MeasurementTable& table = f.form().Table1;
    appendRecords(table, 4, 6);
    table.append();
    table.setMinutes(minutesText(4, 6));
    table.setVoltage("11.500");
    f.form().GRAF->chartReread();
    QCOMPARE(table.state(), kelvor::TableState::Browse);
    QCOMPARE(table.recordCount(), 5);
    QCOMPARE(table.recNo(), 4);
    QCOMPARE(f.chart().series().count(), std::size_t(5));
    QCOMPARE(f.chart().series().y(4), 11.5);
  }

  void anEmptyTableGivesAChartWithoutPoints() {
    Fixture f("[Graph]\nScaleX=60\nScaleY=15\nTitulek=PRAZDNY\n[Ukladani]\nDoba=6\n");
    appendRecords(f.form().Table1, 3, 6);
    f.form().GRAF->chartReread();
    QCOMPARE(f.chart().series().count(), std::size_t(3));
    f.dialogs().yesNoAnswers = {true};
    f.form().TABULKA->Vymazat_dataClick();
    QCOMPARE(f.form().Table1.recordCount(), 0);
    QCOMPARE(f.chart().series().count(), std::size_t(0));
    QCOMPARE(f.chart().visibleRange(), std::make_pair(std::size_t(0), std::size_t(0)));
    QCOMPARE(f.chart().firstTitleLine(), QStringLiteral("PRAZDNY"));
    QCOMPARE(f.chart().bottomAxis().maximum, 600.0);
    QVERIFY(f.dialogs().messages.empty());
  }

  void cancelledDialogsChangeNothing() {
    Fixture f(
        "[Graph]\nScaleX=120\nScaleY=3\nTitulek=NABIJENI\nBarva=clLime\n[Ukladani]\nDoba=36\n");
    appendRecords(f.form().Table1, 20, 36);
    f.form().GRAF->chartReread();
    QCOMPARE(f.chart().series().color(), kelvor::clLime);
    const ChartAxis bottom = f.chart().bottomAxis();
    const ChartAxis left = f.chart().leftAxis();

    f.form().GRAF->Barva_KrivkyClick();
    QCOMPARE(f.dialogs().colorPresets, std::vector<kelvor::TColor>{kelvor::clLime});
    f.dialogs().textAnswers = {QString()};
    f.form().GRAF->Titulek_GrafuClick();

    QCOMPARE(f.chart().series().color(), kelvor::clLime);
    QCOMPARE(f.chart().firstTitleLine(), QStringLiteral("NABIJENI"));
    QCOMPARE(f.form().GRAF->Titulek, QStringLiteral("NABIJENI"));
    QVERIFY(sameAxis(f.chart().bottomAxis(), bottom));
    QVERIFY(sameAxis(f.chart().leftAxis(), left));
    QCOMPARE(f.chart().series().count(), std::size_t(20));
  }

  void anAcceptedColourIsDrawnAndSaved_data() {
    QTest::addColumn<kelvor::TColor>("color");
    QTest::addColumn<QString>("stored");
    QTest::newRow("named") << kelvor::clRed << QStringLiteral("Barva=clRed");
    QTest::newRow("unnamed") << kelvor::rgbColor(0x12, 0x34, 0x56)
                             << QStringLiteral("Barva=$00563412");
  }
  void anAcceptedColourIsDrawnAndSaved() {
    QFETCH(kelvor::TColor, color);
    QFETCH(QString, stored);
    Fixture f("[Graph]\nScaleX=60\nScaleY=15\nBarva=clBlue\n[Ukladani]\nDoba=6\n");
    f.dialogs().colorAnswers = {color};
    controlOf<QAction>(&f.form(), "Barva_Krivky")->trigger();
    QCOMPARE(f.chart().series().color(), color);
    f.form().FormDestroy();
    QVERIFY2(f.iniLines().contains(stored), qPrintable(f.iniLines().join(QLatin1Char(' '))));
    f.restart();
    QCOMPARE(f.chart().series().color(), color);
  }

  void chartChoicesSurviveARestart() {
    Fixture f("[Graph]\nScaleX=60\nScaleY=15\nTitulek=STARY\n[Ukladani]\nDoba=18\n");
    controlOf<QAction>(&f.form(), "Sca_X_300")->trigger();
    controlOf<QAction>(&f.form(), "Sca_Y_03")->trigger();
    f.dialogs().textAnswers = {QStringLiteral("NOVY")};
    f.form().GRAF->Titulek_GrafuClick();
    const ChartAxis bottom = f.chart().bottomAxis();
    const ChartAxis left = f.chart().leftAxis();
    QCOMPARE(bottom.maximum, 1000.0);
    f.restart();
    QVERIFY(controlOf<QAction>(&f.form(), "Sca_X_300")->isChecked());
    QVERIFY(controlOf<QAction>(&f.form(), "Sca_Y_03")->isChecked());
    QVERIFY(sameAxis(f.chart().bottomAxis(), bottom));
    QVERIFY(sameAxis(f.chart().leftAxis(), left));
    QCOMPARE(f.chart().firstTitleLine(), QStringLiteral("NOVY"));
  }

  void aBarvaThatNamesNoColourGivesBlue() {
    Fixture f("[Graph]\nScaleX=60\nScaleY=15\nBarva=Zelena\n[Ukladani]\nDoba=6\n");
    QCOMPARE(f.chart().series().color(), kelvor::clBlue);
    Fixture lime("[Graph]\nScaleX=60\nScaleY=15\nBarva=cllime\n[Ukladani]\nDoba=6\n");
    QCOMPARE(lime.chart().series().color(), kelvor::clLime);
  }

  void theTitleBoxOffersThePresentTitle() {
    Fixture f("[Graph]\nScaleX=60\nScaleY=15\nTitulek=PUVODNI\n[Ukladani]\nDoba=6\n");
    QCOMPARE(f.chart().firstTitleLine(), QStringLiteral("PUVODNI"));
    f.chart().setFirstTitleLine(QStringLiteral("NA GRAFU"));
    f.dialogs().textAnswers = {QString()};
    controlOf<QAction>(&f.form(), "Titulek_Grafu")->trigger();
    QCOMPARE(f.dialogs().questions.size(), std::size_t(1));
    QCOMPARE(f.dialogs().questions[0].title, QStringLiteral("TITULEK  GRAFU:"));
    QCOMPARE(f.dialogs().questions[0].text,
             QStringLiteral("Zadejte  titulek [ 30 znaků ]:|NA GRAFU"));
    QCOMPARE(f.dialogs().textLimits, std::vector<int>{255});
  }

  void aFortyCharacterTitleIsShownWhole() {
    Fixture f("[Graph]\nScaleX=60\nScaleY=15\nTitulek=KRATKY\n[Ukladani]\nDoba=6\n");
    const QString title = QStringLiteral("VYBÍJENÍ  AKUMULÁTORU  NiCd  600 mAh  Č7");
    QCOMPARE(title.size(), 40);
    f.dialogs().textAnswers = {title};
    f.form().GRAF->Titulek_GrafuClick();
    QCOMPARE(f.form().GRAF->Titulek, title);
    QCOMPARE(f.chart().firstTitleLine(), title);
    QCOMPARE(f.chart().titleLines().size(), 1);

    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(27);
    font.setBold(true);
    font.setUnderline(true);
    const kelvor::ChartLayout layout = f.chart().layout(reportChartSize());
    QVERIFY(QFontMetricsF(font).horizontalAdvance(title) <= layout.title.width());

    f.form().FormDestroy();
    QVERIFY(f.iniLines().contains(QStringLiteral("Titulek=") + title));
  }

  void pointLabelsKeepTheirLeadingBlanks() {
    Fixture f("[Graph]\nScaleX=60\nScaleY=3\n[Ukladani]\nDoba=60\n");
    appendRecords(f.form().Table1, 30, 60);
    f.form().GRAF->chartReread();
    const kelvor::ChartSeries& series = f.chart().series();
    QCOMPARE(series.count(), std::size_t(30));
    for (std::size_t i = 0; i < series.count(); ++i)
      QCOMPARE(std::string(series.label(i)), minutesText(int(i), 60));
    const auto labels = f.chart().bottomLabels(f.chart().layout(reportChartSize()));
    QVERIFY(!labels.empty());
    for (const kelvor::ChartAxisLabel& label : labels)
      QVERIFY2(label.text.startsWith(QStringLiteral("  ")), qPrintable(label.text));
  }

  void aRereadAskedForDuringARereadReturnsAtOnce() {
    Fixture f("[Graph]\nScaleX=60\nScaleY=3\n[Ukladani]\nDoba=6\n");
    appendRecords(f.form().Table1, 10, 6);
    RereadRequester requester(f.form());
    f.form().GRAF->chartReread();
    QVERIFY(requester.requested);
    QVERIFY(requester.sawHourglass);
    QCOMPARE(f.form().Table1.recordCount(), 11);
    // The chart follows the table: the record stored during the re-read is on it already.
    QCOMPARE(f.chart().series().count(), std::size_t(11));
    QVERIFY(!QApplication::overrideCursor());
    f.form().GRAF->chartReread();
    QCOMPARE(f.chart().series().count(), std::size_t(11));
  }

  void theHeaderBoxSetsTheReportHeader() {
    Fixture f(
        "[Tabulka]\nHlavickaTab=ULOZENA\n[Graph]\nScaleX=60\nScaleY=15\n[Ukladani]\nDoba=6\n");
    const QString designed = QString::fromUtf8(kelvor::kDesignedTableHeader);
    QCOMPARE(f.window->form3->headerCaption(), designed);

    f.dialogs().textAnswers = {QString()};
    controlOf<QAction>(&f.form(), "Hlavicka_Tabulky")->trigger();
    QCOMPARE(f.dialogs().questions.back().title, QStringLiteral("HLAVIČKA  TABULKY  NAHOŘE:"));
    QCOMPARE(f.dialogs().questions.back().text,
             QStringLiteral("Zadejte  hlavičku [ Max. 30 znaků ]:|ULOZENA"));
    QCOMPARE(f.window->form3->headerCaption(), designed);
    QCOMPARE(f.form().TABULKA->HlavickaTab, QStringLiteral("ULOZENA"));
    QCOMPARE(f.dialogs().textLimits, std::vector<int>{255});

    const QString header = QStringLiteral("ZKOUŠKA  ČLÁNKU  Č. 7");
    f.dialogs().textAnswers = {header};
    f.form().TABULKA->Hlavicka_TabulkyClick();
    QCOMPARE(f.form().TABULKA->HlavickaTab, header);
    QCOMPARE(f.window->form3->headerCaption(), header);

    f.restart();
    QCOMPARE(f.window->form3->headerCaption(), designed);
    f.dialogs().textAnswers = {QString()};
    f.form().TABULKA->Hlavicka_TabulkyClick();
    QCOMPARE(f.dialogs().questions.back().text,
             QStringLiteral("Zadejte  hlavičku [ Max. 30 znaků ]:|") + header);
    QCOMPARE(f.window->form3->headerCaption(), designed);
  }

  void thePreviewsOpenWithTheirTitles() {
    Fixture f("[Graph]\nScaleX=60\nScaleY=3\n[Ukladani]\nDoba=6\n");
    appendRecords(f.form().Table1, 60, 6);
    f.form().GRAF->chartReread();
    const PreviewSeen chart =
        closePreviewOpenedBy([&f] { controlOf<QAction>(&f.form(), "Tisk_Grafu")->trigger(); });
    QCOMPARE(chart.title, QString::fromUtf8(kelvor::kChartReportTitle));
    QCOMPARE(chart.pages, 1);
    const PreviewSeen table =
        closePreviewOpenedBy([&f] { controlOf<QAction>(&f.form(), "Tisk_tabulky")->trigger(); });
    QCOMPARE(table.title, QString::fromUtf8(kelvor::kTableReportTitle));
    QVERIFY(table.pages > 1);
    const PreviewSeen chartByButton = closePreviewOpenedBy(
        [&f] { controlOf<QToolButton>(f.form().GRAF, "SpeedButton3")->click(); });
    QCOMPARE(chartByButton.title, chart.title);
    const PreviewSeen tableByButton = closePreviewOpenedBy(
        [&f] { controlOf<QToolButton>(f.form().TABULKA, "SpeedButton1")->click(); });
    QCOMPARE(tableByButton.title, table.title);
    QCOMPARE(tableByButton.pages, table.pages);
    QVERIFY(f.dialogs().messages.empty());
  }

  // A bad line keeps the lines before it with the import's message, at start-up without a box;
  // a file gone missing is said on the status line; a removed reference stays removed.
  void aReferenceFollowsItsFileAcrossRestarts() {
    Fixture f("[Graph]\nScaleX=60\nScaleY=15\n[Ukladani]\nDoba=6\n[Analyza]\nOdpojeni=12.555\n");
    const QString path = f.dir.filePath(QStringLiteral("ref.dat"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("    08:00:00         0.0      12.600\r\n    08:00:06         0.1      12.550\r\n"
               "konec\r\n");
    file.close();
    f.dialogs().fileAnswers = {path};
    appendRecords(f.form().Table1, 10, 6, [](int i) { return std::to_string(12.6 - 0.01 * i); });
    controlOf<QAction>(&f.form(), "Referencni_Krivka")->trigger();
    QCOMPARE(f.form().GRAF->reference().size(), std::size_t{2});
    QCOMPARE(f.dialogs().messages.back().text, QStringLiteral("'konec' is not a valid time"));
    // The run reaches the cut-off 0.5 min in, the reference 0.1 min in.
    f.form().show();
    f.form().PageControl1->setCurrentWidget(f.form().ANALYZA);
    QCOMPARE(f.form().ANALYZA->shownValue("ReferenceDoba"), QStringLiteral("+0.4  min"));
    for (const QString& why :
         {QStringLiteral("'konec' is not a valid time"), QStringLiteral("File not found")}) {
      f.restart();
      QVERIFY(f.dialogs().messages.empty());
      QVERIFY2(f.form().Panel1->text().endsWith(why), qPrintable(f.form().Panel1->text()));
      QFile::rename(path, path + QStringLiteral(".old"));
    }
    QVERIFY(f.form().GRAF->reference().empty());
    QFile::rename(path + QStringLiteral(".old"), path);
    controlOf<QAction>(&f.form(), "Bez_Referencni_Krivky")->trigger();
    f.restart();
    QVERIFY(f.form().GRAF->reference().empty());
    QVERIFY(f.iniLines().contains(QStringLiteral("Reference=")));
  }

  // Renders the GRAF page as the operator sees it; KELVOR_GRAF_PNG names a file to keep it.
  void theGrafPageDrawsTheLine() {
    Fixture f(
        "[Graph]\nScaleX=60\nScaleY=3\nTitulek=VYBÍJENÍ  AKUMULÁTORU\nBarva=clRed\n[Ukladani]\nDoba=6\n[Sheet]\nStranka=GRAF\n");
    appendRecords(f.form().Table1, 400, 6);
    f.form().GRAF->chartReread();
    f.form().resize(1280, 800);
    f.form().show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.form()));
    const QImage page = f.form().GRAF->grab().toImage();
    if (const QByteArray path = qgetenv("KELVOR_GRAF_PNG"); !path.isEmpty())
      QVERIFY(page.save(QString::fromLocal8Bit(path)));
    int reddish = 0;
    for (int y = 0; y < page.height(); ++y)
      for (int x = 0; x < page.width(); ++x) {
        const QColor pixel = page.pixelColor(x, y);
        reddish += pixel.red() > 200 && pixel.green() < 80 && pixel.blue() < 80;
      }
    QVERIFY2(reddish > 200, qPrintable(QString::number(reddish)));
  }
};

QTEST_MAIN(TestGraf)
#include "tst_graf.moc"
