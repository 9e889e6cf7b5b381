#include "app/core/settingsvalues.h"
#include "app/core/valuelists.h"
#include "app/pages/grafpage.h"
#include "app/pages/tabulkapage.h"
#include "data/core/measurementtable.h"
#include "data/dbgrid.h"
#include "data/form7.h"
#include "data/tablemodel.h"
#include "instrument/core/measuringcycle.h"
#include "instrument/measuringcontroller.h"
#include "serial/serialline.h"
#include "tests/support/fakeline.h"
#include "tests/support/pagecontrols.h"
#include "tests/support/recordinghost.h"
#include "tests/support/tablerows.h"
#include "widgets/maskedit.h"

#include <QAction>
#include <QActionGroup>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <stdexcept>

using namespace kelvor;

namespace {

// The scale items of the frame's menu, in the order of their scale lists.
QActionGroup* scaleGroup(QObject* owner, std::size_t items) {
  auto* group = new QActionGroup(owner);
  for (std::size_t i = 0; i < items; ++i)
    group->addAction(QStringLiteral("scale %1").arg(i))->setCheckable(true);
  return group;
}

// The GRAF and TABULKA pages over a table of their own and a measuring session on the fake
// line, without a main window, connected as the frame connects them. The pages are declared
// after the table, so they go before the table they watch.
struct Pages : FakeLine {
  explicit Pages(const std::vector<MeasurementRecord>& records = {})
      : measuring(table, std::move(port)), cycle(measuring.cycle) {
    table.open(QFile::encodeName(dir.filePath(QStringLiteral("pages.db"))).toStdString());
    appendRecords(table, records);
    cycle.Doba = 6;
    graf = std::make_unique<GrafPage>(host, table, measuring);
    tabulka = std::make_unique<TabulkaPage>(host, table, measuring);
    QObject::connect(tabulka.get(), &TabulkaPage::recordsChanged, graf.get(),
                     &GrafPage::chartReread);
    graf->ScaleX = 60;
    graf->ScaleY = 15;
    graf->bindChartToTable();
    graf->RedrawScreen();
  }

  std::size_t chartPoints() const { return graf->chartReport.chart().series().count(); }
  QStringList messageTexts() const {
    QStringList texts;
    for (const ScriptedDialogs::Shown& shown : host.scripted.messages)
      texts << shown.text;
    return texts;
  }

  QTemporaryDir dir;
  RecordingHost host;
  MeasurementTable table;
  MeasuringController measuring;
  MeasuringCycle& cycle;
  std::unique_ptr<GrafPage> graf;
  std::unique_ptr<TabulkaPage> tabulka;
};

const std::vector<MeasurementRecord> kThreeRecords{{28800, "   0.1", "     12.000"},
                                                   {28806, "   0.2", "     11.990"},
                                                   {28812, "   0.3", "     11.980"}};

} // namespace

class TstPages : public QObject {
  Q_OBJECT

private slots:
  void pagesAreTheirTabs() {
    Pages p;
    QCOMPARE(p.graf->objectName(), QStringLiteral("GRAF"));
    QCOMPARE(p.tabulka->objectName(), QStringLiteral("TABULKA"));
    QCOMPARE(controlOf<kelvor::DBGrid>(p.tabulka.get(), "DBGrid1")->parentWidget(),
             p.tabulka.get());
  }

  void clearThroughTheTableEmptiesTableGridAndChart() {
    Pages p(kThreeRecords);
    QCOMPARE(p.chartPoints(), std::size_t{3});
    p.cycle.MinutesText = "   0.3";
    p.host.scripted.yesNoAnswers = {false};
    p.tabulka->Vymazat_dataClick();
    QCOMPARE(p.table.recordCount(), 3);
    QCOMPARE(p.chartPoints(), std::size_t{3});
    QCOMPARE(p.cycle.MinutesText, std::string("   0.3"));

    p.host.scripted.yesNoAnswers = {true};
    p.tabulka->Vymazat_dataClick();
    QCOMPARE(p.table.recordCount(), 0);
    QCOMPARE(p.tabulka->DataSource1->rowCount(), 0);
    QCOMPARE(p.chartPoints(), std::size_t{0});
    QCOMPARE(p.cycle.MinutesText, std::string("0.0"));
    QVERIFY2(p.host.errors.isEmpty(), qPrintable(p.host.errors.join(QLatin1Char('\n'))));
  }

  // The selection comes from the interval window's signal; the chart's re-read after it is
  // what reports a VOLTAGE that is no number, so a second report shows the re-read ran.
  void selectionFromTheIntervalWindowRereadsTheChart() {
    Pages p({{28800, "   0.1", "     12.000"},
             {28806, "   0.2", "bad"},
             {28812, "   0.3", "     11.980"}});
    QCOMPARE(p.host.errors.size(), 1);
    const SettingsKeyAccess unstored{[](const std::string& fallback) { return fallback; },
                                     [](const std::string&) { return true; }};
    TForm7 form7(unstored, unstored);
    p.tabulka->attachForms(nullptr, &form7);
    form7.ZacatekEdit->setText(QStringLiteral("  0.1"));
    form7.KonecEdit->setText(QStringLiteral("  0.2"));
    p.host.scripted.yesNoAnswers = {true};
    emit form7.selectRequested();
    QCOMPARE(p.table.recordCount(), 2);
    QCOMPARE(p.tabulka->DataSource1->rowCount(), 2);
    QCOMPARE(p.host.errors.size(), 2);
    QCOMPARE(p.host.errors.last(), p.host.errors.first());
    QVERIFY2(p.host.errors.last().contains(QStringLiteral("'bad'")),
             qPrintable(p.host.errors.last()));
  }

  void importSetsTheMinutesAndStopsAtABadLine() {
    Pages p;
    const QString file = p.dir.filePath(QStringLiteral("import.dat"));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("    08:00:00         0.1      12.000\r\n"
              "    08:00:06         0.2      11.990\r\n"
              "    nonsense\r\n"
              "    08:00:18         0.4      11.970\r\n");
    out.close();
    p.host.scripted.fileAnswers = {file};
    p.tabulka->Import_ASCIIClick();
    QCOMPARE(p.table.recordCount(), 2);
    QCOMPARE(p.cycle.MinutesText, p.table.record(1).minutes);
    QCOMPARE(p.host.errors.size(), 1);
    QCOMPARE(p.tabulka->DataSource1->rowCount(), 2);
  }

  void exportsTellWhereTheFileWent() {
    Pages p(kThreeRecords);
    const QString ascii = p.dir.filePath(QStringLiteral("out.dat"));
    const QString bitmap = p.dir.filePath(QStringLiteral("out.bmp"));
    p.host.scripted.fileAnswers = {ascii, bitmap};
    p.tabulka->ExportASCII1Click();
    p.graf->Export_BMPClick();
    QVERIFY(QFileInfo(ascii).size() > 0);
    QVERIFY(QFileInfo(bitmap).size() > 0);
    const QString told = QStringLiteral("Exportovaná data byla uložena do souboru:\n");
    QCOMPARE(p.messageTexts(), QStringList({told + QFileInfo(ascii).absoluteFilePath(),
                                            told + QFileInfo(bitmap).absoluteFilePath()}));

    // A file that cannot be written is an error, not an export.
    p.host.scripted.fileAnswers = {p.dir.filePath(QStringLiteral("missing/out.wmf"))};
    p.graf->Export_WMFClick();
    QCOMPARE(p.host.errors.size(), 1);
    QCOMPARE(p.messageTexts().size(), 2);
  }

  void scaleChoiceSetsTheAxisAndMarksItsItem() {
    Pages p;
    QObject menu;
    QActionGroup* timeAxis = scaleGroup(&menu, kTimeAxisScales.size());
    QActionGroup* voltageAxis = scaleGroup(&menu, kVoltageAxisScales.size());
    p.graf->setScaleItems(timeAxis, voltageAxis);
    p.graf->markScaleItems();
    QVERIFY(timeAxis->actions().at(0)->isChecked());
    QVERIFY(voltageAxis->actions().at(0)->isChecked());

    p.graf->Sca_X_300Click();
    QCOMPARE(p.graf->ScaleX, 300);
    QVERIFY(timeAxis->actions().at(2)->isChecked());
    // 300 minutes at a record per 6 seconds.
    QCOMPARE(p.graf->chartReport.chart().bottomAxis().maximum, 3000.0);
    p.graf->Sca_Y_03Click();
    QCOMPARE(p.graf->ScaleY, 3);
    QVERIFY(voltageAxis->actions().at(1)->isChecked());
    QCOMPARE(p.graf->chartReport.chart().leftAxis().minimum, 10.0);
    QCOMPARE(p.graf->chartReport.chart().leftAxis().maximum, 13.0);

    // At shutdown the checked items are what is remembered.
    timeAxis->actions().at(3)->setChecked(true);
    p.graf->chartReport.chart().series().setColor(clRed);
    SettingsValues values;
    p.graf->collectSettings(values);
    QCOMPARE(values.ScaleX, 600);
    QCOMPARE(values.ScaleY, 3);
    QCOMPARE(values.Barva, std::string("clRed"));
  }

  void scaleChoiceWorksBeforeTheMenuHandsItsItemsOver() {
    Pages p;
    p.graf->Sca_X_120Click();
    QCOMPARE(p.graf->ScaleX, 120);
    QCOMPARE(p.graf->chartReport.chart().bottomAxis().maximum, 1200.0);
    SettingsValues values;
    p.graf->collectSettings(values);
    QCOMPARE(values.ScaleX, 120);
  }

  void titleChoiceReachesTheChart() {
    Pages p;
    p.host.scripted.textAnswers = {QStringLiteral("NABÍJENÍ")};
    p.graf->Titulek_GrafuClick();
    QCOMPARE(p.graf->Titulek, QStringLiteral("NABÍJENÍ"));
    QCOMPARE(p.graf->chartReport.chart().firstTitleLine(), QStringLiteral("NABÍJENÍ"));
  }
};

QTEST_MAIN(TstPages)
#include "tst_pages.moc"
