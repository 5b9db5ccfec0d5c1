// The exchange thread and the parser against the simulated shield, with link
// faults. These tests judge outcomes only, so they also run free-running
// under ThreadSanitizer, where the two threads really run side by side.
#include <bcm2835.h>
#include <gtest/gtest.h>

#include "Stand.h"
#include "link_probe.h"
#include "records.h"
#include "spi.h"
#include "test_stand.h"

namespace {

constexpr uint8_t kShieldRead = 0x02;
constexpr unsigned kCycleMs = 310;  // a cycle with a request, with room for the transfers

void start_link(TestStand stand) { stand.start_program(); }

TEST(LinkExchange, DecodesTheShieldParametersAndIdentifierFromItsReplies) {
  start_link(TestStand().firmware(322).number(27).id(0x01000002, 0xDEADBEEF, 0x0));
  SPI_command_ShieldRead();
  SPI_command_IdRead_1();
  SPI_command_IdRead_2();
  SPI_command_IdRead_3();
  ASSERT_TRUE(wait_for_reply_code(0x1A, 5 * kCycleMs));
  EXPECT_EQ(shieldSt.firmware, 322);
  EXPECT_EQ(shieldSt.shield, 27);
  EXPECT_EQ(shieldSt.id[0], 0x01000002u);
  EXPECT_EQ(shieldSt.id[1], 0xDEADBEEFu);
  EXPECT_EQ(shieldSt.id[2], 0u);
  EXPECT_TRUE(shieldSt.idAnswered[2]);
}

TEST(LinkExchange, DecodesInputsAndLineValueAsTheStandDrivesThem) {
  start_link(TestStand().edition(sim::Edition::kordent));
  bcm2835_gpio_write(24, HIGH);  // line relay on, IMIT source on
  bcm2835_gpio_write(22, HIGH);
  bcm2835_gpio_write(2, LOW);  // Ek asserted, S0 and S1 released, door asserted
  bcm2835_gpio_write(3, HIGH);
  bcm2835_gpio_write(4, HIGH);
  bcm2835_gpio_write(27, LOW);
  stand_ReadSignalShield_DI();
  ASSERT_TRUE(wait_for_reply_code(_FUNC_DI, 2 * kCycleMs));
  EXPECT_EQ(stend_signal.Ek, PIN_HIGH);
  EXPECT_EQ(stend_signal.S0, PIN_LOW);
  EXPECT_EQ(stend_signal.S1, PIN_LOW);
  EXPECT_EQ(stend_signal.EkS, PIN_HIGH);  // the start-mode line is held LOW after reset
  EXPECT_EQ(stend_signal.DoorDetector, PIN_HIGH);
  stand_ReadSignalShield_AI();
  ASSERT_TRUE(wait_for_reply_code(_FUNC_AI, 2 * kCycleMs));
  EXPECT_EQ(stend_signal.Line, 2100);
}

// A reply with another code and no reply at all are both rejections: the
// request keeps going out, and every fifth rejection in a row marks the link.
class RejectedReplies : public testing::TestWithParam<sim::LinkFault> {};

TEST_P(RejectedReplies, AreResentAndEveryFifthMarksTheLinkFailed) {
  start_link(TestStand().link_fault(GetParam()));
  SPI_command_ShieldRead();
  ASSERT_TRUE(wait_for_reply_code(_FUNCTIONREAD_LINKFAILED, 6 * kCycleMs));
  EXPECT_EQ(requests_sent(kShieldRead).size(), 5u);
  menuSt.functionRead = 0;
  ASSERT_TRUE(wait_for_reply_code(_FUNCTIONREAD_LINKFAILED, 6 * kCycleMs));
  EXPECT_EQ(requests_sent(kShieldRead).size(), 10u);
  EXPECT_EQ(shieldSt.firmware, 0);
  EXPECT_EQ(shieldSt.shield, 0);
}

INSTANTIATE_TEST_SUITE_P(Faults, RejectedReplies, testing::Values(sim::LinkFault::wrong_code, sim::LinkFault::silent),
                         [](const testing::TestParamInfo<sim::LinkFault>& p) {
                           return p.param == sim::LinkFault::silent ? std::string("no_reply")
                                                                    : std::string("wrong_code");
                         });

TEST(LinkExchange, AReplyAnsweredOnlyAfterTwoTriesIsTakenAndClearsTheFailureCount) {
  start_link(TestStand().number(9).link_fault(sim::LinkFault::late, 2));
  SPI_command_ShieldRead();
  ASSERT_TRUE(wait_for_reply_code(kShieldRead, 4 * kCycleMs));
  EXPECT_EQ(requests_sent(kShieldRead).size(), 3u);
  EXPECT_EQ(shieldSt.shield, 9);
  // Four more misses after the accepted reply do not reach the limit of five.
  SPI_command_ShieldRead();  // answered after two tries again
  SPI_command_IdRead_1();    // answered after two tries
  ASSERT_TRUE(wait_for_reply_code(0x18, 8 * kCycleMs));
  bcm2835_delay(2 * kCycleMs);
  EXPECT_NE(menuSt.functionRead, _FUNCTIONREAD_LINKFAILED);
}

TEST(LinkExchange, EveryFifthBadChecksumOfTheRunMarksTheLinkInsteadOfAskingAgain) {
  start_link(TestStand().link_fault(sim::LinkFault::garbled));
  SPI_command_ShieldRead();
  ASSERT_TRUE(wait_for_reply_code(_FUNCTIONREAD_LINKFAILED, 6 * kCycleMs));
  bcm2835_delay(3 * kCycleMs);
  EXPECT_EQ(requests_sent(kShieldRead).size(), 5u) << "four resends, none after the fifth bad checksum";
  EXPECT_EQ(shieldSt.firmware, 0);
}

TEST(LinkExchange, AReplyFromAnotherAddressIsIgnoredWithoutResendOrFailure) {
  start_link(TestStand().link_fault(sim::LinkFault::wrong_address));
  SPI_command_ShieldRead();
  bcm2835_delay(4 * kCycleMs);
  EXPECT_EQ(requests_sent(kShieldRead).size(), 1u);
  EXPECT_EQ(menuSt.functionRead, 0);
  EXPECT_EQ(shieldSt.firmware, 0);
}

TEST(LinkExchange, ARepeatRequestsReplyIsQueuedWhateverItHolds) {
  // A silent shield: the please-repeat reply is all zero; it still reaches the
  // parser, whose bad-checksum count asks for it again until the fifth.
  start_link(TestStand().link_fault(sim::LinkFault::silent));
  SPI_command_PleaseRepeat();
  ASSERT_TRUE(wait_for_reply_code(_FUNCTIONREAD_LINKFAILED, 6 * kCycleMs));
  EXPECT_EQ(requests_sent(0xFF).size(), 5u);
}

TEST(LinkExchange, ALinkThatDiesMidwayLeavesTheRecordsAndMarksTheFailure) {
  start_link(TestStand().number(12).link_fault(sim::LinkFault::dies, 1));
  SPI_command_ShieldRead();
  ASSERT_TRUE(wait_for_reply_code(kShieldRead, 2 * kCycleMs));
  stand_ReadSignalShield_AI();
  ASSERT_TRUE(wait_for_reply_code(_FUNCTIONREAD_LINKFAILED, 6 * kCycleMs));
  EXPECT_EQ(shieldSt.shield, 12);
  EXPECT_EQ(stend_signal.Line, 0);
}

TEST(LinkExchange, ANumberWrittenToTheShieldIsAcknowledgedAndKept) {
  start_link(TestStand().number(5));
  SPI_command_ShieldWrite(42);
  ASSERT_TRUE(wait_for_reply_code(0x14, 2 * kCycleMs));
  EXPECT_EQ(sim::shield_state().number, 42);
}

}  // namespace
