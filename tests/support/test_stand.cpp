#include "test_stand.h"

#include <bcm2835.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "time/clock.h"
#include "console_capture.h"
#include "startup.h"
#include "board/trace.h"
#include "board/wiring.h"

// Speed the tests of the link run at: 0 (deterministic) unless VELK_TEST_SPEED is set.
static double test_speed() {
  const char* s = std::getenv("VELK_TEST_SPEED");
  return s ? std::atof(s) : 0.0;
}

TestStand::TestStand(std::string_view settings) {
  config.keep_trace = true;
  std::istringstream words{std::string(settings)};
  for (std::string kv, error; words >> kv;) {
    auto eq = kv.find('=');
    EXPECT_TRUE(sim::scenario_set(config.scenario, kv.substr(0, eq), kv.substr(eq + 1), error)) << error;
  }
}

bool TestStand::start() {
  if (sim::stand_started()) {
    ADD_FAILURE() << "one stand per process: run the tests through ctest";
    return false;
  }
  if (config.scenario.run.speed == 0.0) config.scenario.run.speed = test_speed();
  EXPECT_TRUE(sim::stand_start(config)) << "speed " << config.scenario.run.speed;
  return bcm2835_init() == 1;
}

void TestStand::start_program() {
  ASSERT_TRUE(start());
  char name[] = "Velk_STM_Tool";
  char* argv[] = {name, nullptr};
  printed([&] { stand_startup(1, argv); });
}

std::string line_changes(sim::StandTime since, std::string_view names) {
  std::string out;
  for (auto& e : sim::trace_lines()) {
    auto* line = sim::wiring_line(e.gpio);
    if (e.time < since || !line ||
        (names.empty() ? line->role == sim::Role::spi || line->role == sim::Role::read_back
                       : names.find(" " + std::string(line->name) + " ") == names.npos))
      continue;
    out += " +" + std::to_string((e.time - since) / 1000) + " " + line->name + " " + std::to_string(e.level);
  }
  return out;
}

bool clock_runs_free() { return test_speed() > 0; }
