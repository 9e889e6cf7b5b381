#pragma once

#include "tools/loggersim/simulatedlogger.h"

#include <chrono>
#include <random>
#include <string_view>
#include <vector>

namespace kelvor::sim {

// The ways the simulated logger can be told to fail.
struct Misbehaviour {
  bool silent = false;                // reads commands, answers nothing
  std::chrono::milliseconds delay{0}; // pause before every reply
  bool noise = false;                 // every reply's bytes replaced by junk without numbers
  std::chrono::milliseconds split{0}; // every piece sent in two halves this far apart
  long hangupAfter = -1;              // replies before closing the line; -1 never
};

// A reply as the misbehaving logger sends it.
std::vector<Chunk> shapeReply(std::vector<Chunk> reply, const Misbehaviour& how,
                              std::mt19937& random);

enum class ControlResult { Applied, HangUp, Quit, Unknown };

// One line of the control channel: "silent on|off", "delay MS", "noise on|off", "split MS",
// "hangup-after N", "hold VOLTS|off", "rows-back-to-back N", "hangup", "quit".
ControlResult applyControl(std::string_view line, Misbehaviour& how, SimulatedLogger& logger);

} // namespace kelvor::sim
