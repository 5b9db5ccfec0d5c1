// Reading the shield's identity and giving it a new number, on the simulated
// stand with the exchange thread running: what the operator sees, what went
// out on the bus, and how long each block keeps the operator waiting.
#include "identity.h"

#include <bcm2835.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <cstdint>
#include <functional>

#include "console_capture.h"
#include "link_codes.h"
#include "link_probe.h"
#include "records.h"
#include "test_stand.h"

namespace {

const std::string kParameters = "Параметры шилда\n---------------\n";

// Runs a block with the operator's answers; returns what it printed, the
// requests on the bus, the time it took and what it left behind.
std::string run_block(void (*block)(), const std::string& answers = "") {
  feed_stdin(answers);
  auto start = stand_ms();
  StdoutCapture out;
  block();
  auto took = std::to_string(static_cast<int>(stand_ms() - start));
  bcm2835_delay(1);  // lets the other threads finish what they do at this tick
  return out.text() + "| sent " + requests_on_bus() + " | " + took + " ms | code " +
         std::to_string(menuSt.functionRead) + " number " + std::to_string(sim::shield_state().number) +
         (shield_idComplete() ? " id complete" : "");
}

struct Reading {
  const char* name;
  std::function<TestStand()> stand;
  std::string shown;
};

class ReadShield : public testing::TestWithParam<Reading> {};

// Identifier words left over from the shield tested before.
TEST_P(ReadShield, ShowsTheParametersAndFromFirmware325TheIdentifier) {
  GetParam().stand().start_program();
  for (auto& word : shieldSt.id) word = 0x5555;
  EXPECT_EQ(run_block(menu_block_ReadShieldOnly), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Shields, ReadShield,
    testing::Values(
        Reading{"firmware_324", [] { return TestStand().firmware(324).number(3); },
                kParameters + "Firmware : 324\nShield   : 3\n| sent 02 | 1000 ms | code 2 number 3"},
        Reading{"firmware_325", [] { return TestStand().firmware(325).number(27).id(0x1, 0xABC, 0x0); },
                kParameters + "Firmware : 325\nShield   : 27\nShield ID: 1abc0\n\n| sent 02 18 19 1A | 1900 ms | "
                              "code 26 number 27 id complete"},
        // The last word's reply is waited for one more cycle at most.
        Reading{"late_last_word",
                [] { return TestStand().id(0x11, 0x22, 0x77).link_fault(sim::LinkFault::late, 1, 0x1A); },
                kParameters + "Firmware : 325\nShield   : 26\nShield ID: 112277\n\n| sent 02 18 19 1A 1A | 2110 ms | "
                              "code 26 number 26 id complete"},
        // An unanswered word keeps what it held, but the identifier is not complete.
        Reading{"silent_word",
                [] { return TestStand().id(0x11, 0x22, 0x77).link_fault(sim::LinkFault::silent, 0, 0x18); },
                kParameters +
                    "Firmware : 325\nShield   : 26\nShield ID: 5555225555\n\n| sent 02 18 18 19 18 1A | 2250 ms | "
                    "code 25 number 26"},
        Reading{"silent_shield", [] { return TestStand().link_fault(sim::LinkFault::silent); },
                kParameters + "Firmware : 0\nShield   : 0\n| sent 02 02 02 02 | 1000 ms | code 0 number 26"}),
    [](const auto& p) { return std::string(p.param.name); });

struct Entry {
  const char* name;
  const char* typed;
  std::string shown;
  std::function<TestStand()> stand = [] { return TestStand().firmware(322).number(26); };
  int link_fails_at_ms = -1;  // the exchange thread marks the link failed then
};

class ChangeShield : public testing::TestWithParam<Entry> {};

TEST_P(ChangeShield, SendsOnlyAWholeNumberOfAnExistingShield) {
  GetParam().stand().start_program();
  pthread_t marker;
  if (GetParam().link_fails_at_ms >= 0)
    pthread_create(
        &marker, nullptr,
        [](void* at) -> void* {
          bcm2835_delay(static_cast<unsigned>(reinterpret_cast<intptr_t>(at)));
          menuSt.functionRead = _FUNCTIONREAD_LINKFAILED;
          return nullptr;
        },
        reinterpret_cast<void*>(intptr_t{GetParam().link_fails_at_ms}));
  std::string shown = run_block(menu_block_ChangeShield, GetParam().typed);
  EXPECT_EQ(shown.substr(shown.find("Shield   : ") + 14), GetParam().shown);
}

const std::string kAsked = "Новый номер shield:\n";
const std::string kNoShield = kAsked + "ERROR: Такого шилда не существует.\n| sent 02 | 1000 ms | code 2 number 26";
const std::string kNotNumber =
    kAsked + "ERROR: Номер шилда должен быть числом.\n| sent 02 | 1000 ms | code 2 number 26";
std::string changed(int number) {
  return kAsked + "Номер шилда изменен!\n| sent 02 14 | 3000 ms | code 0 number " + std::to_string(number);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, ChangeShield,
    testing::Values(
        Entry{"one", "1\n", changed(1)}, Entry{"ninety_nine", "99\n", changed(99)},
        Entry{"leading_zeros", "00000042\n", changed(42)}, Entry{"plus", "+7\n", changed(7)},
        Entry{"zero", "0\n", kNoShield}, Entry{"hundred", "100\n", kNoShield},
        Entry{"three_hundred", "300\n", kNoShield}, Entry{"negative", "-5\n", kNoShield},
        Entry{"huge", "99999999999999999999999\n", kNoShield}, Entry{"letters", "abc\n", kNotNumber},
        Entry{"digit_then_letter", "4x\n", kNotNumber}, Entry{"letter_after_seven_digits", "0000099x\n", kNotNumber},
        Entry{"sign_only", "-\n", kNotNumber}, Entry{"overlong", "00000000000000000000000000000042\n", kNotNumber},
        Entry{"outdated_firmware", "42\n",
              "ERROR: Прошивка не позволяет менять номер shield. Обновите firmware.\n| sent 02 | 1000 ms | code 2 "
              "number 26",
              [] { return TestStand().firmware(321).number(26); }},
        Entry{"unacknowledged", "42\n",
              kAsked + "ERROR: Проблема записи шилда.\n| sent 02 14 14 14 14 14 14 14 | 3000 ms | code 255 number 26",
              [] { return TestStand().firmware(322).link_fault(sim::LinkFault::silent, 0, _FUNC_SHIELDWRITE); }},
        // A link failure marked after the acknowledgement, during the wait or
        // at the very moment the block looks, is never wiped out by it.
        Entry{"link_fails_after_acknowledgement", "42\n",
              kAsked + "ERROR: Проблема записи шилда.\n| sent 02 14 | 3000 ms | code 255 number 42",
              [] { return TestStand().firmware(322); }, 2500},
        Entry{"link_fails_as_the_block_looks", "42\n",
              kAsked + "Номер шилда изменен!\n| sent 02 14 | 3000 ms | code 255 number 42",
              [] { return TestStand().firmware(322); }, 3000}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
