// Reading the shield's identity and changing its number, on the simulated
// stand with the exchange thread running.
#include "identity.h"

#include <bcm2835.h>
#include <gtest/gtest.h>

#include "console_capture.h"
#include "link_probe.h"
#include "menu.h"
#include "records.h"
#include "test_stand.h"

namespace {

std::string read_shield() {
  StdoutCapture out;
  menu_block_ReadShieldOnly();
  return out.text();
}

std::string change_shield(const std::string& answer) {
  feed_stdin(answer);
  StdoutCapture out;
  menu_block_ChangeShield();
  return out.text();
}

TEST(ReadShield, OlderThan325PrintsNoIdentifierAndAsksForNone) {
  TestStand().firmware(324).number(3).start_program();
  EXPECT_EQ(read_shield(), "Параметры шилда\n---------------\nFirmware : 324\nShield   : 3\n");
  EXPECT_TRUE(requests_sent(0x18).empty());
}

TEST(ReadShield, From325ReadsTheIdentifierWordsOneAfterAnother) {
  TestStand().firmware(325).number(27).id(0x1, 0xABC, 0x0).start_program();
  EXPECT_EQ(read_shield(), "Параметры шилда\n---------------\nFirmware : 325\nShield   : 27\nShield ID: 1abc0\n\n");
  auto w1 = requests_sent(0x18), w2 = requests_sent(0x19), w3 = requests_sent(0x1A);
  ASSERT_EQ(w1.size() + w2.size() + w3.size(), 3u);
  EXPECT_NEAR(static_cast<double>(w2[0].time - w1[0].time) / 1000.0, 300.0, 10.0);
  EXPECT_TRUE(shield_idComplete());
}

TEST(ReadShield, WaitsOneMoreCycleForALateLastIdentifierWord) {
  TestStand().id(0x11, 0x22, 0x77).link_fault(sim::LinkFault::late, 1, 0x1A).start_program();
  shieldSt.id[2] = 0x5555;  // left over from the shield tested before
  std::string out = read_shield();
  EXPECT_NE(out.find("Shield ID: 112277\n"), std::string::npos) << out;
}

TEST(ReadShield, AnUnansweredIdentifierWordIsNotTakenForThisShields) {
  TestStand().link_fault(sim::LinkFault::silent, 0, 0x18).start_program();
  shieldSt.id[0] = 0x5555;
  read_shield();
  EXPECT_FALSE(shield_idComplete());
  EXPECT_FALSE(shieldSt.idAnswered[0]);
}

TEST(ReadShield, ASilentShieldReadsAsZeros) {
  TestStand().link_fault(sim::LinkFault::silent).start_program();
  shieldSt.firmware = 325;
  shieldSt.shield = 9;
  EXPECT_EQ(read_shield(), "Параметры шилда\n---------------\nFirmware : 0\nShield   : 0\n");
}

TEST(ChangeShield, OutdatedFirmwareIsRefusedWithoutSendingAnything) {
  TestStand().firmware(321).start_program();
  std::string out = change_shield("");
  EXPECT_NE(out.find("ERROR: Прошивка не позволяет менять номер shield. Обновите firmware.\n"), std::string::npos);
  EXPECT_TRUE(requests_sent(0x14).empty());
}

struct Entry {
  const char* name;
  const char* typed;
  const char* message;
  int stored;  // the shield's number afterwards
};

class ChangeShieldEntry : public testing::TestWithParam<Entry> {};

TEST_P(ChangeShieldEntry, IsSentOnlyWhenItIsAShieldNumber) {
  TestStand().firmware(322).number(26).start_program();
  std::string out = change_shield(GetParam().typed);
  EXPECT_NE(out.find("Новый номер shield:\n"), std::string::npos);
  EXPECT_NE(out.find(GetParam().message), std::string::npos) << out;
  EXPECT_EQ(sim::shield_state().number, GetParam().stored);
  EXPECT_EQ(requests_sent(0x14).size(), GetParam().stored == 26 ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Entries, ChangeShieldEntry,
                         testing::Values(Entry{"accepted_1", "1\n", "Номер шилда изменен!\n", 1},
                                         Entry{"accepted_99", "99\n", "Номер шилда изменен!\n", 99},
                                         Entry{"zero", "0\n", "ERROR: Такого шилда не существует.\n", 26},
                                         Entry{"hundred", "100\n", "ERROR: Такого шилда не существует.\n", 26},
                                         Entry{"three_hundred", "300\n", "ERROR: Такого шилда не существует.\n", 26},
                                         Entry{"negative", "-5\n", "ERROR: Такого шилда не существует.\n", 26},
                                         Entry{"letters", "abc\n", "ERROR: Номер шилда должен быть числом.\n", 26},
                                         Entry{"digit_then_letter", "4x\n", "ERROR: Номер шилда должен быть числом.\n",
                                               26}),
                         [](const testing::TestParamInfo<Entry>& p) { return std::string(p.param.name); });

TEST(ChangeShield, AnAcknowledgedWriteClearsTheReplyCode) {
  TestStand().firmware(322).start_program();
  change_shield("42\n");
  EXPECT_EQ(menuSt.functionRead, 0);
}

TEST(ChangeShield, AnUnacknowledgedWriteIsReported) {
  TestStand().firmware(322).link_fault(sim::LinkFault::silent, 0, 0x14).start_program();
  EXPECT_NE(change_shield("42\n").find("ERROR: Проблема записи шилда.\n"), std::string::npos);
}

TEST(TestPass, ALinkMarkedFailedEndsTheRunAtTheStartOfThePass) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TestStand().start_program();
  menuSt.functionRead = 255;
  EXPECT_EXIT(menu(), testing::ExitedWithCode(0), "");
  EXPECT_TRUE(requests_sent(0x02).empty());
}

}  // namespace
