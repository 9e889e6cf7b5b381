#include "core/textencoding.h"
#include "data/core/wholefile.h"
#include "data/core/wmfwriter.h"
#include "tests/support/wmfreader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <cerrno>

using kelvor::WmfWriter;

namespace {

QString joinedFaults(const wmf::File& file) {
  QStringList faults;
  for (const std::string& fault : file.faults)
    faults << QString::fromStdString(fault);
  return faults.join(QStringLiteral("; "));
}

#define VERIFY_SOUND(file) QVERIFY2((file).faults.empty(), qPrintable(joinedFaults(file)))

QByteArray readAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList entries(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                QDir::System);
}

} // namespace

class TestWmfWriter : public QObject {
  Q_OBJECT

private slots:
  void anEmptyPictureIsASoundFile();
  void objectsAreCreatedOncePerValueAndSelectedOnChange();
  void longPolylinesAreSplitWhereTheyJoin();
  void textIsStoredInWindows1250WithItsFont();
  void savedStatesBringBackTheirSelection();
  void czechTextInWindows1250();
  void wholeFileReplacesOrLeavesTheName();
  void wholeFileKeepsPermissionsAndFollowsLinks();
};

void TestWmfWriter::anEmptyPictureIsASoundFile() {
  WmfWriter writer(640, 480, 96);
  const wmf::File file = wmf::read(writer.finish());
  VERIFY_SOUND(file);
  QCOMPARE(file.key, std::uint32_t{0x9AC6CDD7});
  QCOMPARE(file.right, 640);
  QCOMPARE(file.bottom, 480);
  QCOMPARE(file.inch, std::uint16_t{96});
  QCOMPARE(file.checksum, file.computedChecksum);
  QCOMPARE(file.objects, std::uint16_t{0});
  QCOMPARE(file.records.back().function, std::uint16_t{0});
  // The window spans the picture, so a viewer maps it onto the placeable header's box.
  const auto ext = std::find_if(file.records.begin(), file.records.end(),
                                [](const wmf::Record& r) { return r.function == 0x020C; });
  QVERIFY(ext != file.records.end());
  QCOMPARE(ext->word(0), 480);
  QCOMPARE(ext->word(1), 640);
}

void TestWmfWriter::objectsAreCreatedOncePerValueAndSelectedOnChange() {
  WmfWriter writer(100, 100, 96);
  const WmfWriter::Pen black{WmfWriter::PenStyle::Solid, WmfWriter::PenCap::Flat,
                             WmfWriter::PenJoin::Bevel, 3, 0x000000};
  WmfWriter::Pen dotted = black;
  dotted.style = WmfWriter::PenStyle::Dot;
  dotted.width = 1;
  dotted.color = 0x808080;
  for (int i = 0; i < 5; ++i) {
    writer.setPen(black);
    writer.line({0, static_cast<std::int16_t>(i)}, {50, static_cast<std::int16_t>(i)});
    writer.setPen(dotted);
    writer.line({static_cast<std::int16_t>(i), 0}, {static_cast<std::int16_t>(i), 50});
  }
  writer.setBrush({true, 0});
  writer.rectangle({1, 2, 30, 40});
  writer.setBrush({false, 0xFFFFFF});
  writer.setPen(dotted);
  writer.rectangle({0, 0, 100, 100});

  const wmf::File file = wmf::read(writer.finish());
  VERIFY_SOUND(file);
  QCOMPARE(file.objects, std::uint16_t{4});
  QCOMPARE(file.createdObjects, 4);
  const auto selects = std::count_if(file.records.begin(), file.records.end(),
                                     [](const wmf::Record& r) { return r.function == 0x012D; });
  QCOMPARE(selects, 10 + 2); // the pen changes before every line; two brushes
  QCOMPARE(file.lines.size(), std::size_t{10});
  QCOMPARE(file.lines[0].pen.width, 3);
  QCOMPARE(file.lines[0].pen.style, std::uint16_t{0x0200 | 0x1000});     // flat cap, bevel join
  QCOMPARE(file.lines[1].pen.style, std::uint16_t{0x0200 | 0x1000 | 2}); // dotted
  QCOMPARE(file.lines[1].pen.color, std::uint32_t{0x808080});
  QCOMPARE(file.lines[9].from, (wmf::Point{4, 0}));
  QCOMPARE(file.lines[9].to, (wmf::Point{4, 50}));
  QCOMPARE(file.rectangles.size(), std::size_t{2});
  QCOMPARE(file.rectangles[0].brush.style, std::uint16_t{1}); // hollow
  QCOMPARE(file.rectangles[0].left, 1);
  QCOMPARE(file.rectangles[0].top, 2);
  QCOMPARE(file.rectangles[0].right, 30);
  QCOMPARE(file.rectangles[0].bottom, 40);
  QCOMPARE(file.rectangles[1].brush.color, std::uint32_t{0xFFFFFF});
}

void TestWmfWriter::longPolylinesAreSplitWhereTheyJoin() {
  for (const std::size_t count :
       {std::size_t{2}, std::size_t{32767}, std::size_t{32768}, std::size_t{70000}}) {
    std::vector<WmfWriter::Point> points;
    for (std::size_t i = 0; i < count; ++i)
      points.push_back({static_cast<std::int16_t>(i % 30000),
                        static_cast<std::int16_t>(static_cast<int>((i * 7) % 20000) - 10000)});
    WmfWriter writer(30000, 20000, 1440);
    writer.polyline(points);
    const wmf::File file = wmf::read(writer.finish());
    VERIFY_SOUND(file);
    const std::size_t records = (count - 1 + 32765) / 32766;
    QCOMPARE(file.polylines.size(), records);
    std::vector<wmf::Point> joined;
    for (const wmf::Polyline& polyline : file.polylines) {
      QVERIFY(polyline.points.size() <= 32767);
      QVERIFY(polyline.points.size() >= 2);
      if (!joined.empty()) {
        QCOMPARE(polyline.points.front(), joined.back());
        joined.pop_back();
      }
      joined.insert(joined.end(), polyline.points.begin(), polyline.points.end());
    }
    QCOMPARE(joined.size(), count);
    for (std::size_t i = 0; i < count; i += 997)
      QCOMPARE(joined[i], (wmf::Point{points[i].x, points[i].y}));
    QCOMPARE(joined.back(), (wmf::Point{points.back().x, points.back().y}));
    QCOMPARE(file.maxRecordWords, std::uint32_t(4 + 2 * std::min<std::size_t>(count, 32767)));
  }
  WmfWriter lonely(10, 10, 96);
  lonely.polyline({{1, 1}});
  QVERIFY(wmf::read(lonely.finish()).polylines.empty());
}

void TestWmfWriter::textIsStoredInWindows1250WithItsFont() {
  WmfWriter writer(1000, 1000, 96);
  WmfWriter::Font font;
  font.height = -27;
  font.weight = 700;
  font.underline = true;
  font.face = "Arial";
  writer.setFont(font);
  writer.setTextColor(0x0000FF);
  writer.text({10, 40}, "odd");
  writer.text({10, 80}, "even");
  font.escapement = 900;
  font.face = std::string(40, 'F');
  writer.setFont(font);
  writer.text({5, 500}, "");

  const wmf::File file = wmf::read(writer.finish());
  VERIFY_SOUND(file);
  QCOMPARE(file.texts.size(), std::size_t{3});
  QCOMPARE(file.texts[0].bytes, std::string("odd"));
  QCOMPARE(file.texts[0].origin, (wmf::Point{10, 40}));
  QCOMPARE(file.texts[1].bytes, std::string("even"));
  QCOMPARE(file.texts[1].origin, (wmf::Point{10, 80}));
  QCOMPARE(file.texts[0].color, std::uint32_t{0x0000FF});
  QCOMPARE(file.texts[0].font.height, -27);
  QCOMPARE(file.texts[0].font.weight, 700);
  QVERIFY(file.texts[0].font.underline);
  QCOMPARE(file.texts[0].font.charset, 238);
  QCOMPARE(file.texts[0].font.face, std::string("Arial"));
  QCOMPARE(file.texts[2].font.escapement, 900);
  QCOMPARE(file.texts[2].font.face, std::string(31, 'F'));
  QCOMPARE(file.texts[2].bytes, std::string());
  QCOMPARE(file.objects, std::uint16_t{2});
}

void TestWmfWriter::savedStatesBringBackTheirSelection() {
  WmfWriter writer(100, 100, 96);
  const WmfWriter::Pen thin{};
  WmfWriter::Pen thick{};
  thick.width = 5;
  writer.setPen(thin);
  writer.saveState();
  writer.intersectClip({10, 10, 90, 90});
  writer.setPen(thick);
  writer.line({0, 0}, {100, 100});
  writer.restoreState();
  // The restored state has the thin pen selected again: selecting it writes nothing, and
  // the thick one must be selected anew.
  writer.setPen(thin);
  writer.line({0, 100}, {100, 0});
  writer.setPen(thick);
  writer.line({0, 50}, {100, 50});
  writer.restoreState(); // nothing saved: nothing happens

  const wmf::File file = wmf::read(writer.finish());
  VERIFY_SOUND(file);
  QCOMPARE(file.saves, 1);
  QCOMPARE(file.restores, 1);
  QCOMPARE(file.clips, 1);
  QCOMPARE(file.lines.size(), std::size_t{3});
  const auto selects = std::count_if(file.records.begin(), file.records.end(),
                                     [](const wmf::Record& r) { return r.function == 0x012D; });
  QCOMPARE(selects, 3);
}

void TestWmfWriter::czechTextInWindows1250() {
  const std::string czech = "Napětí  akumulátoru [V]: ŽŠČŘĎŤŇ žščřďťň ů";
  const std::string encoded = kelvor::utf8ToWindows1250(czech);
  QCOMPARE(encoded.size(), std::size_t{42});
  QCOMPARE(encoded.substr(0, 6), std::string("Nap\xEC"
                                             "t\xED"));
  QCOMPARE(kelvor::windows1250ToUtf8(encoded), czech);
  // Characters the code page lacks, and bytes that are no UTF-8, become "?".
  QCOMPARE(kelvor::utf8ToWindows1250("\xE2\x82\xAC \xE2\x84\x96 \xFF a"),
           std::string("\x80 ? ? a"));
  QCOMPARE(kelvor::utf8ToWindows1250("\xC4"), std::string("?"));
}

void TestWmfWriter::wholeFileReplacesOrLeavesTheName() {
  QTemporaryDir dir;
  const QString target = dir.filePath(QStringLiteral("graf.wmf"));
  QCOMPARE(kelvor::writeWholeFile(target.toStdString(), std::string_view("first")), 0);
  QCOMPARE(readAll(target), QByteArray("first"));
  QCOMPARE(kelvor::writeWholeFile(target.toStdString(), std::string_view("second")), 0);
  QCOMPARE(readAll(target), QByteArray("second"));
  QCOMPARE(entries(dir.path()), QStringList{QStringLiteral("graf.wmf")});

  // A folder under the name: the temporary file is written, the rename fails, nothing stays.
  QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
  QCOMPARE(kelvor::writeWholeFile(dir.filePath(QStringLiteral("folder")).toStdString(),
                                  std::string_view("x")),
           EISDIR);
  QCOMPARE(entries(dir.path()),
           (QStringList{QStringLiteral("folder"), QStringLiteral("graf.wmf")}));
  QVERIFY(entries(dir.filePath(QStringLiteral("folder"))).isEmpty());

  QCOMPARE(kelvor::writeWholeFile(dir.filePath(QStringLiteral("none/graf.wmf")).toStdString(),
                                  std::string_view("x")),
           ENOENT);
  QCOMPARE(kelvor::writeWholeFile("", std::string_view("x")), ENOENT);
  // A device is written as it stands, never renamed over.
  QCOMPARE(kelvor::writeWholeFile("/dev/full", std::string_view("x")), ENOSPC);
  QCOMPARE(kelvor::writeWholeFile("/dev/null", std::string_view("x")), 0);
  struct stat device {};
  QCOMPARE(::stat("/dev/null", &device), 0);
  QVERIFY(S_ISCHR(device.st_mode));
}

void TestWmfWriter::wholeFileKeepsPermissionsAndFollowsLinks() {
  QTemporaryDir dir;
  const QString target = dir.filePath(QStringLiteral("graf.bmp"));
  QCOMPARE(kelvor::writeWholeFile(target.toStdString(), std::string_view("old")), 0);
  QVERIFY(::chmod(QFile::encodeName(target).constData(), 0640) == 0);
  const QString link = dir.filePath(QStringLiteral("link.bmp"));
  QVERIFY(QFile::link(target, link));
  QCOMPARE(kelvor::writeWholeFile(link.toStdString(), std::string_view("new")), 0);
  QVERIFY(QFileInfo(link).isSymLink());
  QCOMPARE(readAll(target), QByteArray("new"));
  struct stat status {};
  QCOMPARE(::stat(QFile::encodeName(target).constData(), &status), 0);
  QCOMPARE(status.st_mode & 07777, mode_t{0640});
}

QTEST_GUILESS_MAIN(TestWmfWriter)
#include "tst_wmfwriter.moc"
