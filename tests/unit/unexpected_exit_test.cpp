#include <gtest/gtest.h>

#include <cstdlib>

#include "exit_guard.h"

namespace {

TEST(UnexpectedExitGuard, LeavesTheExitOfADeathTestChildAlone) {
  EXPECT_EXIT(std::exit(0), testing::ExitedWithCode(0), "");
}

TEST(UnexpectedExitGuard, TurnsAnExitInTheMiddleOfATestIntoAFailure) {
  EXPECT_EXIT(
      {
        exit_guard_arm();  // as if this child were the test program itself
        std::exit(0);
      },
      testing::ExitedWithCode(1), "ended before its test cases finished");
}

}  // namespace
