#include "test_stand.h"

#include <bcm2835.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "clock.h"
#include "console_capture.h"
#include "startup.h"

TestStand::TestStand() { config.keep_trace = true; }

TestStand& TestStand::set(std::string_view key, std::string_view value) {
  std::string error;
  EXPECT_TRUE(sim::scenario_set(config.scenario, key, value, error)) << error;
  return *this;
}

TestStand& TestStand::number(uint8_t n) { return set("number", std::to_string(n)); }
TestStand& TestStand::edition(sim::Edition e) { return set("edition", sim::edition_name(e)); }
TestStand& TestStand::firmware(uint16_t v) { return set("firmware", std::to_string(v)); }

TestStand& TestStand::id(uint32_t w0, uint32_t w1, uint32_t w2) {
  char words[32];
  std::snprintf(words, sizeof words, "%x,%x,%x", w0, w1, w2);
  return set("id", words);
}

TestStand& TestStand::link_fault(sim::LinkFault fault, uint32_t count, uint8_t code) {
  return set("link.fault", sim::link_fault_name(fault))
      .set("link.count", std::to_string(count))
      .set("link.code", std::to_string(code));
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

double test_speed() {
  const char* s = std::getenv("VELK_TEST_SPEED");
  return s ? std::atof(s) : 0.0;
}

double stand_ms() { return static_cast<double>(sim::clock_now()) / 1000.0; }
