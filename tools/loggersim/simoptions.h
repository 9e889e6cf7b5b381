#pragma once

#include "tools/loggersim/misbehaviour.h"
#include "tools/loggersim/simulatedlogger.h"

#include <stdexcept>
#include <string>

namespace kelvor::sim {

struct SimOptions {
  LoggerSettings logger;
  Misbehaviour misbehaviour;
  unsigned baud = 19200;
  double speed = 1.0; // simulated seconds per real second
  std::string link;
  std::string pathFile;
  std::string controlFifo;
  bool help = false;
};

class UsageError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Throws UsageError on an unknown option or a bad value.
SimOptions parseOptions(int argc, const char* const* argv);

const char* usageText();

} // namespace kelvor::sim
