// Where a program meets the simulated stand: bcm2835_init puts the stand
// together from the program's environment and working directory (its
// scenario, the shield's lasting state, the stand time, the board's lines)
// and maps as much of the peripherals as the machine allows.
#include <bcm2835.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "board/board.h"
#include "stand/stand_setup.h"
#include "time/clock.h"
#include "time/stand_file.h"

extern "C" {

int bcm2835_init(void) {
  if (!sim::stand_started()) sim::stand_start_from_environment();  // ends a program on a bad scenario
  sim::clock_attach();
  auto& config = sim::stand_config();
  auto mapping = config.scenario.run.mapping;
  if (mapping == sim::Mapping::none) {
    std::fprintf(stderr, "bcm2835_init: Unable to open /dev/gpiomem: No such file or directory\n");
    return 0;
  }
  std::string error;
  if (!sim::board_attach_lines(config.state_path, config.scenario.board_start, error)) {
    std::fprintf(stderr, "simulated stand: %s\n", error.c_str());
    std::exit(sim::kExitBadScenario);
  }
  sim::board_map_peripherals(mapping == sim::Mapping::full);
  return 1;
}

int bcm2835_close(void) { return 1; }

// Not the library's: the stand time, for a program that records it beside the
// wall clock (it looks the function up weakly, so on a Pi it finds none). Kept
// in this file, which every program on the stand links, for that reason.
uint64_t velk_stand_time_us(void) { return sim::clock_now(); }

}  // extern "C"
