#include "core/textencoding.h"
#include "data/core/asciiformat.h"
#include "data/core/fileerror.h"
#include "data/core/numbertext.h"
#include "data/core/referencecurve.h"

#include <QTemporaryDir>
#include <QTest>

#include <iconv.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>

using namespace kelvor;

namespace {

std::string asciiLine(std::string_view time, std::string_view minutes, std::string_view voltage) {
  std::string line;
  appendAsciiLine(line, time, minutes, voltage);
  return line;
}

std::string padded(const std::string& text) {
  return std::string(kAsciiColumnWidth - text.size(), ' ') + text;
}

// Every line of the reader joined by "|"; each line is its three columns joined by "/".
std::string readAll(AsciiLineReader& reader) {
  std::string out;
  AsciiRecordTexts texts;
  bool first = true;
  while (reader.readLine(texts)) {
    if (!first)
      out += '|';
    first = false;
    out += texts.time + '/' + texts.minutes + '/' + texts.voltage;
  }
  return out;
}

// Hands the bytes over one at a time, so every line end falls on a piece boundary.
AsciiLineReader::ByteSource trickle(const std::string& bytes) {
  return [&bytes, pos = std::size_t{0}](char* buffer, std::size_t size) mutable {
    if (pos == bytes.size() || size == 0)
      return std::ptrdiff_t{0};
    buffer[0] = bytes[pos++];
    return std::ptrdiff_t{1};
  };
}

std::string fileContents(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

long peakResidentKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

} // namespace

class AsciiFormatTest : public QObject {
  Q_OBJECT

private slots:
  void lineLayout();
  void writerWritesLinesAndReadsBack();
  void lineEnds_data();
  void lineEnds();
  void columnsOfShortAndLongLines();
  void windows1250Lines();
  void windows1250TableMatchesSystemConverter();
  void utf8Validation();
  void longLineKeepsOnlyTheColumns();
  void readErrorStopsReading();
  void timeOfDay_data();
  void timeOfDay();
  void invalidTimeMessage();
  void fileErrorWords();
  void referenceCurveStopsAtTheFirstBadLine();
};

void AsciiFormatTest::lineLayout() {
  // Six-wide minutes as the measuring cycle writes them end in column 24.
  const std::string line = asciiLine("12:00:00", "   0.1", " 12.500");
  QCOMPARE(line, std::string("    12:00:00         0.1      12.500\r\n"));
  QCOMPARE(line.find("0.1") + 3, std::size_t{24});

  // No time: twelve blanks.
  QCOMPARE(asciiLine("", "1", "2"),
           std::string(12, ' ') + std::string(11, ' ') + "1" + std::string(11, ' ') + "2\r\n");

  // A longer text is written whole and shifts the rest of the line.
  const std::string shifted = asciiLine("1234567890123", "12.0", "1.5");
  QCOMPARE(shifted, std::string("1234567890123        12.0         1.5\r\n"));

  // Exactly twelve characters: no blank in front.
  QCOMPARE(asciiLine("123456789012", "", "").substr(0, 12), std::string("123456789012"));

  // Columns count characters, not bytes.
  QCOMPARE(asciiLine("", "", "Napětí").substr(24), std::string("      Napětí\r\n"));
}

void AsciiFormatTest::writerWritesLinesAndReadsBack() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString path = dir.filePath("export.dat");
  std::string expected;
  {
    AsciiFileWriter writer;
    QCOMPARE(writer.create(path.toStdString()), 0);
    for (int i = 0; i < 20000; ++i) {
      const std::string minutes = formatFixed(i / 10.0, 6, 1);
      QCOMPARE(writer.writeLine("1:02:03", minutes, "12.345"), 0);
      expected += asciiLine("1:02:03", minutes, "12.345");
    }
    QCOMPARE(writer.close(), 0);
    QVERIFY(!writer.isOpen());
  }
  QCOMPARE(fileContents(path), expected);

  // Read back: the minutes come back twelve wide.
  AsciiFileReader reader;
  QCOMPARE(reader.open(path.toStdString()), 0);
  AsciiRecordTexts texts;
  int lines = 0;
  while (reader.readLine(texts)) {
    QCOMPARE(texts.time, std::string("     1:02:03"));
    QCOMPARE(texts.minutes, padded(formatFixed(lines / 10.0, 6, 1)));
    QCOMPARE(texts.voltage, std::string("      12.345"));
    ++lines;
  }
  QCOMPARE(reader.error(), 0);
  QCOMPARE(lines, 20000);

  // Opened again, the reader starts from the first line.
  QCOMPARE(reader.open(path.toStdString()), 0);
  QVERIFY(reader.readLine(texts));
  QCOMPARE(texts.minutes, padded("0.0"));

  // An existing file is emptied.
  AsciiFileWriter again;
  QCOMPARE(again.create(path.toStdString()), 0);
  QCOMPARE(again.close(), 0);
  QCOMPARE(fileContents(path), std::string());
}

void AsciiFormatTest::lineEnds_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<QByteArray>("lines");

  QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QByteArray("a//|b//");
  QTest::newRow("LF only") << QByteArray("a\nb\nc\n") << QByteArray("a//|b//|c//");
  QTest::newRow("mixed") << QByteArray("a\r\nb\nc\rd") << QByteArray("a//|b//|c//|d//");
  QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb") << QByteArray("a//|//|b//");
  QTest::newRow("LF CR LF") << QByteArray("a\n\r\nb") << QByteArray("a//|//|b//");
  QTest::newRow("last line without end") << QByteArray("a\r\nb") << QByteArray("a//|b//");
  QTest::newRow("empty file") << QByteArray("") << QByteArray("");
  QTest::newRow("one line end") << QByteArray("\r\n") << QByteArray("//");
  QTest::newRow("empty line at the end") << QByteArray("a\r\n\r\n") << QByteArray("a//|//");
  QTest::newRow("Ctrl-Z after a line") << QByteArray("a\r\n\x1A\r\nb\r\n") << QByteArray("a//");
  QTest::newRow("Ctrl-Z inside a line") << QByteArray("ab\x1A"
                                                      "cd\r\ne")
                                        << QByteArray("ab//");
  QTest::newRow("Ctrl-Z first") << QByteArray("\x1A"
                                              "abc")
                                << QByteArray("");
  QTest::newRow("CR then Ctrl-Z") << QByteArray("a\r\x1A") << QByteArray("a//");
}

void AsciiFormatTest::lineEnds() {
  QFETCH(QByteArray, bytes);
  QFETCH(QByteArray, lines);
  const std::string data = bytes.toStdString();

  AsciiLineReader whole{std::string_view(data)};
  QCOMPARE(readAll(whole), lines.toStdString());

  AsciiLineReader pieces{trickle(data)};
  QCOMPARE(readAll(pieces), lines.toStdString());
  QCOMPARE(pieces.error(), 0);

  // Once at the end, the reader stays there.
  AsciiRecordTexts texts;
  QVERIFY(!whole.readLine(texts));
  QVERIFY(!pieces.readLine(texts));
}

void AsciiFormatTest::columnsOfShortAndLongLines() {
  const std::string data =
      "    12:00:00    1\r\n\r\n    12:00:00         0.1      12.500 and more text\r\n  1:00\r\n";
  AsciiLineReader reader{std::string_view(data)};
  QCOMPARE(readAll(reader),
           std::string("    12:00:00/    1/|//|    12:00:00/         0.1/      12.500|  1:00//"));
}

void AsciiFormatTest::windows1250Lines() {
  // "Napětí" in Windows-1250 (ě = 0xEC, í = 0xED), then a line that happens to be valid
  // UTF-8 (0xC3 0xA1) but belongs to the same Windows-1250 file.
  const std::string data =
      "    12:00:00         0.1      Nap\xECt\xED\r\n    12:00:06         0.2      \xC3\xA1\r\n";
  AsciiLineReader reader{std::string_view(data)};
  AsciiRecordTexts texts;
  QVERIFY(reader.readLine(texts));
  QCOMPARE(texts.voltage, std::string("      Napětí"));
  QVERIFY(reader.readLine(texts));
  QCOMPARE(texts.voltage, std::string("      Ăˇ"));
  QVERIFY(!reader.readLine(texts));

  // A UTF-8 file: columns count characters after decoding, so an exported "Napětí" (7 bytes)
  // fills exactly its 12 characters.
  const std::string utf8 = asciiLine("12:00:00", "Čas", "Napětí") + "\xC3\xA1";
  AsciiLineReader utf8Reader{std::string_view(utf8)};
  QVERIFY(utf8Reader.readLine(texts));
  QCOMPARE(texts.minutes, std::string("         Čas"));
  QCOMPARE(texts.voltage, std::string("      Napětí"));
  QVERIFY(utf8Reader.readLine(texts));
  QCOMPARE(texts.time, std::string("á"));

  // In Windows-1250 every byte is a character: column 13 starts at the 13th byte.
  const std::string cp1250 = std::string(11, ' ') + "\x8A" + std::string(11, ' ') + "\x9A";
  AsciiLineReader cp1250Reader{std::string_view(cp1250)};
  QVERIFY(cp1250Reader.readLine(texts));
  QCOMPARE(texts.time, std::string(11, ' ') + "Š");
  QCOMPARE(texts.minutes, std::string(11, ' ') + "š");
}

void AsciiFormatTest::windows1250TableMatchesSystemConverter() {
  iconv_t cd = iconv_open("UTF-8", "CP1250");
  if (cd == reinterpret_cast<iconv_t>(-1))
    QSKIP("the C library has no CP1250 converter");
  int compared = 0;
  for (int b = 0x80; b <= 0xFF; ++b) {
    char in[1] = {static_cast<char>(b)};
    char out[8] = {};
    char* inPtr = in;
    char* outPtr = out;
    std::size_t inLeft = 1;
    std::size_t outLeft = sizeof(out);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
      continue; // a byte the system leaves unassigned
    QCOMPARE(windows1250ToUtf8(std::string_view(in, 1)),
             std::string(out, static_cast<std::size_t>(outPtr - out)));
    ++compared;
  }
  iconv_close(cd);
  QVERIFY(compared >= 123);
}

void AsciiFormatTest::utf8Validation() {
  QVERIFY(isValidUtf8("plain ASCII"));
  QVERIFY(isValidUtf8("Napětí \xF0\x9F\x94\x8B"));
  QVERIFY(!isValidUtf8("\xC0\x80"));         // overlong
  QVERIFY(!isValidUtf8("\xE0\x80\xAF"));     // overlong
  QVERIFY(!isValidUtf8("\xED\xA0\x80"));     // surrogate
  QVERIFY(!isValidUtf8("\xF4\x90\x80\x80")); // beyond U+10FFFF
  QVERIFY(!isValidUtf8("\xC4"));             // cut short
  QVERIFY(!isValidUtf8("\x9A"));             // stray continuation
  QVERIFY(!isValidUtf8("Nap\xECt\xED"));

  Utf8Validator split;
  split.feed("Nap\xC4");
  QVERIFY(!split.isValid());
  split.feed("\x9B");
  QVERIFY(split.isValid());
}

void AsciiFormatTest::longLineKeepsOnlyTheColumns() {
  // A 48 MB line made up as it is read, so only the reader's own memory counts.
  constexpr std::size_t kLineBytes = 48u << 20;
  const std::string head = "    12:00:00         0.1      12.500";
  const std::string tail = "\r\n    12:00:06         0.2      12.400\r\n";
  std::size_t pos = 0;
  AsciiLineReader reader([&](char* buffer, std::size_t size) -> std::ptrdiff_t {
    std::size_t n = 0;
    for (; n < size && pos < kLineBytes + tail.size(); ++n, ++pos) {
      if (pos < head.size())
        buffer[n] = head[pos];
      else if (pos < kLineBytes)
        buffer[n] = static_cast<char>('a' + pos % 26);
      else
        buffer[n] = tail[pos - kLineBytes];
    }
    return static_cast<std::ptrdiff_t>(n);
  });
  const long before = peakResidentKilobytes();
  AsciiRecordTexts texts;
  QVERIFY(reader.readLine(texts));
  QCOMPARE(texts.voltage, std::string("      12.500"));
  QVERIFY(reader.readLine(texts));
  QCOMPARE(texts.minutes, std::string("         0.2"));
  QVERIFY(!reader.readLine(texts));
  QCOMPARE(pos, kLineBytes + tail.size());
  QVERIFY2(peakResidentKilobytes() - before < 8 * 1024,
           "reading one long line must not hold the line");
}

void AsciiFormatTest::readErrorStopsReading() {
  int calls = 0;
  AsciiLineReader reader([&](char* buffer, std::size_t) -> std::ptrdiff_t {
    if (calls++ == 0) {
      const std::string first = "    12:00:00         0.1      12.500\r\n  12:";
      first.copy(buffer, first.size());
      return static_cast<std::ptrdiff_t>(first.size());
    }
    errno = EIO;
    return -1;
  });
  AsciiRecordTexts texts;
  QVERIFY(reader.readLine(texts));
  QVERIFY(!reader.readLine(texts)); // the half line before the failure is not a line
  QCOMPARE(reader.error(), EIO);
  QVERIFY(!reader.readLine(texts));
}

void AsciiFormatTest::timeOfDay_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("separator");
  QTest::addColumn<QString>("decimal");
  QTest::addColumn<int>("seconds"); // -1: not a time

  const QString c = ":";
  const QString p = ".";
  QTest::newRow("h:m:s") << "12:34:56" << c << p << (12 * 3600 + 34 * 60 + 56);
  QTest::newRow("blanks around") << "    12:34:56" << c << p << (12 * 3600 + 34 * 60 + 56);
  QTest::newRow("blanks both sides") << " 1:02 " << c << p << 3720;
  QTest::newRow("no seconds") << "12:34" << c << p << (12 * 3600 + 34 * 60);
  QTest::newRow("midnight") << "0:00:00" << c << p << 0;
  QTest::newRow("fraction dropped") << "23:59:59.999" << c << p << 86399;
  QTest::newRow("comma fraction") << "12:30:15,5" << c << "," << (12 * 3600 + 30 * 60 + 15);
  QTest::newRow("point separator") << "12.30.15" << p << p << (12 * 3600 + 30 * 60 + 15);
  QTest::newRow("point separator fraction") << "12.30.15.5" << p << p << (12 * 3600 + 30 * 60 + 15);
  QTest::newRow("point separator no seconds") << "7.05" << p << p << (7 * 3600 + 5 * 60);
  QTest::newRow("PM") << "1:02 PM" << c << p << (13 * 3600 + 120);
  QTest::newRow("pm lower case") << "12:00:01 pm" << c << p << (12 * 3600 + 1);
  QTest::newRow("12 AM") << "12:00 AM" << c << p << 0;
  QTest::newRow("marker first") << "AM 11:15" << c << p << (11 * 3600 + 15 * 60);
  QTest::newRow("marker glued") << "11:15PM" << c << p << (23 * 3600 + 15 * 60);
  QTest::newRow("fraction and PM") << "12:30:15.5 PM" << c << p << (12 * 3600 + 30 * 60 + 15);

  QTest::newRow("hour 24") << "24:00:00" << c << p << -1;
  QTest::newRow("minute 60") << "12:60" << c << p << -1;
  QTest::newRow("second 60") << "12:30:60" << c << p << -1;
  QTest::newRow("0 AM") << "0:30 AM" << c << p << -1;
  QTest::newRow("13 PM") << "13:00 PM" << c << p << -1;
  QTest::newRow("hours only") << "12" << c << p << -1;
  QTest::newRow("separator at end") << "12:" << c << p << -1;
  QTest::newRow("second separator at end") << "12:30:" << c << p << -1;
  QTest::newRow("point without digits") << "12:30:15." << c << p << -1;
  QTest::newRow("fraction without seconds") << "12:30.5" << c << p << -1;
  QTest::newRow("blank inside") << "12 :30" << c << p << -1;
  QTest::newRow("wrong separator") << "12.30" << c << p << -1;
  QTest::newRow("two markers") << "AM 1:00 PM" << c << p << -1;
  QTest::newRow("empty") << "" << c << p << -1;
  QTest::newRow("twelve blanks") << "            " << c << p << -1;
  QTest::newRow("text") << "Napětí" << c << p << -1;
  QTest::newRow("sign") << "-1:00" << c << p << -1;
  QTest::newRow("huge hour") << "99999999999999999999:00" << c << p << -1;
}

void AsciiFormatTest::timeOfDay() {
  QFETCH(QString, text);
  QFETCH(QString, separator);
  QFETCH(QString, decimal);
  QFETCH(int, seconds);
  TimeTextFormat format;
  format.timeSeparator = separator.toStdString();
  format.decimalSeparator = decimal.toStdString();
  const auto parsed = parseTimeOfDay(text.toStdString(), format);
  QCOMPARE(parsed.value_or(-1), seconds);
}

void AsciiFormatTest::invalidTimeMessage() {
  try {
    strToTime("            ");
    QFAIL("twelve blanks are not a time");
  } catch (const ConversionError& error) {
    QCOMPARE(std::string(error.what()), std::string("'            ' is not a valid time"));
  }
  QCOMPARE(strToTime("     1:02:03"), 3723);

  // The locale's own marker texts, without regard to case; "AM"/"PM" still work.
  TimeTextFormat czech;
  czech.amText = "dop.";
  czech.pmText = "odp.";
  QCOMPARE(strToTime("3:15:00 odp.", czech), 15 * 3600 + 15 * 60);
  QCOMPARE(strToTime("ODP. 3:15", czech), 15 * 3600 + 15 * 60);
  QCOMPARE(strToTime("3:15 PM", czech), 15 * 3600 + 15 * 60);
  QCOMPARE(strToTime("3:15 dop.", czech), 3 * 3600 + 15 * 60);
}

void AsciiFormatTest::fileErrorWords() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());

  AsciiFileReader reader;
  const int missing = reader.open(dir.filePath("missing.dat").toStdString());
  QCOMPARE(missing, ENOENT);
  QCOMPARE(fileErrorText(missing), std::string("File not found"));

  // A folder instead of a file, for writing and for reading.
  AsciiFileWriter writer;
  const int folderWrite = writer.create(dir.path().toStdString());
  QCOMPARE(fileErrorText(folderWrite), std::string("File access denied"));
  QCOMPARE(fileErrorText(reader.open(dir.path().toStdString())), std::string("File access denied"));

  // A name longer than the system allows.
  const std::string longName = dir.filePath(QString(300, 'x')).toStdString();
  QCOMPARE(fileErrorText(writer.create(longName)), std::string("Invalid filename"));

  // Writing to a full disk fails when the buffer goes out, at the latest when closing.
  QCOMPARE(writer.create("/dev/full"), 0);
  QCOMPARE(writer.writeLine("12:00:00", "0.1", "1.0"), 0);
  const int full = writer.close();
  QCOMPARE(full, ENOSPC);
  QCOMPARE(fileErrorText(full), std::string("Disk full"));
  QVERIFY(!writer.isOpen());

  // A read-only folder; root passes every permission check, so there is nothing to see.
  const QString locked = dir.filePath("locked");
  QVERIFY(QDir().mkdir(locked));
  QCOMPARE(::chmod(locked.toLocal8Bit().constData(), 0555), 0);
  if (::geteuid() != 0) {
    const int denied = writer.create((locked + "/export.dat").toStdString());
    QCOMPARE(denied, EACCES);
    QCOMPARE(fileErrorText(denied), std::string("File access denied"));
  }
  ::chmod(locked.toLocal8Bit().constData(), 0755);

  QCOMPARE(fileErrorText(EACCES), std::string("File access denied"));
  QCOMPARE(fileErrorText(EROFS), std::string("File access denied"));
  QCOMPARE(fileErrorText(EMFILE), std::string("Too many open files"));
  QCOMPARE(fileErrorText(ENFILE), std::string("Too many open files"));
  QCOMPARE(fileErrorText(EDQUOT), std::string("Disk full"));
  QCOMPARE(fileErrorText(ENODATA), std::string("Read beyond end of file"));
  QCOMPARE(fileErrorText(EIO), "I/O error " + std::to_string(EIO));
  QCOMPARE(fileErrorText(EXDEV), "I/O error " + std::to_string(EXDEV));
}

// A bad line keeps the lines before it, named in the import's words; a number the import would
// store unchecked stops the curve too, for the curve must draw it.
void AsciiFormatTest::referenceCurveStopsAtTheFirstBadLine() {
  QTemporaryDir dir;
  const std::string path = dir.filePath(QStringLiteral("ref.dat")).toStdString();
  const std::pair<std::string, std::string> cases[] = {
      {asciiLine("", "0.2", "11.5"), "'" + padded("") + "' is not a valid time"},
      {asciiLine("8:00:12", "0.2", "1,5"),
       "'" + padded("1,5") + "' is not a valid floating point value"}};
  for (const auto& [bad, message] : cases) {
    std::ofstream(path, std::ios::binary) << asciiLine("8:00:00", "0.0", "12.600") +
                                                 asciiLine("8:00:06", "0.1", "12.550") + bad +
                                                 asciiLine("8:00:18", "0.3", "12.500");
    const ReferenceCurve curve = loadReferenceCurve(path, {});
    QCOMPARE(curve.points, (std::vector<ReferencePoint>{{0.0, 12.6}, {0.1, 12.55}}));
    QCOMPARE(curve.stop.value_or(""), message);
  }
  QVERIFY_THROWS_EXCEPTION(FileError, loadReferenceCurve(path + ".missing", {}));
}

QTEST_GUILESS_MAIN(AsciiFormatTest)
#include "tst_asciiformat.moc"
