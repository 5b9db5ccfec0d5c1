#include <gtest/gtest.h>

#include <cstdlib>

#include "exit_output.h"
#include "menu.h"
#include "records.h"

namespace {

constexpr uint8_t kAwaited = 226;

class ReplyWait : public testing::Test {
 protected:
  void SetUp() override {
    SPI_str.maxRepeat = 5;
    // A hit clears the miss count, whatever an earlier case left in it.
    menuSt.functionRead = kAwaited;
    menu_repeatBlock(kAwaited);
    menuSt.functionRead = 0;
  }
};

TEST_F(ReplyWait, SaysTheReplyHasComeWhenTheReplyCodeMatches) {
  menuSt.functionRead = kAwaited;
  EXPECT_EQ(menu_repeatBlock(kAwaited), 0);
}

// Four misses, a hit, four misses again: had the hit not cleared the count,
// the first miss after it would be the fifth and end the program.
TEST_F(ReplyWait, KeepsWaitingBelowTheLimitAndAHitStartsTheCountAgain) {
  for (int miss = 1; miss <= 4; ++miss) EXPECT_EQ(menu_repeatBlock(kAwaited), 1) << "miss " << miss;
  menuSt.functionRead = kAwaited;
  EXPECT_EQ(menu_repeatBlock(kAwaited), 0);
  menuSt.functionRead = 2;  // a reply, but not the awaited one
  for (int miss = 1; miss <= 4; ++miss) EXPECT_EQ(menu_repeatBlock(kAwaited), 1) << "miss " << miss;
}

TEST_F(ReplyWait, TheFifthMissInARowReportsTheBrokenLinkAndEndsTheProgram) {
  EXPECT_EXIT(
      {
        stdout_to_stderr();
        for (int miss = 1; miss <= 4; ++miss)
          if (menu_repeatBlock(kAwaited) != 1) std::exit(99);
        menu_repeatBlock(kAwaited);
        std::exit(98);
      },
      testing::ExitedWithCode(0), "^Ошибка! Проблема передачи по SPI\\.\n$");
}

}  // namespace
