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

  // Shorthands for the keys most tests use.
  TestStand& number(uint8_t n);
  TestStand& edition(sim::Edition e);
  TestStand& firmware(uint16_t version);
  TestStand& id(uint32_t w0, uint32_t w1, uint32_t w2);
  TestStand& link_fault(sim::LinkFault fault, uint32_t count = 0, uint8_t code = 0);
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

// Speed the tests of the link run at: 0 (deterministic) unless VELK_TEST_SPEED is set.
double test_speed();

// Stand time in milliseconds.
double stand_ms();
