#pragma once

#include <QtGlobal>

// The long fault runs (kills at random moments, minutes of line noise) in full or in short.
// Under the sanitizers every run is several times slower and a killed process can report
// nothing, so CI asks for them in short there with KELVOR_SHORT_FAULT_RUNS=1.
inline bool shortFaultRuns() {
  return qEnvironmentVariableIntValue("KELVOR_SHORT_FAULT_RUNS") > 0;
}

template <typename T> T faultRunLength(T full, T shortened) {
  return shortFaultRuns() ? shortened : full;
}
