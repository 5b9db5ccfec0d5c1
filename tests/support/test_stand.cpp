#include "test_stand.h"

#include <bcm2835.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "clock.h"
#include "console_capture.h"
#include "startup.h"

// Speed the tests of the link run at: 0 (deterministic) unless VELK_TEST_SPEED is set.
static double test_speed() {
  const char* s = std::getenv("VELK_TEST_SPEED");
  return s ? std::atof(s) : 0.0;
}

TestStand::TestStand() { config.keep_trace = true; }

TestStand& TestStand::set(std::string_view key, std::string_view value) {
  std::string error;
  EXPECT_TRUE(sim::scenario_set(config.scenario, key, value, error)) << error;
  return *this;
}

TestStand& TestStand::free_running(double speed) {
  double forced = test_speed();
  config.scenario.run.speed = forced > 0 ? forced : speed;
  return *this;
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
  StdoutCapture quiet;
  char name[] = "Velk_STM_Tool";
  char* argv[] = {name, nullptr};
  stand_startup(1, argv);
}

double stand_ms() { return static_cast<double>(sim::clock_now()) / 1000.0; }

bool clock_runs_free() { return test_speed() > 0; }
