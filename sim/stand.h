// Putting a simulated stand together: what the machine allows (memory
// mapping, threads), the clock mode, the shield and where to write the trace.
// Programs get it from their environment and working directory at
// bcm2835_init; tests build it directly with stand_start().
#pragma once
#include <string>

#include "shield.h"

namespace sim {

// How much of the peripherals the library can map, as on a Pi:
// full (root), gpio_only (/dev/gpiomem without root: no SPI0), none.
enum class Mapping { full, gpio_only, none };

struct StandConfig {
  ShieldState shield;
  std::string state_path;  // lasting state of the shield; empty = kept in memory
  Mapping mapping = Mapping::full;
  double speed = 0.0;  // 0 = deterministic turn-taking, else real pace times speed
  bool fail_thread_creation = false;
  std::string vcd_path;  // the trace is written beside it as it happens (trace.h)
  std::string log_path;  // used when vcd_path is empty
};

// Environment of a program on the simulated stand:
//   VELK_SIM_STATE    lasting state file of the shield (default: shield.state)
//   VELK_SIM_SPEED    0 = deterministic (default), x = real pace times x
//   VELK_SIM_MAPPING  full | gpio-only | none
//   VELK_SIM_THREADS  fail = thread creation fails
//   VELK_SIM_VCD, VELK_SIM_LOG  where the trace goes (FILE.vcd and FILE.log)
// Returns false with `error` set when the shield's state file cannot be used.
bool stand_config_from_environment(StandConfig& config, std::string& error);

// Installs the stand once per process; later calls change nothing and return
// the first result. Returns false when the stand cannot be built.
bool stand_start(const StandConfig& config);
bool stand_started();
const StandConfig& stand_config();

}  // namespace sim
