// The exchange thread's pacing and its treatment of each send type, read from
// the stand's trace and the records in stand time.
#include <bcm2835.h>
#include <gtest/gtest.h>

#include "Stand.h"
#include "link_codes.h"
#include "link_probe.h"
#include "records.h"
#include "spi.h"
#include "test_stand.h"
#include "trace.h"

namespace {

// An idle link leaves the bus alone; queued requests go out one per cycle of a
// little over 300 ms, each answered about 200 ms after it left the queue: every
// chip-select window in ms after the requests were queued ("W2" a request, "R"
// a read), then each new reply code with the ms it was seen at.
TEST(ExchangeTiming, ServesOneRequestPerCycleInQueueOrderAndLeavesAnIdleBusAlone) {
  TestStand().start_program();
  bcm2835_delay(1000);
  auto queued = sim::clock_now();
  SPI_command_ShieldRead();
  stand_ReadSignalShield_DI();
  stand_ReadSignalShield_AI();
  std::string codes;
  for (unsigned t = 1; t <= 1000; ++t) {
    int before = menuSt.functionRead;
    bcm2835_delay(1);
    if (menuSt.functionRead != before) codes += " " + std::to_string(menuSt.functionRead) + "@" + std::to_string(t);
  }
  std::string bus;
  for (auto& w : sim::trace_windows())
    bus += (w.mosi[0] ? "W" + std::to_string(w.mosi[1]) : std::string("R")) + "@" +
           std::to_string((static_cast<long>(w.time) - static_cast<long>(queued)) / 1000) + " ";
  EXPECT_EQ(bus + "|" + codes, "W2@0 R@100 R@200 W226@300 R@400 R@501 W228@601 R@701 R@801 | 2@201 226@502 228@802");
}

// Type 0 replies are dropped unread; type 3 and cyclic replies are taken
// without comparing the code (a please-repeat is answered with the shield's
// last reply); a cyclic request goes out again while nothing else waits, until
// another request is sent.
TEST(ExchangeTiming, EachSendTypeTreatsItsReplyAsItSays) {
  TestStand().start_program();
  std::string trail;
  auto step = [&](uint8_t function, uint8_t type) {
    shieldSt.firmware = 0;
    SPI_command_queue(function, {0, 0, 0, 0}, type);
    bcm2835_delay(1000);
    trail += requests_on_bus() + " -> code " + std::to_string(menuSt.functionRead) + " fw " +
             std::to_string(shieldSt.firmware) + "\n";
  };
  step(_FUNC_SHIELDREAD, SPI_TypeSend_NoneReadFunction);
  step(_FUNC_SHIELDREAD, SPI_TypeSend_ReadFunction);
  step(_FUNC_PLEASEREPEAT, SPI_TypeSend_NoneControl);
  step(_FUNC_SHIELDREAD, SPI_TypeSend_Cycle);
  stand_ReadSignalShield_DI();
  bcm2835_delay(1000);
  trail += requests_on_bus();
  EXPECT_EQ(trail,
            "02 -> code 0 fw 0\n"
            "02 02 -> code 2 fw 325\n"
            "02 02 FF -> code 2 fw 325\n"
            "02 02 FF 02 02 02 -> code 2 fw 325\n"
            "02 02 FF 02 02 02 E2");
}

}  // namespace
