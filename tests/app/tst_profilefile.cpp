#include "app/core/profilefile.h"

#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <fstream>
#include <limits>
#include <sstream>

using kelvor::ProfileFile;
using kelvor::ProfileWriteError;

namespace {

std::string readAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

void writeAll(const std::filesystem::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

} // namespace

class TestProfileFile : public QObject {
  Q_OBJECT

private:
  QTemporaryDir m_dir;
  std::filesystem::path file(const char* name) const {
    return std::filesystem::path(m_dir.path().toStdString()) / name;
  }

private slots:
  void sectionsAndKeysMatchWithoutRegardToCase() {
    const auto path = file("case.ini");
    writeAll(path, "[graph]\r\nscalex = 120\r\n[GRAPH2]\r\nScaleX=7\r\n");
    const ProfileFile ini(path);
    QCOMPARE(ini.readInteger("Graph", "ScaleX", 0), 120LL);
    QCOMPARE(ini.readInteger("graph2", "SCALEX", 0), 7LL);
  }

  void missingFileSectionOrKeyGivesTheFallback() {
    const ProfileFile missing(file("none.ini"));
    QCOMPARE(missing.readString("Graph", "Titulek", "present"), std::string("present"));
    const auto path = file("partial.ini");
    writeAll(path, "[Graph]\nScaleX=60\n");
    const ProfileFile ini(path);
    QCOMPARE(ini.readInteger("Graph", "ScaleY", 15), 15LL);
    QCOMPARE(ini.readString("Sheet", "Stranka", "GRAF"), std::string("GRAF"));
  }

  void integersAcceptHexadecimalAndRejectEverythingElse() {
    const auto path = file("numbers.ini");
    writeAll(
        path,
        "[N]\nhex=0x1E\nHEX2=0X1e\nneg=-12\nbad=12abc\nword=abc\nempty=\nblank=   \nspaced=  600  \nhuge=99999999999999999999999\n");
    const ProfileFile ini(path);
    QCOMPARE(ini.readInteger("N", "hex", 1), 30LL);
    QCOMPARE(ini.readInteger("N", "hex2", 1), 30LL);
    QCOMPARE(ini.readInteger("N", "neg", 1), -12LL);
    QCOMPARE(ini.readInteger("N", "bad", 5), 5LL);
    QCOMPARE(ini.readInteger("N", "word", 5), 5LL);
    QCOMPARE(ini.readInteger("N", "empty", 5), 5LL);
    QCOMPARE(ini.readInteger("N", "blank", 5), 5LL);
    QCOMPARE(ini.readInteger("N", "spaced", 5), 600LL);
    QCOMPARE(ini.readInteger("N", "huge", 5), 5LL);
  }

  void integersTakeOneSignAndTheWholeRange() {
    const auto path = file("range.ini");
    writeAll(path, "[N]\ntwice=--5\nmixed=+-5\nhexsign=0x-5\nlow=-9223372036854775809\n");
    ProfileFile ini(path);
    QCOMPARE(ini.readInteger("N", "twice", 7), 7LL);
    QCOMPARE(ini.readInteger("N", "mixed", 7), 7LL);
    QCOMPARE(ini.readInteger("N", "hexsign", 7), 7LL);
    QCOMPARE(ini.readInteger("N", "low", 7), 7LL);
    for (const long long value : {std::numeric_limits<long long>::min(),
                                  std::numeric_limits<long long>::max(), -1LL, 0LL}) {
      ini.writeInteger("N", "value", value);
      QCOMPARE(ini.readInteger("N", "value", 7), value);
    }
    QCOMPARE(kelvor::parseProfileInteger("-0x8000000000000000"),
             std::optional<long long>(std::numeric_limits<long long>::min()));
    QCOMPARE(kelvor::parseProfileInteger("0x8000000000000000"), std::nullopt);
  }

  void aRepeatedByteOrderMarkDoesNotChangeMeaningOnRewrite() {
    const auto path = file("marks.ini");
    const std::string marks = "\xEF\xBB\xBF\xEF\xBB\xBF";
    writeAll(path, marks + "[Devices]\nCOM1=/dev/ttyUSB0\n");
    ProfileFile ini(path);
    QCOMPARE(ini.readString("Devices", "COM1", "fallback"), std::string("/dev/ttyUSB0"));
    ini.writeString("Devices", "COM2", "/dev/ttyUSB1");
    QCOMPARE(ini.readString("Devices", "COM1", "fallback"), std::string("/dev/ttyUSB0"));
    QCOMPARE(ini.readString("Devices", "COM2", "fallback"), std::string("/dev/ttyUSB1"));
    ini.writeString("Devices", "COM2", "/dev/ttyUSB2");
    QCOMPARE(ini.readString("Devices", "COM2", "fallback"), std::string("/dev/ttyUSB2"));
  }

  void valuesAreTrimmedAndLoseOnePairOfQuotes() {
    const auto path = file("quotes.ini");
    writeAll(path,
             "[Graph]\nTitulek=\"  Vybíjení  \"\nA='x'\nB=\"x\nC=  plain text  \nD=\"\"\"\"\n");
    const ProfileFile ini(path);
    QCOMPARE(ini.readString("Graph", "Titulek", ""), std::string("  Vybíjení  "));
    QCOMPARE(ini.readString("Graph", "A", ""), std::string("x"));
    QCOMPARE(ini.readString("Graph", "B", ""), std::string("\"x"));
    QCOMPARE(ini.readString("Graph", "C", ""), std::string("plain text"));
    QCOMPARE(ini.readString("Graph", "D", ""), std::string("\"\""));
  }

  void longValuesAreCutToTheReadBuffer() {
    const auto path = file("long.ini");
    writeAll(path, "[T]\nK=" + std::string(1 << 20, 'a') + "\n");
    const ProfileFile ini(path);
    QCOMPARE(ini.readString("T", "K", "").size(), ProfileFile::kValueBufferSize - 1);
  }

  void writingKeepsEverythingElseOfTheFile() {
    const auto path = file("keep.ini");
    writeAll(
        path,
        "; comment\r\n[Devices]\r\nCOM1=/dev/ttyUSB0\r\n\r\n[Graph]\r\nscalex=60\r\nOther=1\r\n[Tail]\r\nZ=9\r\n");
    ProfileFile ini(path);
    ini.writeInteger("Graph", "ScaleX", 120);
    ini.writeString("Graph", "Titulek", "Nový");
    ini.writeString("Serial", "BaudRate", "19200");
    QCOMPARE(
        readAll(path),
        std::string(
            "; comment\n[Devices]\nCOM1=/dev/ttyUSB0\n\n[Graph]\nScaleX=120\nOther=1\nTitulek=Nový\n[Tail]\nZ=9\n[Serial]\nBaudRate=19200\n"));
    QCOMPARE(ini.readString("devices", "com1", ""), std::string("/dev/ttyUSB0"));
  }

  void valuesReadBackExactlyAsWritten() {
    const auto path = file("roundtrip.ini");
    ProfileFile ini(path);
    const std::string values[] = {"   . ", "  1.000000000", "   0.0", "\"quoted\"",
                                  "'x'",   "plain",         "",       "a \"b\" c"};
    for (const std::string& value : values) {
      ini.writeString("Select", "Zacatek", value);
      QCOMPARE(ini.readString("Select", "Zacatek", "fallback"), value);
    }
    ini.writeString("Convertor", "KonstStr", "  1.5        ");
    QVERIFY(readAll(path).find("KonstStr=\"  1.5        \"\n") != std::string::npos);
  }

  void eachWriteReplacesTheFileWhole() {
    const auto path = file("atomic.ini");
    writeAll(path, "[A]\nK=old\n");
    struct stat before {};
    QCOMPARE(::stat(path.c_str(), &before), 0);
    ProfileFile ini(path);
    ini.writeString("A", "K", "new");
    struct stat after {};
    QCOMPARE(::stat(path.c_str(), &after), 0);
    // A new file took the old one's name: a crash mid-write leaves the old one whole.
    QVERIFY(before.st_ino != after.st_ino);
    QVERIFY(!std::filesystem::exists(path.string() + ".tmp"));
    QCOMPARE(readAll(path), std::string("[A]\nK=new\n"));
  }

  void aFileThatCannotBeReplacedReportsTheFileName() {
    const auto path = file("nodir") / "Kelvor.ini";
    ProfileFile ini(path);
    try {
      ini.writeString("A", "K", "v");
      QFAIL("the write should have failed");
    } catch (const ProfileWriteError& error) {
      QCOMPARE(std::string(error.what()), "Unable to write to " + path.string());
    }
    const auto dirPath = file("isdir.ini");
    std::filesystem::create_directory(dirPath);
    ProfileFile overDirectory(dirPath);
    QVERIFY_THROWS_EXCEPTION(ProfileWriteError, overDirectory.writeString("A", "K", "v"));
  }
};

QTEST_APPLESS_MAIN(TestProfileFile)
#include "tst_profilefile.moc"
