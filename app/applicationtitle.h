#pragma once

#include <QString>

namespace kelvor {

// The application title: message boxes of the main window carry it.
inline const QString kApplicationTitle = QStringLiteral("Program  Kelvor");

} // namespace kelvor
