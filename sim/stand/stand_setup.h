// Putting a simulated stand together: its scenario (the shield, its faults,
// the run's settings), where the shield's lasting state lives, and the stand
// time shared with the other programs of the same working directory.
// Programs get it at bcm2835_init from their environment and working
// directory; tests build it directly with stand_start().
#pragma once
#include <string>

#include "stand/scenario.h"

namespace sim {

struct StandConfig {
  Scenario scenario;
  std::string state_path;   // the shield's lasting state; empty = kept in memory
  bool keep_trace = false;  // keep the trace in memory for trace_lines()/trace_windows()
};

// A program's stand: the scenario file named by VELK_SIM_STATE (default
// shield.state; missing = the default shield) and the run settings VELK_SIM_*
// (see scenario.h). When they cannot be used, says why on standard error and
// ends the program with kExitBadScenario (or kExitCannotWrite for a trace
// directory that cannot be written), before any line is touched.
void stand_start_from_environment();

// Installs the stand once per process; later calls change nothing and return
// the first result. Returns false when the stand cannot be built.
bool stand_start(const StandConfig& config);
bool stand_started();
const StandConfig& stand_config();

}  // namespace sim
