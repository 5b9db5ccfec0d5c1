// A fresh simulated stand for one test: a builder over the scenario's keys
// (the same table a scenario file and the launcher use), and the stand
// program's start-up on it. CTest runs each test in its own process; building
// a second stand in one process fails the test.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "time/clock.h"
#include "stand/stand_setup.h"

class TestStand {
 public:
  // Scenario keys as a scenario file gives them, "link.fault=late link.count=4";
  // a key or value the stand would refuse fails the test. "speed=1" runs the
  // clock free at real pace, whatever VELK_TEST_SPEED says.
  explicit TestStand(std::string_view settings = "");

  // Installs the stand (its trace kept in memory) and initialises the
  // library. Returns false when the stand was already built in this process.
  bool start();

  // start(), then the stand program's own start-up: lines, reset pulse, SPI0,
  // exchange thread. Its output is swallowed.
  void start_program();

  sim::StandConfig config;
};

// Every change of a line named in `names` (" LN_BR LN_OD "; "" for every line
// the stand program drives) from stand time `since` on: " +1900 EK_OUT 1", in
// ms after `since`.
std::string line_changes(sim::StandTime since, std::string_view names = "");

// True when the tests run on a free-running clock (VELK_TEST_SPEED is set, as
// in the ThreadSanitizer run). A test that asserts exact stand times skips
// itself there; the rest run with the threads truly side by side.
bool clock_runs_free();
#define SKIP_IF_CLOCK_RUNS_FREE() \
  if (clock_runs_free()) GTEST_SKIP() << "asserts exact stand times, which only the deterministic clock keeps"
