#pragma once

#include "data/core/measurementtable.h"
#include "tests/crash/tablesnapshot.h"

#include <QByteArray>
#include <QString>

#include <filesystem>
#include <vector>

// The folder a program runs in, as the tests prepare it and look into it afterwards.

QByteArray readBytes(const QString& path);
void writeBytes(const QString& path, const QByteArray& bytes);

QString settingsFileIn(const QString& folder);
std::filesystem::path tableFileIn(const QString& folder);

// A settings file with every key the program writes at shutdown, the interval window's keys
// and COM2 wired to `com2Device`; the storage interval is 6 s and the minutes count at 0.
QByteArray settingsText(const QString& com2Device);

// The n-th reading of a cycle at 6 s: minutes n tenths, a slowly falling voltage.
kelvor::MeasurementRecord measured(int n);

// Creates the folder's table with the readings 1 to `count`, through the program's table.
void prepareTable(const QString& folder, int count);

// Writes an import file of the readings 1 to `lines` and returns the rows its lines become
// in the table: the columns as they stand, twelve characters wide.
std::vector<TableRow> writeImportFile(const QString& path, int lines);

// What a kill left in the folder's table, examined on a copy in `evidence`, so that the
// original waits untouched for the program's next start.
TableSnapshot snapshotOf(const QString& folder, const std::filesystem::path& evidence);
