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
#include "board/trace.h"

namespace {

// An idle link leaves the bus alone; queued requests go out one per cycle of a
// little over 300 ms, each answered about 200 ms after it left the queue: every
// chip-select window in ms after the requests were queued ("W2" a request, "R"
// a read), then each new reply code with the ms it was seen at.
// Then each send type: type 0 replies are dropped unread; type 3 and cyclic
// replies are taken without comparing the code (a please-repeat is answered
// with the shield's last reply); a cyclic request goes out again while nothing
// else waits, until another request is sent (the last one's reply still counts).
TEST(ExchangeTiming, ServesOneRequestPerCycleInQueueOrderAndTreatsEachSendTypeAsItSays) {
  SKIP_IF_CLOCK_RUNS_FREE();
  TestStand().start_program();
  bcm2835_delay(1000);
  auto queued = sim::clock_now();
  SPI_command_ShieldRead();
  stand_ReadSignalShield_DI();
  stand_ReadSignalShield_AI();
  std::string trail;
  for (unsigned t = 1; t <= 1000; ++t) {
    int before = menuSt.functionRead;
    bcm2835_delay(1);
    if (menuSt.functionRead != before) trail += " " + std::to_string(menuSt.functionRead) + "@" + std::to_string(t);
  }
  std::string bus;
  for (auto& w : sim::trace_windows())
    bus += (w.mosi[0] ? "W" + std::to_string(w.mosi[1]) : std::string("R")) + "@" +
           std::to_string((static_cast<long>(w.time) - static_cast<long>(queued)) / 1000) + " ";
  trail = bus + "|" + trail + "\n";
  auto since = sim::clock_now();
  for (auto [function, type] : {std::pair{_FUNC_SHIELDREAD, SPI_TypeSend_NoneReadFunction},
                                {_FUNC_SHIELDREAD, SPI_TypeSend_ReadFunction},
                                {_FUNC_PLEASEREPEAT, SPI_TypeSend_NoneControl},
                                {_FUNC_SHIELDREAD, SPI_TypeSend_Cycle},
                                {_FUNC_DI, SPI_TypeSend_ReadFunction}}) {
    menuSt.functionRead = 0, shieldSt.firmware = 0;
    SPI_command_queue(function, {0, 0, 0, 0}, type);
    bcm2835_delay(1000);
    trail += requests_on_bus(since) + " -> code " + std::to_string(menuSt.functionRead) + " fw " +
             std::to_string(shieldSt.firmware) + "\n";
  }
  EXPECT_EQ(trail, R"(W2@0 R@100 R@200 W226@300 R@400 R@501 W228@601 R@701 R@801 | 2@201 226@502 228@802
02 -> code 0 fw 0
02 02 -> code 2 fw 325
02 02 FF -> code 2 fw 325
02 02 FF 02 02 02 -> code 2 fw 325
02 02 FF 02 02 02 E2 -> code 226 fw 325
)");
}

}  // namespace
