#pragma once

#include "data/core/asciiformat.h"

#include <stdexcept>

namespace kelvor {

// A file operation that failed, in the runtime's words; a command that throws it reaches
// the operator as an error message box.
class FileError : public std::runtime_error {
public:
  explicit FileError(int errorNumber) : std::runtime_error(fileErrorText(errorNumber)) {}
};

// Throws FileError for a failed operation's errno; 0 passes.
inline void checkFileOperation(int errorNumber) {
  if (errorNumber != 0)
    throw FileError(errorNumber);
}

} // namespace kelvor
