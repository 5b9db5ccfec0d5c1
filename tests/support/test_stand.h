// A fresh simulated stand for one test: a builder over the scenario's keys
// (the same table a scenario file and the launcher use), and the stand
// program's start-up on it. CTest runs each test in its own process; building
// a second stand in one process fails the test.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "stand.h"

class TestStand {
 public:
  TestStand();

  // Any scenario key as a scenario file gives it: set("link.fault", "late").
  // A key or value the stand would refuse fails the test.
  TestStand& set(std::string_view key, std::string_view value);

  // Free-running clock: the speed from VELK_TEST_SPEED when set (the
  // ThreadSanitizer run sets it), else the given one.
  TestStand& free_running(double speed);

  // Installs the stand (its trace kept in memory) and initialises the
  // library. Returns false when the stand was already built in this process.
  bool start();

  // start(), then the stand program's own start-up: lines, reset pulse, SPI0,
  // exchange thread. Its output is swallowed.
  void start_program();

  sim::StandConfig config;
};

// Stand time in milliseconds.
double stand_ms();

// True when the tests run on a free-running clock (VELK_TEST_SPEED is set, as
// in the ThreadSanitizer run). A test that asserts exact stand times skips
// itself there; the rest run with the threads truly side by side.
bool clock_runs_free();
#define SKIP_IF_CLOCK_RUNS_FREE() \
  if (clock_runs_free()) GTEST_SKIP() << "asserts exact stand times, which only the deterministic clock keeps"
