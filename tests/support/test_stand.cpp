#include "test_stand.h"

#include <bcm2835.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "clock.h"
#include "console_capture.h"
#include "startup.h"
#include "trace.h"

TestStand::TestStand() { config.speed = 0.0; }

TestStand& TestStand::number(uint8_t n) { return config.shield.number = n, *this; }
TestStand& TestStand::edition(sim::Edition e) { return config.shield.edition = e, *this; }
TestStand& TestStand::firmware(uint16_t v) { return config.shield.firmware = v, *this; }

TestStand& TestStand::id(uint32_t w0, uint32_t w1, uint32_t w2) {
  config.shield.id[0] = w0;
  config.shield.id[1] = w1;
  config.shield.id[2] = w2;
  return *this;
}

TestStand& TestStand::link_fault(sim::LinkFault fault, uint32_t count, uint8_t code) {
  config.shield.link_fault = fault;
  config.shield.link_fault_count = count;
  config.shield.link_fault_code = code;
  return *this;
}

TestStand& TestStand::mapping(sim::Mapping m) { return config.mapping = m, *this; }
TestStand& TestStand::fail_thread_creation() { return config.fail_thread_creation = true, *this; }

TestStand& TestStand::free_running(double speed) {
  double forced = test_speed();
  config.speed = forced > 0 ? forced : speed;
  return *this;
}

bool TestStand::start() {
  if (sim::stand_started()) {
    ADD_FAILURE() << "one stand per process: run the tests through ctest";
    return false;
  }
  if (config.speed == 0.0) config.speed = test_speed();
  sim::trace_keep_in_memory(true);  // tests read the trace through the back door
  sim::stand_start(config);
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
