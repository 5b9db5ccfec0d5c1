// Reading the shield's identity and giving it a new number, on the simulated
// stand with the exchange thread running: what the operator sees, what went
// out on the bus, and how long each block keeps the operator waiting.
#include "identity.h"

#include <bcm2835.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include "console_capture.h"
#include "link_codes.h"
#include "link_probe.h"
#include "records.h"
#include "test_stand.h"

namespace {

// Runs a block with the operator's answer; returns what it printed, the
// requests it sent, the time it took and what it left behind.
std::string run_block(void (*block)(), const std::string& answer) {
  feed_stdin(answer + "\n");
  auto start = sim::clock_now();
  std::string shown = printed(block);
  auto took = std::to_string((sim::clock_now() - start) / 1000);
  bcm2835_delay(1);  // lets the other threads finish what they do at this tick
  return shown + "| sent " + requests_on_bus(start) + " | " + took + " ms | code " +
         std::to_string(menuSt.functionRead) + " number " + std::to_string(sim::shield_state().number) +
         (shield_idComplete() ? " id complete" : "");
}

// The scenario ("key=value ..."), the block run, what it showed and left.
struct Run {
  const char* scenario;
  void (*block)();
  std::string shown;
};
void PrintTo(const Run& run, std::ostream* os) { *os << run.scenario; }

class IdentityBlock : public testing::TestWithParam<Run> {};

// The records hold what the shield tested before left in them.
TEST_P(IdentityBlock, ShowsWhatThisShieldAnsweredAndSendsOnlyWhatItMay) {
  SKIP_IF_CLOCK_RUNS_FREE();
  TestStand(GetParam().scenario).start_program();
  shieldSt.firmware = 999, shieldSt.shield = 98;
  for (int i = 0; i < 3; ++i) shieldSt.id[i] = 0x5555, shieldSt.idAnswered[i] = true;
  EXPECT_EQ(run_block(GetParam().block, "42"), GetParam().shown);
}

const std::string kRefused = "ERROR: Прошивка не позволяет менять номер shield. Обновите firmware.\n| sent 02";

// The last word's reply is waited for one more cycle at most; a word not
// answered keeps what it held, but the identifier is not complete.
INSTANTIATE_TEST_SUITE_P(
    Shields, IdentityBlock,
    testing::Values(
        Run{"number=27 id=1,abc,0", menu_block_ReadShieldOnly,
            shield_parameters(325, 27, "1abc0") + "| sent 02 18 19 1A | 1900 ms | code 26 number 27 id complete"},
        Run{"id=11,22,77 link.fault=late link.count=1 link.code=0x1A", menu_block_ReadShieldOnly,
            shield_parameters(325, 26, "112277") + "| sent 02 18 19 1A 1A | 2110 ms | code 26 number 26 id complete"},
        Run{"id=11,22,77 link.fault=silent link.code=0x19", menu_block_ReadShieldOnly,
            shield_parameters(325, 26, "11555577") + "| sent 02 18 19 19 1A | 2110 ms | code 26 number 26"},
        Run{"id=11,22,77 link.fault=silent link.code=0x18", menu_block_ReadShieldOnly,
            shield_parameters(325, 26, "5555225555") + "| sent 02 18 18 19 18 1A | 2250 ms | code 25 number 26"},
        Run{"link.fault=silent", menu_block_ChangeShield,
            shield_parameters(0, 0) + kRefused + " 02 02 02 | 1000 ms | code 0 number 26"},
        Run{"firmware=321", menu_block_ChangeShield,
            shield_parameters(321, 26) + kRefused + " | 1000 ms | code 2 number 26"},
        Run{"firmware=322 link.fault=silent link.code=0x14", menu_block_ChangeShield,
            shield_parameters(322, 26) + "Новый номер shield:\nERROR: Проблема записи шилда.\n| sent 02 14 14 14 14 14 "
                                         "14 14 | 3000 ms | code 255 number 26"}));

// A refused entry costs only the read of the shield, a number taken its write
// too (which entries are taken is played in the catalogue, menu-number-change).
TEST(ChangeShield, SendsTheNumberOnlyForAnEntryItTakes) {
  SKIP_IF_CLOCK_RUNS_FREE();
  TestStand("firmware=322").start_program();
  auto shown = [](const std::string& typed) {
    std::string out = run_block(menu_block_ChangeShield, typed);
    return out.substr(out.find(":\n") + 2);
  };
  EXPECT_EQ(shown("300"), "ERROR: Такого шилда не существует.\n| sent 02 | 1000 ms | code 2 number 26");
  EXPECT_EQ(shown("4x"), "ERROR: Номер шилда должен быть числом.\n| sent 02 | 1000 ms | code 2 number 26");
  EXPECT_EQ(shown("+7"), "Номер шилда изменен!\n| sent 02 14 | 3000 ms | code 0 number 7");
  // A link failure marked after the acknowledgement came is kept for the next pass to see.
  pthread_t marker;
  pthread_create(
      &marker, nullptr,
      [](void*) -> void* { return bcm2835_delay(2500), menuSt.functionRead = _FUNCTIONREAD_LINKFAILED, nullptr; },
      nullptr);
  EXPECT_EQ(shown("43"), "ERROR: Проблема записи шилда.\n| sent 02 14 | 3000 ms | code 255 number 43");
  pthread_join(marker, nullptr);
}

}  // namespace
