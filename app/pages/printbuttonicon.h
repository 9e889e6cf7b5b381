#pragma once

#include <QIcon>

namespace kelvor {

// The picture of the print-preview buttons: a small printer, with a dimmed look for the
// pressed state.
QIcon printButtonIcon();

} // namespace kelvor
