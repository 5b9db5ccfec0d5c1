// The exchange thread and the parser against the simulated shield, with link
// faults. These tests judge outcomes only, so they also run free-running
// under ThreadSanitizer, where the two threads really run side by side.
#include <bcm2835.h>
#include <gtest/gtest.h>

#include <functional>

#include "Stand.h"
#include "gpio.h"
#include "link_codes.h"
#include "link_probe.h"
#include "records.h"
#include "spi.h"
#include "test_stand.h"

namespace {

constexpr unsigned kCycleMs = 310;  // a cycle with a request, with room for the transfers

struct Exchange {
  const char* name;
  std::function<TestStand()> stand;
  std::function<void()> requests;
  int until;          // the reply code that ends the exchange
  const char* codes;  // the reply codes seen meanwhile
  const char* sent;
  const char* records;
};

class LinkExchange : public testing::TestWithParam<Exchange> {};

TEST_P(LinkExchange, EndsWithTheRecordsTheRepliesCarry) {
  GetParam().stand().start_program();
  GetParam().requests();
  EXPECT_EQ(watch_reply_codes(12 * kCycleMs, GetParam().until), GetParam().codes);
  EXPECT_EQ(requests_on_bus(), GetParam().sent);
  EXPECT_EQ(link_records(), GetParam().records);
}

void read_everything() {
  SPI_command_ShieldRead();
  SPI_command_IdRead_1();
  SPI_command_IdRead_2();
  SPI_command_IdRead_3();
}

// The stand asserts Ek and the door, releases S0 and S1, and puts the IMIT
// source on the line; the start-mode line, held LOW since reset, asserts EkS.
void inputs_and_line() {
  for (auto [pin, level] : {std::pair<uint8_t, uint8_t>{PIN_LN_BR, HIGH},
                            {PIN_LN_IMIT, HIGH},
                            {PIN_EK_OUT, LOW},
                            {PIN_SEL0_OUT, HIGH},
                            {PIN_SEL1_OUT, HIGH},
                            {PIN_DOORDETECTOR_OUT, LOW}})
    bcm2835_gpio_write(pin, level);
  stand_ReadSignalShield_DI();
  stand_ReadSignalShield_AI();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, LinkExchange,
    testing::Values(Exchange{"parameters_and_identifier",
                             [] { return TestStand().firmware(322).number(27).id(0x01000002, 0xDEADBEEF, 0x0); },
                             read_everything, _FUNC_IDREAD_3, "0 2 24 25 26", "02 18 19 1A",
                             "code 26 | fw 322 no 27 | id 1000002 deadbeef 0 answered 111 | in 00000 line 0"},
                    Exchange{"inputs_and_line", [] { return TestStand().edition(sim::Edition::kordent); },
                             inputs_and_line, _FUNC_AI, "0 226 228", "E2 E4",
                             "code 228 | fw 0 no 0 | id 0 0 0 answered 000 | in 10011 line 2100"},
                    // Another code and no reply at all are both rejections: the request
                    // goes out again, and the fifth rejection in a row marks the link.
                    Exchange{"wrong_code", [] { return TestStand().link_fault(sim::LinkFault::wrong_code); },
                             SPI_command_ShieldRead, _FUNCTIONREAD_LINKFAILED, "0 255", "02 02 02 02 02",
                             "code 255 | fw 0 no 0 | id 0 0 0 answered 000 | in 00000 line 0"},
                    // The count of rejections starts again with every accepted reply.
                    Exchange{"late", [] { return TestStand().number(9).link_fault(sim::LinkFault::late, 4); },
                             [] {
                               SPI_command_ShieldRead();
                               wait_for_reply_code(_FUNC_SHIELDREAD, 6 * kCycleMs);
                               SPI_command_IdRead_1();
                             },
                             _FUNC_IDREAD_1, "2 24", "02 02 02 02 02 18 18 18 18 18",
                             "code 24 | fw 325 no 9 | id 32001f 0 0 answered 100 | in 00000 line 0"},
                    // Bad checksums ask again, but the fifth marks the link and asks no more.
                    Exchange{"garbled", [] { return TestStand().link_fault(sim::LinkFault::garbled); },
                             SPI_command_ShieldRead, _FUNCTIONREAD_LINKFAILED, "0 255", "02 02 02 02 02",
                             "code 255 | fw 0 no 0 | id 0 0 0 answered 000 | in 00000 line 0"},
                    Exchange{"wrong_address", [] { return TestStand().link_fault(sim::LinkFault::wrong_address); },
                             SPI_command_ShieldRead, _FUNC_SHIELDREAD, "0", "02",
                             "code 0 | fw 0 no 0 | id 0 0 0 answered 000 | in 00000 line 0"},
                    Exchange{"dies", [] { return TestStand().number(12).link_fault(sim::LinkFault::dies, 1); },
                             [] {
                               SPI_command_ShieldRead();
                               stand_ReadSignalShield_AI();
                             },
                             _FUNCTIONREAD_LINKFAILED, "0 2 255", "02 E4 E4 E4 E4 E4",
                             "code 255 | fw 325 no 12 | id 0 0 0 answered 000 | in 00000 line 0"}),
    [](const auto& p) { return std::string(p.param.name); });

// The limit marks the link but does not stop the resending: five more
// rejections mark it again.
TEST(LinkExchange, UnansweredRequestsKeepGoingOutAndEveryFifthMissMarksTheLink) {
  TestStand().link_fault(sim::LinkFault::silent).start_program();
  SPI_command_ShieldRead();
  ASSERT_TRUE(wait_for_reply_code(_FUNCTIONREAD_LINKFAILED, 6 * kCycleMs));
  menuSt.functionRead = 0;
  ASSERT_TRUE(wait_for_reply_code(_FUNCTIONREAD_LINKFAILED, 6 * kCycleMs));
  EXPECT_EQ(requests_on_bus(), "02 02 02 02 02 02 02 02 02 02");
}

}  // namespace
