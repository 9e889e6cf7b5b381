#pragma once

#include <QString>

namespace kelvor {

class OperatorDialogs;

// Tells the operator where an export went, the file named in full.
void showExportedTo(OperatorDialogs& dialogs, const QString& file);

} // namespace kelvor
