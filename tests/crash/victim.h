#pragma once

#include <QStringList>

namespace victim {

// True when the executable was started as the program to be killed.
bool isVictimCall(const QStringList& arguments);

// Plays the program in the folder the arguments name and runs the action of the role until
// it is killed. Returns only when it cannot set itself up.
int runVictim(const QStringList& arguments);

} // namespace victim
