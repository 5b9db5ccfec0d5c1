// The shield's reset pulse from the stand's own lines. (How start-up sets the
// lines up, over whatever the last program left, is pinned where the stand
// program runs next: the board's lines in the end-to-end tests.)
#include <bcm2835.h>
#include <gtest/gtest.h>

#include "gpio.h"
#include "test_stand.h"

namespace {

// From a start-mode line left HIGH: released LOW (the shield starts its
// firmware), held in reset 600 ms, given 200 ms more before it returns.
TEST(StandLines, PulseTheShieldsResetWithTheStartModeLineLow) {
  SKIP_IF_CLOCK_RUNS_FREE();
  ASSERT_TRUE(TestStand().start());
  GPIO_init();
  bcm2835_gpio_write(PIN_STM_INT, HIGH);
  bcm2835_gpio_write(PIN_RST, HIGH);
  bcm2835_delay(1);
  auto start = sim::clock_now();
  GPIO_hardReset();
  EXPECT_EQ(line_changes(start) + " returned +" + std::to_string((sim::clock_now() - start) / 1000),
            " +0 STM_INT 0 +0 RST 0 +600 RST 1 returned +800");
}

}  // namespace
