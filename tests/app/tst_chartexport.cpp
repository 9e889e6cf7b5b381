#include "app/form1.h"
#include "app/pages/grafpage.h"
#include "app/program.h"
#include "core/textencoding.h"
#include "data/chartexport.h"
#include "data/chartview.h"
#include "data/core/asciiformat.h"
#include "data/core/numbertext.h"
#include "tests/support/pagecontrols.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/wmfreader.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <csignal>

using kelvor::ChartEngine;
using kelvor::ChartPicture;
using kelvor::TForm1;

namespace {

using Icon = kelvor::OperatorDialogs::Icon;

constexpr int kRecords = 601;
constexpr double kHighVolts = 12.2;
constexpr double kLowVolts = 11.3;

// A discharge with two flat stretches, stored every 6 s: 601 records fill the 60-minute axis.
double volts(int index) {
  if (index < 200)
    return kHighVolts;
  if (index < 400)
    return kHighVolts - (kHighVolts - kLowVolts) * (index - 200) / 200.0;
  return kLowVolts;
}

QByteArray readAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<std::uint8_t> bytesOf(const QByteArray& data) {
  return std::vector<std::uint8_t>(data.begin(), data.end());
}

QStringList entries(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                QDir::System);
}

QString joinedFaults(const wmf::File& file) {
  QStringList faults;
  for (const std::string& fault : file.faults)
    faults << QString::fromStdString(fault);
  return faults.join(QStringLiteral("; "));
}

std::uint32_t le32(const QByteArray& b, int at) {
  return static_cast<std::uint8_t>(b[at]) | static_cast<std::uint8_t>(b[at + 1]) << 8 |
         static_cast<std::uint8_t>(b[at + 2]) << 16 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 3])) << 24;
}
std::uint16_t le16(const QByteArray& b, int at) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[at]) |
                                    static_cast<std::uint8_t>(b[at + 1]) << 8);
}

// The main window over a folder of its own, with a red discharge curve on a 10 to 13 V axis.
struct Program {
  QTemporaryDir dir;
  ScriptedDialogs* dialogs = nullptr;
  std::unique_ptr<kelvor::Program> program;
  TForm1* form = nullptr;

  Program() {
    QFile ini(dir.filePath(QStringLiteral("Kelvor.ini")));
    ini.open(QIODevice::WriteOnly);
    ini.write("[Graph]\nScaleX=60\nScaleY=3\nTitulek=Vybíjení  článku č. 3\nBarva=clRed\n"
              "[Ukladani]\nDoba=6\n[Sheet]\nStranka=GRAF\n");
    ini.close();
    program = std::make_unique<kelvor::Program>(kelvor::FileLocations::forExecutableDir(dir.path()),
                                                keptDialogs(dialogs));
    form = &program->form();
    kelvor::MeasurementTable::Batch batch(form->Table1);
    for (int i = 0; i < kRecords; ++i) {
      form->Table1.append();
      form->Table1.setTime(8 * 3600 + 6 * i);
      form->Table1.setMinutes(kelvor::formatFixed(i * 0.1, 6, 1));
      form->Table1.setVoltage(kelvor::formatFixed(volts(i), 6, 3));
      form->Table1.post();
    }
    batch.commit();
    form->GRAF->chartReread();
  }
  ~Program() { program->shutdown(); }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  const ChartEngine& chart() const { return form->GRAF->chartReport.chart(); }
  ChartPicture picture() const {
    return controlOf<kelvor::ChartView>(form->GRAF, "Report1")->chartPicture();
  }

  void exportTo(bool bitmap, const QString& file) {
    dialogs->fileAnswers = {file};
    dialogs->messages.clear();
    if (bitmap)
      controlOf<QAction>(form, "Export_BMP")->trigger();
    else
      controlOf<QAction>(form, "Export_WMF")->trigger();
  }
  QStringList messageTexts() const {
    QStringList texts;
    for (const auto& shown : dialogs->messages)
      texts << shown.text;
    return texts;
  }
};

// The size the chart has on the screen, in device pixels: the report's chart object at the
// page's zoom, times the screen's scale.
QSize expectedPictureSize(const TForm1& form) {
  const double zoom = controlOf<kelvor::ChartView>(form.GRAF, "Report1")->zoom();
  const double ratio = controlOf<kelvor::ChartView>(form.GRAF, "Report1")->devicePixelRatioF();
  const QSizeF mm(272.1, 183.9);
  return (mm * zoom * 96.0 / 25.4 * ratio).toSize();
}

// Where the chart draws a value, in device pixels of a picture drawn at `scale`.
struct Mapping {
  kelvor::ChartLayout layout;
  const ChartEngine& chart;
  double scale;

  double x(double position) const {
    const auto& axis = chart.bottomAxis();
    return (layout.plot.left() +
            (position - axis.minimum) / (axis.maximum - axis.minimum) * layout.plot.width()) *
           scale;
  }
  double y(double value) const {
    const auto& axis = chart.leftAxis();
    return (layout.plot.bottom() -
            (value - axis.minimum) / (axis.maximum - axis.minimum) * layout.plot.height()) *
           scale;
  }
};

} // namespace

class TestChartExport : public QObject {
  Q_OBJECT

private slots:
  void initTestCase();
  void theScreenScaleIsTheOneAskedFor();
  void bitmapIsTheChartAsShown();
  void metafileHoldsTheChartAsVectorsAndTexts();
  void aMetafileConverterReadsTheFile();
  void anExistingFileIsReplacedWhole();
  void failuresLeaveNothingUnderTheName_data();
  void failuresLeaveNothingUnderTheName();
  void theSaveDialogsAskBeforeReplacing();
};

void TestChartExport::initTestCase() {
  // Only the process's own file size limit stops a write here; its signal must not end us.
  std::signal(SIGXFSZ, SIG_IGN);
}

void TestChartExport::theScreenScaleIsTheOneAskedFor() {
  Program program;
  const QByteArray asked = qgetenv("QT_SCALE_FACTOR");
  const double expected = asked.isEmpty() ? 1.0 : asked.toDouble();
  QCOMPARE(controlOf<kelvor::ChartView>(program.form->GRAF, "Report1")->devicePixelRatioF(),
           expected);
  QCOMPARE(program.picture().devicePixelRatio, expected);
}

void TestChartExport::bitmapIsTheChartAsShown() {
  Program program;
  const QString file = program.dir.filePath(QStringLiteral("graf.bmp"));
  program.exportTo(true, file);
  QCOMPARE(program.messageTexts(),
           QStringList{QStringLiteral("Exportovaná data byla uložena do souboru:\n") + file});
  QCOMPARE(program.dialogs->messages[0].icon, Icon::None);
  QCOMPARE(program.dialogs->saveDialogs.size(), std::size_t{1});
  const kelvor::SaveDialogOptions& dialog = program.dialogs->saveDialogs[0];
  QCOMPARE(dialog.filters, (QStringList{QStringLiteral("Bitmap  (  *.BMP  ) (*.bmp)"),
                                        QStringLiteral("All  Files      (  *.*        ) (*)")}));
  QVERIFY(dialog.askBeforeReplacing);
  QCOMPARE(dialog.defaultSuffix, QStringLiteral("bmp"));

  // The headers as the format lays them out: 24 bits, no compression, rows of 4-byte steps.
  const QByteArray bytes = readAll(file);
  const QSize size = expectedPictureSize(*program.form);
  QVERIFY(size.width() > 300 && size.height() > 200);
  QCOMPARE(bytes.left(2), QByteArray("BM"));
  QCOMPARE(le32(bytes, 2), std::uint32_t(bytes.size()));
  QCOMPARE(le32(bytes, 10), std::uint32_t{54});
  QCOMPARE(le32(bytes, 14), std::uint32_t{40});
  QCOMPARE(static_cast<int>(le32(bytes, 18)), size.width());
  QCOMPARE(static_cast<int>(le32(bytes, 22)), size.height());
  QCOMPARE(le16(bytes, 26), std::uint16_t{1});
  QCOMPARE(le16(bytes, 28), std::uint16_t{24});
  QCOMPARE(le32(bytes, 30), std::uint32_t{0});
  const int rowBytes = (size.width() * 3 + 3) / 4 * 4;
  QCOMPARE(bytes.size(), qsizetype{54} + qsizetype{rowBytes} * size.height());

  QImageReader reader(file);
  QCOMPARE(reader.format(), QByteArray("bmp"));
  const QImage image = reader.read().convertToFormat(QImage::Format_RGB32);
  QCOMPARE(image.size(), size);

  // What the chart draws, pixel for pixel.
  const ChartPicture picture = program.picture();
  QCOMPARE(image, kelvor::chartImage(program.chart(), picture));

  // The curve in its colour on its two flat stretches, the white wall a few pixels off it.
  const Mapping at{program.chart().layout(QSizeF(size) / picture.pixelScale), program.chart(),
                   picture.pixelScale};
  const QRgb red = qRgb(255, 0, 0);
  const QRgb white = qRgb(255, 255, 255);
  std::vector<double> gridColumns;
  for (const auto& label : program.chart().bottomLabels(at.layout))
    gridColumns.push_back(label.position * picture.pixelScale);
  const auto nearGrid = [&](double x) {
    return std::any_of(gridColumns.begin(), gridColumns.end(),
                       [x](double g) { return std::fabs(g - x) < 3.0; });
  };
  int sampled = 0;
  for (const auto& [first, last, value] :
       {std::tuple{20, 180, kHighVolts}, std::tuple{420, 580, kLowVolts}}) {
    for (int i = first; i <= last; i += 10) {
      const double x = at.x(i);
      if (nearGrid(x))
        continue;
      const int column = static_cast<int>(std::floor(x));
      const int row = static_cast<int>(std::floor(at.y(value)));
      QCOMPARE(image.pixel(column, row), red);
      QCOMPARE(image.pixel(column, row - 8), white);
      QCOMPARE(image.pixel(column, row + 8), white);
      ++sampled;
    }
  }
  QVERIFY(sampled > 20);
  // No pixel of the curve's colour lies outside the plot.
  const QRectF plot(QPointF(at.layout.plot.left() * picture.pixelScale,
                            at.layout.plot.top() * picture.pixelScale),
                    QPointF(at.layout.plot.right() * picture.pixelScale,
                            at.layout.plot.bottom() * picture.pixelScale));
  int redOutside = 0;
  int redInside = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) == red)
        ++(plot.adjusted(-1, -1, 1, 1).contains(QPointF(x + 0.5, y + 0.5)) ? redInside
                                                                           : redOutside);
  QCOMPARE(redOutside, 0);
  QVERIFY(redInside > size.width() / 2);
  QCOMPARE(entries(program.dir.path()),
           (QStringList{QStringLiteral("graf.bmp"), QStringLiteral("Kelvor"),
                        QStringLiteral("Kelvor.ini")}));
}

void TestChartExport::metafileHoldsTheChartAsVectorsAndTexts() {
  Program program;
  const QString file = program.dir.filePath(QStringLiteral("graf.wmf"));
  program.exportTo(false, file);
  QCOMPARE(program.messageTexts(),
           QStringList{QStringLiteral("Exportovaná data byla uložena do souboru:\n") + file});
  QCOMPARE(program.dialogs->saveDialogs[0].filters[0],
           QStringLiteral("Metafile  (  *.WMF  ) (*.wmf)"));
  QCOMPARE(program.dialogs->saveDialogs[0].defaultSuffix, QStringLiteral("wmf"));

  const wmf::File wmf = wmf::read(bytesOf(readAll(file)));
  QVERIFY2(wmf.faults.empty(), qPrintable(joinedFaults(wmf)));
  QCOMPARE(wmf.createdObjects, static_cast<int>(wmf.objects));

  const ChartPicture picture = program.picture();
  const int units = kelvor::metafileUnitsPerPixel(picture.size);
  QCOMPARE(units, 16);
  QCOMPARE(wmf.left, 0);
  QCOMPARE(wmf.top, 0);
  QCOMPARE(wmf.right, expectedPictureSize(*program.form).width() * units);
  QCOMPARE(wmf.bottom, expectedPictureSize(*program.form).height() * units);
  QCOMPARE(static_cast<int>(wmf.inch),
           static_cast<int>(std::lround(96 * picture.devicePixelRatio * units)));

  // The curve: one run of polylines through the points the chart keeps of its series.
  const ChartEngine& chart = program.chart();
  const double scale = picture.pixelScale * units;
  const Mapping at{chart.layout(QSizeF(picture.size) / picture.pixelScale), chart, scale};
  std::vector<double> xs;
  std::vector<double> ys;
  for (std::size_t i = 0; i < chart.series().count(); ++i) {
    xs.push_back(chart.series().x(i));
    ys.push_back(chart.series().y(i));
  }
  const std::vector<std::size_t> kept = kelvor::reduceToPixelColumns(
      xs, ys, 0, xs.size(), chart.bottomAxis().minimum,
      at.layout.plot.width() * scale / (chart.bottomAxis().maximum - chart.bottomAxis().minimum));
  QVERIFY(kept.size() > 100);
  std::vector<wmf::Point> curve;
  for (const wmf::Polyline& polyline : wmf.polylines) {
    QCOMPARE(polyline.pen.color, std::uint32_t{0x0000FF}); // red as COLORREF
    QCOMPARE(polyline.pen.width, static_cast<int>(std::lround(3 * scale)));
    if (!curve.empty()) {
      QCOMPARE(polyline.points.front(), curve.back());
      curve.pop_back();
    }
    curve.insert(curve.end(), polyline.points.begin(), polyline.points.end());
  }
  QCOMPARE(curve.size(), kept.size());
  for (std::size_t k = 0; k < kept.size(); ++k) {
    const double x = at.x(xs[kept[k]]);
    const double y = at.y(ys[kept[k]]);
    QVERIFY2(std::fabs(curve[k].x - x) <= 1.0 && std::fabs(curve[k].y - y) <= 1.0,
             qPrintable(QStringLiteral("point %1: %2,%3 for %4,%5")
                            .arg(k)
                            .arg(curve[k].x)
                            .arg(curve[k].y)
                            .arg(x)
                            .arg(y)));
  }

  // Grid lines and ticks per label, and the left wall; the title's underline is the font's.
  const auto left = chart.leftLabels(at.layout);
  const auto bottom = chart.bottomLabels(at.layout);
  QCOMPARE(wmf.lines.size(), 2 * (left.size() + bottom.size()) + 1);
  QCOMPARE(wmf.rectangles.size(), std::size_t{2});
  QCOMPARE(wmf.rectangles[1].brush.style, std::uint16_t{1});

  // The texts, in the chart's fonts and in Windows-1250.
  QStringList texts;
  for (const wmf::Text& text : wmf.texts) {
    QCOMPARE(text.font.charset, 238);
    QCOMPARE(text.font.face, std::string("Arial"));
    QCOMPARE(text.font.weight, 700);
    QCOMPARE(text.color, std::uint32_t{0});
    texts << QString::fromStdString(kelvor::windows1250ToUtf8(text.bytes));
  }
  QStringList expected{QStringLiteral("Vybíjení  článku č. 3"),
                       QString::fromUtf8(kelvor::kBottomAxisTitle),
                       QString::fromUtf8(kelvor::kLeftAxisTitle)};
  for (const auto& label : left)
    expected << label.text;
  for (const auto& label : bottom)
    expected << label.text;
  QCOMPARE(texts, expected);
  QCOMPARE(wmf.texts[0].font.height, -static_cast<int>(std::lround(27 * scale)));
  QVERIFY(wmf.texts[0].font.underline);
  QCOMPARE(wmf.texts[0].font.escapement, 0);
  QCOMPARE(wmf.texts[1].font.height, -static_cast<int>(std::lround(19 * scale)));
  QVERIFY(!wmf.texts[1].font.underline);
  QCOMPARE(wmf.texts[2].font.escapement, 900);
  QCOMPARE(wmf.texts[3].font.escapement, 0);
  // The bottom labels keep the blanks the minutes texts begin with.
  QVERIFY(texts.last().startsWith(QLatin1Char(' ')));
  // The curve is clipped to the plot inside a saved state that ends before the frame.
  QCOMPARE(wmf.clips, 1);
  QCOMPARE(wmf.saves, 1);
  QCOMPARE(wmf.restores, 1);
}

// libwmf, which image tools use to open metafiles, converts the file to SVG.
void TestChartExport::aMetafileConverterReadsTheFile() {
  const QString converter = QStandardPaths::findExecutable(QStringLiteral("wmf2svg"));
  if (converter.isEmpty())
    QSKIP("wmf2svg (Debian package libwmf-bin) is not installed");
  Program program;
  const QString file = program.dir.filePath(QStringLiteral("graf.wmf"));
  program.exportTo(false, file);
  const QString svg = program.dir.filePath(QStringLiteral("graf.svg"));
  QProcess convert;
  convert.start(converter, {QStringLiteral("-o"), svg, file});
  QVERIFY(convert.waitForFinished(120000));
  const QByteArray errors = convert.readAllStandardError();
  QVERIFY2(convert.exitCode() == 0, errors.constData());
  QVERIFY2(errors.isEmpty(), errors.constData());
  // It draws what the file holds: every text (the rotated axis title turned upwards, the
  // Czech letters in the code page the font names), every line, the curve in red.
  const wmf::File wmf = wmf::read(bytesOf(readAll(file)));
  const QByteArray drawn = readAll(svg);
  QVERIFY(drawn.contains("<svg"));
  QCOMPARE(drawn.count("<text"), static_cast<qsizetype>(wmf.texts.size()));
  QCOMPARE(drawn.count("<line"), static_cast<qsizetype>(wmf.lines.size()));
  QCOMPARE(drawn.count("<polyline"), static_cast<qsizetype>(wmf.polylines.size()));
  QVERIFY(drawn.contains(QByteArray::fromStdString(
      ">" + kelvor::utf8ToWindows1250("Vybíjení  článku č. 3") + "</text>")));
  QVERIFY(drawn.contains("matrix(0.000000 -1.000000 1.000000 0.000000"));
  const qsizetype curve = drawn.indexOf("<polyline");
  QVERIFY(drawn.indexOf("stroke:red", curve) > curve);
}

void TestChartExport::anExistingFileIsReplacedWhole() {
  Program program;
  for (const bool bitmap : {true, false}) {
    const QString file =
        program.dir.filePath(bitmap ? QStringLiteral("graf.bmp") : QStringLiteral("graf.wmf"));
    QFile old(file);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(5 * 1024 * 1024, 'x'));
    old.close();
    program.exportTo(bitmap, file);
    QCOMPARE(program.dialogs->messages.size(), std::size_t{1});
    const QByteArray bytes = readAll(file);
    QVERIFY(bytes.size() < 5 * 1024 * 1024);
    QVERIFY(bytes.startsWith(bitmap ? QByteArray("BM") : QByteArray("\xD7\xCD\xC6\x9A", 4)));
  }
  QCOMPARE(entries(program.dir.path()),
           (QStringList{QStringLiteral("graf.bmp"), QStringLiteral("graf.wmf"),
                        QStringLiteral("Kelvor"), QStringLiteral("Kelvor.ini")}));
}

void TestChartExport::failuresLeaveNothingUnderTheName_data() {
  QTest::addColumn<bool>("bitmap");
  QTest::addColumn<QString>("failure");
  QTest::addColumn<QString>("message");
  for (const bool bitmap : {true, false}) {
    const char* format = bitmap ? "BMP" : "WMF";
    QTest::addRow("%s into an unwritable folder", format)
        << bitmap << QStringLiteral("unwritable") << QStringLiteral("File access denied");
    QTest::addRow("%s onto a full disk", format)
        << bitmap << QStringLiteral("full") << QStringLiteral("Disk full");
    QTest::addRow("%s where a folder has the name", format)
        << bitmap << QStringLiteral("folder") << QStringLiteral("File access denied");
    QTest::addRow("%s beyond the file size allowed", format)
        << bitmap << QStringLiteral("limit")
        << QString::fromStdString(kelvor::fileErrorText(EFBIG));
  }
}

void TestChartExport::failuresLeaveNothingUnderTheName() {
  QFETCH(bool, bitmap);
  QFETCH(QString, failure);
  QFETCH(QString, message);
  Program program;
  QTemporaryDir target;
  QString file = target.filePath(QStringLiteral("graf"));
  QStringList before;
  if (failure == QLatin1String("unwritable")) {
    // Root passes every permission check, but not into sysfs, where nothing can be created.
    if (::geteuid() == 0) {
      file = QStringLiteral("/sys/kelvor-graf");
    } else {
      QVERIFY(::chmod(QFile::encodeName(target.path()).constData(), 0555) == 0);
    }
  } else if (failure == QLatin1String("full")) {
    file = QStringLiteral("/dev/full");
  } else if (failure == QLatin1String("folder")) {
    QVERIFY(QDir(target.path()).mkdir(QStringLiteral("graf")));
    QVERIFY(QFile(target.filePath(QStringLiteral("graf/inside"))).open(QIODevice::WriteOnly));
  } else {
    QFile old(file);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
  }
  before = entries(target.path());

  rlimit saved{};
  ::getrlimit(RLIMIT_FSIZE, &saved);
  if (failure == QLatin1String("limit")) {
    rlimit small = saved;
    small.rlim_cur = 100;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
  }
  program.exportTo(bitmap, file);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::chmod(QFile::encodeName(target.path()).constData(), 0700);

  QCOMPARE(program.messageTexts(), QStringList{message});
  QCOMPARE(program.dialogs->messages[0].icon, Icon::Error);
  QCOMPARE(entries(target.path()), before);
  if (failure == QLatin1String("unwritable"))
    QVERIFY(!QFileInfo::exists(file));
  else if (failure == QLatin1String("full"))
    QVERIFY(QFileInfo(file).isFile() == false && QFileInfo::exists(file));
  else if (failure == QLatin1String("folder"))
    QCOMPARE(entries(file), QStringList{QStringLiteral("inside")});
  else
    QCOMPARE(readAll(file), QByteArray("old"));
}

// The real dialogs: the chart exports ask before replacing a file, the ASCII export does not.
void TestChartExport::theSaveDialogsAskBeforeReplacing() {
  kelvor::QtOperatorDialogs dialogs(nullptr);
  struct Seen {
    bool found = false;
    bool confirms = false;
    QStringList filters;
    QString suffix;
  };
  const auto open = [&dialogs](const kelvor::SaveDialogOptions& options) {
    Seen seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&seen] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog)
        return;
      seen.found = true;
      seen.confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
      if (auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        for (int i = 0; i < types->count(); ++i)
          seen.filters << types->itemText(i);
      seen.suffix = dialog->defaultSuffix();
      dialog->reject();
    });
    poll.start(20);
    const std::optional<QString> chosen = dialogs.saveFileName(options);
    return std::pair{seen, chosen};
  };
  const kelvor::SaveDialogOptions chart{
      {QStringLiteral("Bitmap  (  *.BMP  ) (*.bmp)"), kelvor::kAllFilesFilter},
      QStringLiteral("bmp"),
      true};
  const auto [chartSeen, chartChosen] = open(chart);
  QVERIFY(chartSeen.found);
  QVERIFY(!chartChosen);
  QVERIFY(chartSeen.confirms);
  // The names as the program writes them, double blanks and all.
  QCOMPARE(chartSeen.filters, (QStringList{QStringLiteral("Bitmap  (  *.BMP  )"),
                                           QStringLiteral("All  Files      (  *.*        )")}));
  QCOMPARE(chartSeen.suffix, QStringLiteral("bmp"));

  const auto [asciiSeen, asciiChosen] = open({{kelvor::kAllFilesFilter}, QString(), false});
  QVERIFY(asciiSeen.found);
  QVERIFY(!asciiSeen.confirms);
  QVERIFY(asciiSeen.suffix.isEmpty());
}

QTEST_MAIN(TestChartExport)
#include "tst_chartexport.moc"
