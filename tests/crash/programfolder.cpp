#include "tests/crash/programfolder.h"

#include "data/core/asciiformat.h"
#include "data/core/numbertext.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace fs = std::filesystem;

QByteArray readBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    file.write(bytes);
}

QString settingsFileIn(const QString& folder) {
  return QDir(folder).filePath(QStringLiteral("Kelvor.ini"));
}

fs::path tableFileIn(const QString& folder) {
  return fs::path(folder.toStdString()) / "Kelvor" / "Kelvor.db";
}

QByteArray settingsText(const QString& com2Device) {
  return "[Tabulka]\nHlavickaTab=TABULKA  NAMĚŘENÝCH  HODNOT:\n"
         "[Graph]\nScaleX=60\nScaleY=15\nTitulek=VYBÍJENÍ  AKUMULÁTORU\nBarva=clBlue\n"
         "[Sheet]\nStranka=METERS\n"
         "[Serial]\nSerialPort=COM2\nBaudRate=19200\n"
         "[Ukladani]\nDoba=6\nMinuty=\"   0.0\"\n"
         "[Convertor]\nKonstStr=\"  1.000000000\"\n"
         "[Transfer]\nPocetRadku=100\n"
         "[Select]\nZacatek=\"   . \"\nKonec=\"   . \"\n"
         "[Devices]\nCOM2=" +
         com2Device.toUtf8() + "\n";
}

kelvor::MeasurementRecord measured(int n) {
  return {(8 * 3600 + 6 * n) % kelvor::kSecondsPerDay, kelvor::formatFixed(n / 10.0, 6, 1),
          kelvor::formatFixed(12.8 - n / 100000.0, 6, 3)};
}

void prepareTable(const QString& folder, int count) {
  kelvor::MeasurementTable table;
  table.open(tableFileIn(folder));
  kelvor::MeasurementTable::Batch batch(table);
  for (int n = 1; n <= count; ++n) {
    const kelvor::MeasurementRecord record = measured(n);
    table.append();
    table.setTime(record.time);
    table.setMinutes(record.minutes);
    table.setVoltage(record.voltage);
  }
  batch.commit();
  table.close();
}

namespace {

std::string rightAligned(const std::string& text) {
  const std::size_t width = kelvor::kAsciiColumnWidth;
  return std::string(width - std::min(text.size(), width), ' ') + text;
}

} // namespace

std::vector<TableRow> writeImportFile(const QString& path, int lines) {
  std::vector<TableRow> rows;
  std::string text;
  for (int n = 1; n <= lines; ++n) {
    const kelvor::MeasurementRecord record = measured(n);
    const std::string time = kelvor::timeToStorageText(*record.time);
    kelvor::appendAsciiLine(text, time, record.minutes, record.voltage);
    rows.push_back({0, time, rightAligned(record.minutes), rightAligned(record.voltage)});
  }
  writeBytes(path, QByteArray::fromStdString(text));
  return rows;
}

TableSnapshot snapshotOf(const QString& folder, const fs::path& evidence) {
  copyFolder(tableFileIn(folder).parent_path(), evidence);
  return readTableSnapshot(evidence / "Kelvor.db");
}
