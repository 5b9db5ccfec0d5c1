// The shield's reset pulse from the stand's own lines. (How start-up sets the
// lines up, over whatever the last program left, is pinned where the stand
// program runs next: the board's lines in the end-to-end tests.)
#include <bcm2835.h>
#include <gtest/gtest.h>

#include <array>

#include "CRC16.h"
#include "bcm2835_ext.h"
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

// A running shield held in reset answers nothing, and forgets its last reply.
TEST(StandLines, AShieldHeldInResetAnswersNothing) {
  ASSERT_TRUE(TestStand().start());
  GPIO_init();
  ASSERT_TRUE(bcm2835_spi_begin());
  bcm2835_spi_setClockDivider(BCM2835_SPI_CLOCK_DIVIDER_889);
  auto number = [] {
    std::array<uint8_t, 8> frame = {0xA1, 0x02, 0xEF, 0, 0, 0, 0, 0}, reply{};
    ModRTU_CRC_Wrap(frame.data(), 8);
    bcm2835_spi_transfer_write(frame.data(), 8);
    bcm2835_delay(200);
    bcm2835_spi_transfer_read(reply.data(), 8);
    return reply[5];
  };
  bcm2835_gpio_write(PIN_RST, HIGH);
  bcm2835_delay(200);
  EXPECT_EQ(number(), 26);
  bcm2835_gpio_write(PIN_RST, LOW);
  EXPECT_EQ(number(), 0);
  bcm2835_gpio_write(PIN_RST, HIGH);
  bcm2835_delay(200);
  std::array<uint8_t, 8> left{};
  bcm2835_spi_transfer_read(left.data(), 8);
  EXPECT_EQ(left, (std::array<uint8_t, 8>{})) << "a reply from before the reset is gone";
}

}  // namespace
