// The exchange thread's pacing, read from the stand's trace in stand time.
#include <bcm2835.h>
#include <gtest/gtest.h>

#include "Stand.h"
#include "link_probe.h"
#include "records.h"
#include "spi.h"
#include "test_stand.h"

namespace {

double ms(sim::StandTime t) { return static_cast<double>(t) / 1000.0; }

TEST(ExchangeTiming, ServesOneRequestPerCycleInQueueOrder) {
  TestStand().start_program();
  SPI_command_ShieldRead();
  stand_ReadSignalShield_DI();
  stand_ReadSignalShield_AI();
  bcm2835_delay(1500);
  auto windows = sim::trace_windows();
  std::vector<sim::SpiWindow> requests;
  for (auto& w : windows)
    if (w.mosi[0] == 0xA1) requests.push_back(w);
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].mosi[1], 0x02);
  EXPECT_EQ(requests[1].mosi[1], 0xE2);
  EXPECT_EQ(requests[2].mosi[1], 0xE4);
  for (size_t i = 1; i < requests.size(); ++i) {
    double gap = ms(requests[i].time - requests[i - 1].time);
    EXPECT_GE(gap, 300.0);
    EXPECT_LT(gap, 302.0) << "a cycle with a request is a little over 300 ms";
  }
  EXPECT_EQ(windows.size(), 9u) << "each request: one write window and two read windows";
}

TEST(ExchangeTiming, AReplyIsParsedAbout200MsAfterItsRequestLeftTheQueue) {
  TestStand().start_program();
  SPI_command_ShieldRead();
  while (menuSt.functionRead != 0x02) bcm2835_delay(1);
  double parsed = stand_ms();
  auto sent = requests_sent(0x02);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_NEAR(parsed - ms(sent[0].time), 200.0, 2.0);
}

TEST(ExchangeTiming, AnIdleLinkLeavesTheBusAlone) {
  TestStand().start_program();
  bcm2835_delay(2000);
  EXPECT_TRUE(sim::trace_windows().empty());
}

TEST(ExchangeTiming, AMissingReplyLeavesTheSignalRecordsUnchanged) {
  TestStand().link_fault(sim::LinkFault::silent, 0, _FUNC_DI).start_program();
  stend_signal.Ek = PIN_HIGH;
  stend_signal.Line = 1234;
  stand_ReadSignalShield_DI();
  bcm2835_delay(1500);
  EXPECT_EQ(stend_signal.Ek, PIN_HIGH);
  EXPECT_EQ(stend_signal.Line, 1234);
}

TEST(ExchangeTiming, ACyclicRequestIsRepeatedWhileNothingElseWaits) {
  TestStand().start_program();
  SPI_command_queue(0xE2, {0, 0, 0, 0}, SPI_TypeSend_Cycle);
  bcm2835_delay(1000);
  auto polls = requests_sent(0xE2).size();
  EXPECT_GE(polls, 2u);
  SPI_command_ShieldRead();  // another request ends the cycle
  bcm2835_delay(1000);
  auto after = requests_sent(0xE2).size();
  bcm2835_delay(1000);
  EXPECT_EQ(requests_sent(0xE2).size(), after);
}

}  // namespace
