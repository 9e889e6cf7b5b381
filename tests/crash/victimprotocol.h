#pragma once

#include <QString>

// How the test executable talks to a copy of itself that plays the program to be killed. The
// copy is started with kVictimSwitch, the role and its operands; it answers with one line on
// standard output for every step the parent needs to know about.
namespace victim {

inline constexpr char kVictimSwitch[] = "-victim";

inline constexpr char kMeasure[] = "measure";
inline constexpr char kImport[] = "import";
inline constexpr char kSelect[] = "select";
inline constexpr char kReadout[] = "readout";

// The main window is built and its start-up has run.
inline constexpr char kReady[] = "ready";
// The action the parent kills into has begun.
inline constexpr char kMeasuring[] = "measuring";
inline constexpr char kImporting[] = "importing";
inline constexpr char kWritingSettings[] = "writing-settings";
inline constexpr char kSelecting[] = "selecting";
inline constexpr char kReadingOut[] = "reading-out";
// A reply reached the terminal pane; a store it makes due follows at once.
inline constexpr char kReply[] = "reply";
// The receive handler of a reply returned.
inline constexpr char kHandled[] = "handled";
// "stored <count>|<TIME>|<MINUTES>|<VOLTAGE>": a record reached the file; count is the number
// of records the table holds after it.
inline constexpr char kStored[] = "stored ";
// "done <records> <milliseconds since the action began>": the action returned.
inline constexpr char kDone[] = "done ";
// "message <text>": the program showed the operator a message (an error, as a rule).
inline constexpr char kMessage[] = "message ";
// "failed <reason>": the victim could not set itself up; it exits.
inline constexpr char kFailed[] = "failed ";

// Separates the fields of a stored line; the texts keep their blanks.
inline constexpr QChar kFieldSeparator = QLatin1Char('|');

} // namespace victim
