#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "console_capture.h"
#include "link_codes.h"
#include "menu.h"
#include "records.h"

namespace {

// Misses in a row, a hit clearing the count (had it not, the first miss after
// it would be the fifth), then the fifth miss in a row: the answers come out
// one by one, then the message, and the program ends.
TEST(ReplyWait, KeepsWaitingBelowFiveMissesInARowAndTheFifthEndsTheProgram) {
  EXPECT_EXIT(
      {
        stdout_to_stderr();
        SPI_str.maxRepeat = 5;
        for (int code : {0, 0, 0, 0, int{_FUNC_DI}, int{_FUNC_SHIELDREAD}, 0, 0, 0, 0}) {
          menuSt.functionRead = static_cast<uint8_t>(code);
          std::printf("%d", menu_repeatBlock(_FUNC_DI));
        }
        std::exit(99);
      },
      testing::ExitedWithCode(0), "^111101111Ошибка! Проблема передачи по SPI\\.\n$");
}

}  // namespace
