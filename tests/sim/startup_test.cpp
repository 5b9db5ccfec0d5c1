// The stand program's start-up on the simulated stand: the levels and
// functions it leaves on the lines, the SPI0 set-up, the timing of the
// shield's reset pulse, and the relay read-backs it wires up.
#include <bcm2835.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <vector>

#include "board.h"
#include "spi0.h"
#include "test_stand.h"
#include "trace.h"

namespace {

constexpr uint8_t kRst = 14, kStmInt = 15, kCe0 = 8, kRel1In = 7;

// The first time `gpio` shows `level` at or after `from`, from the trace.
std::optional<sim::StandTime> first_edge(uint8_t gpio, uint8_t level, sim::StandTime from = 0) {
  for (auto& e : sim::trace_lines())
    if (e.gpio == gpio && e.level == level && e.time >= from) return e.time;
  return std::nullopt;
}

class Startup : public ::testing::Test {
 protected:
  void SetUp() override { TestStand().start_program(); }
};

TEST_F(Startup, LeavesTheShieldOutOfResetAndTheSwitchedOutputsLow) {
  EXPECT_EQ(sim::board_level(kRst), HIGH);
  EXPECT_EQ(sim::board_level(kStmInt), LOW);
  for (uint8_t gpio : std::initializer_list<uint8_t>{24, 23, 22, 6, 25, 16, 26}) {
    EXPECT_EQ(sim::board_function(gpio), BCM2835_GPIO_FSEL_OUTP) << "GPIO " << int{gpio};
    EXPECT_EQ(sim::board_level(gpio), LOW) << "GPIO " << int{gpio};
  }
}

TEST_F(Startup, HandsTheSpiPinsToSpi0ButTakesGpio7BackAsAnInput) {
  EXPECT_EQ(sim::board_function(kRel1In), BCM2835_GPIO_FSEL_INPT);
  for (uint8_t gpio : std::initializer_list<uint8_t>{8, 9, 10, 11})
    EXPECT_EQ(sim::board_function(gpio), BCM2835_GPIO_FSEL_ALT0) << int{gpio};
  EXPECT_EQ(sim::spi0_clock_divider(), 889u);
  EXPECT_EQ(sim::spi0_control() & BCM2835_SPI0_CS_CSPOL0, 0u) << "CE0 must be active low";
  EXPECT_EQ(sim::spi0_control() & (BCM2835_SPI0_CS_CPOL | BCM2835_SPI0_CS_CPHA), 0u) << "mode 0";
  EXPECT_EQ(sim::board_level(kCe0), HIGH) << "CE0 idles inactive";
}

TEST_F(Startup, HoldsResetFor600msAndSetsUpSpi200msAfterTheRelease) {
  auto released = first_edge(kRst, HIGH);
  ASSERT_TRUE(released);
  // The pulse starts at the last LOW of the reset line before its release.
  std::optional<sim::StandTime> pressed;
  for (auto& e : sim::trace_lines())
    if (e.gpio == kRst && e.level == LOW && e.time <= *released) pressed = e.time;
  ASSERT_TRUE(pressed) << "the reset line's LOW is not in the trace";
  EXPECT_EQ(*released - *pressed, 600'000u);
  auto spi_claimed = first_edge(kCe0, HIGH);
  ASSERT_TRUE(spi_claimed);
  EXPECT_EQ(*spi_claimed, *released + 200'000);
  EXPECT_EQ(sim::clock_now(), *pressed + 800'000 + 200'000) << "start-up ends after the SPI settle time";
}

TEST_F(Startup, RelayReadBacksFollowTheirOutputsInverted) {
  struct ReadBack {
    const char* name;
    uint8_t output, input;
  };
  const ReadBack read_backs[] = {
      {"REL0", 6, 5}, {"REL1", 25, 7}, {"REL2", 16, 21}, {"REL3", 26, 13}, {"line relay", 24, 17},
  };
  for (auto& r : read_backs) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(bcm2835_gpio_lev(r.input), HIGH) << "idle";
    bcm2835_gpio_write(r.output, HIGH);
    EXPECT_EQ(bcm2835_gpio_lev(r.input), LOW);
    for (auto& other : read_backs) {
      if (&other == &r) continue;
      EXPECT_EQ(bcm2835_gpio_lev(other.input), HIGH) << other.name << " follows " << r.name;
    }
    bcm2835_gpio_write(r.output, LOW);
    EXPECT_EQ(bcm2835_gpio_lev(r.input), HIGH);
  }
}

}  // namespace
