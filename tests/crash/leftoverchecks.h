#pragma once

#include "tests/crash/tablesnapshot.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// Checks of what a killed program left behind. Each returns an empty text when all is well,
// otherwise what is wrong, for the failure message.

bool sameValues(const TableRow& a, const TableRow& b);

// The first `before.size()` rows are exactly the ones that were there before the run.
QString earlierRowsProblem(const std::vector<TableRow>& rows, const std::vector<TableRow>& before);

// A measuring run: the records before it are untouched; every record the program reported
// stored (its "stored" lines) is there with its values; at most the one store in flight at
// the kill follows; the new records carry the minutes count of a cycle at 6 s on from the last
// record before them and plausible readings.
QString measuredRunProblem(const std::vector<TableRow>& rows, const std::vector<TableRow>& before,
                           const QStringList& storedLines);

// A settings file the program wrote is whole: every line complete and well-formed, and every
// key it writes, the interval window's keys and the port's device are there.
QString settingsProblem(const QString& path);

// The program started again on what the kill left: it opens the table with all `records`,
// tells the operator nothing, and its shutdown writes a whole settings file.
QString recoveryProblem(const QString& folder, std::size_t records);

// The records a selection keeps of a table of the readings 1 to n, the bounds given in
// tenths of a minute as the table's minutes are.
std::vector<TableRow> keptBy(const std::vector<TableRow>& all, int zacatekTenths, int konecTenths);

// The text of an interval window edit for a bound in tenths.
QString boundText(int tenths);

// The settings file as it may be at any moment of the interval window's deactivation: before
// it, after the first key was written, after both. `scratch` is a file to work in.
std::vector<QByteArray> settingsStagesOfDeactivation(const QString& scratch,
                                                     const QByteArray& before,
                                                     const QString& zacatek, const QString& konec);
