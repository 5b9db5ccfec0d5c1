#include <gtest/gtest.h>

#include <cstdlib>

#include "exit_output.h"
#include "link_codes.h"
#include "menu.h"
#include "records.h"

namespace {

// Misses in a row, a hit clearing the count: had the hit not cleared it, the
// first miss after it would be the fifth.
TEST(ReplyWait, KeepsWaitingBelowFiveMissesInARowAndAHitStartsTheCountAgain) {
  SPI_str.maxRepeat = 5;
  std::string answers;
  for (int code : {0, 0, 0, 0, int{_FUNC_DI}, int{_FUNC_SHIELDREAD}, 0, 0, 0, int{_FUNC_DI}}) {
    menuSt.functionRead = static_cast<uint8_t>(code);
    answers += std::to_string(menu_repeatBlock(_FUNC_DI));
  }
  EXPECT_EQ(answers, "1111011110");
}

TEST(ReplyWait, TheFifthMissInARowReportsTheBrokenLinkAndEndsTheProgram) {
  EXPECT_EXIT(
      {
        stdout_to_stderr();
        SPI_str.maxRepeat = 5;
        for (int miss = 1; miss <= 4; ++miss)
          if (menu_repeatBlock(_FUNC_DI) != 1) std::exit(99);
        menu_repeatBlock(_FUNC_DI);
        std::exit(98);
      },
      testing::ExitedWithCode(0), "^Ошибка! Проблема передачи по SPI\\.\n$");
}

}  // namespace
