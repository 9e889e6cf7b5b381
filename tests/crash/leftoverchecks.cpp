#include "tests/crash/leftoverchecks.h"

#include "app/core/profilefile.h"
#include "app/core/settingskeys.h"
#include "app/form1.h"
#include "app/program.h"
#include "data/core/numbertext.h"
#include "tests/crash/programfolder.h"
#include "tests/crash/victimprotocol.h"
#include "tests/support/scripteddialogs.h"

#include <algorithm>
#include <cstring>
#include <memory>

using kelvor::ProfileFile;
namespace keys = kelvor::settings;

namespace {

struct SettingsKey {
  const char* section;
  const char* key;
};

const std::vector<SettingsKey> kWrittenKeys{{keys::kTabulka, keys::kHlavickaTab},
                                            {keys::kGraph, keys::kScaleX},
                                            {keys::kGraph, keys::kScaleY},
                                            {keys::kGraph, keys::kTitulek},
                                            {keys::kGraph, keys::kBarva},
                                            {keys::kSheet, keys::kStranka},
                                            {keys::kSerial, keys::kSerialPort},
                                            {keys::kSerial, keys::kBaudRate},
                                            {keys::kUkladani, keys::kDoba},
                                            {keys::kUkladani, keys::kMinuty},
                                            {keys::kConvertor, keys::kKonstStr},
                                            {keys::kTransfer, keys::kPocetRadku},
                                            {keys::kSelect, keys::kZacatek},
                                            {keys::kSelect, keys::kKonec},
                                            {keys::kDevices, "COM2"}};

QString describe(const TableRow& row) {
  return QStringLiteral("[%1|%2|%3]")
      .arg(QString::fromStdString(row.time.value_or("(none)")), QString::fromStdString(row.minutes),
           QString::fromStdString(row.voltage));
}

} // namespace

bool sameValues(const TableRow& a, const TableRow& b) {
  return a.time == b.time && a.minutes == b.minutes && a.voltage == b.voltage;
}

QString earlierRowsProblem(const std::vector<TableRow>& rows, const std::vector<TableRow>& before) {
  if (rows.size() < before.size())
    return QStringLiteral("%1 of %2 earlier records lost")
        .arg(before.size() - rows.size())
        .arg(before.size());
  const auto mismatch = std::mismatch(before.begin(), before.end(), rows.begin());
  if (mismatch.first != before.end())
    return QStringLiteral("earlier record %1 changed: %2 became %3")
        .arg(mismatch.first - before.begin())
        .arg(describe(*mismatch.first), describe(*mismatch.second));
  return {};
}

QString measuredRunProblem(const std::vector<TableRow>& rows, const std::vector<TableRow>& before,
                           const QStringList& storedLines) {
  if (QString problem = earlierRowsProblem(rows, before); !problem.isEmpty())
    return problem;
  std::size_t reported = before.size();
  for (const QString& line : storedLines) {
    const QStringList parts =
        line.mid(qsizetype(std::strlen(victim::kStored))).split(victim::kFieldSeparator);
    const auto count = parts.value(0).toULongLong();
    const TableRow told{
        0, parts.value(1).isEmpty() ? std::nullopt : std::optional(parts.value(1).toStdString()),
        parts.value(2).toStdString(), parts.value(3).toStdString()};
    if (parts.size() != 4 || count == 0 || count > rows.size())
      return QStringLiteral("reported store missing from the file: ") + line;
    if (!sameValues(rows[count - 1], told))
      return QStringLiteral("record %1 reported stored as %2 but reads %3")
          .arg(count)
          .arg(describe(told), describe(rows[count - 1]));
    reported = std::max<std::size_t>(reported, count);
  }
  if (rows.size() > reported + 1)
    return QStringLiteral("%1 records in the file, only %2 stored and one in flight")
        .arg(rows.size())
        .arg(reported);
  // A run carries on from the minutes of the last record stored before it, which the kill kept
  // from reaching the settings file.
  const double startMinutes =
      before.empty() ? 0.0 : kelvor::parseFloat(before.back().minutes).value_or(0.0);
  for (std::size_t i = before.size(); i < rows.size(); ++i) {
    const TableRow& row = rows[i];
    const std::string minutes =
        kelvor::formatFixed(startMinutes + double(i - before.size() + 1) / 10.0, 6, 1);
    const std::optional<double> volts = kelvor::parseFloat(row.voltage);
    const bool timeValid = row.time && kelvor::timeFromStorageText(*row.time);
    if (row.minutes != minutes || !volts || *volts < 9.0 || *volts > 14.0 || !timeValid)
      return QStringLiteral("record %1 is not a reading: %2").arg(i + 1).arg(describe(row));
  }
  return {};
}

std::vector<TableRow> keptBy(const std::vector<TableRow>& all, int zacatekTenths, int konecTenths) {
  std::vector<TableRow> kept;
  for (std::size_t i = 0; i < all.size(); ++i) {
    const int tenths = static_cast<int>(i) + 1;
    if (zacatekTenths <= tenths && tenths <= konecTenths)
      kept.push_back(all[i]);
  }
  return kept;
}

QString boundText(int tenths) {
  return QString::fromStdString(kelvor::formatFixed(tenths / 10.0, 5, 1));
}

std::vector<QByteArray> settingsStagesOfDeactivation(const QString& scratch,
                                                     const QByteArray& before,
                                                     const QString& zacatek, const QString& konec) {
  writeBytes(scratch, before);
  ProfileFile ini(scratch.toStdString());
  std::vector<QByteArray> stages{before};
  ini.writeString(keys::kSelect, keys::kZacatek, zacatek.toStdString());
  stages.push_back(readBytes(scratch));
  ini.writeString(keys::kSelect, keys::kKonec, konec.toStdString());
  stages.push_back(readBytes(scratch));
  return stages;
}

QString settingsProblem(const QString& path) {
  const QByteArray bytes = readBytes(path);
  if (bytes.isEmpty() || !bytes.endsWith('\n'))
    return QStringLiteral("the settings file is empty or its last line is cut");
  for (const QByteArray& line : bytes.chopped(1).split('\n')) {
    const bool section = line.startsWith('[') && line.endsWith(']');
    const bool pair = line.indexOf('=') > 0;
    if (!line.isEmpty() && !section && !pair)
      return QStringLiteral("malformed settings line: ") + QString::fromUtf8(line);
  }
  const ProfileFile ini(path.toStdString());
  for (const SettingsKey& wanted : kWrittenKeys) {
    if (ini.readString(wanted.section, wanted.key, "\x01missing") == "\x01missing")
      return QStringLiteral("settings key %1/%2 lost").arg(wanted.section, wanted.key);
  }
  return {};
}

QString recoveryProblem(const QString& folder, std::size_t records) {
  ScriptedDialogs* dialogs = nullptr;
  kelvor::Program program(kelvor::FileLocations::forExecutableDir(folder), keptDialogs(dialogs));
  const int opened = program.form().Table1.recordCount();
  program.shutdown();
  if (opened != static_cast<int>(records))
    return QStringLiteral("the started program shows %1 records, the file holds %2")
        .arg(opened)
        .arg(records);
  if (!dialogs->messages.empty())
    return QStringLiteral("the started program said: ") + dialogs->messages.front().text;
  return settingsProblem(settingsFileIn(folder));
}
