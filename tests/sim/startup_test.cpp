// The stand program's start-up on the simulated stand, read from the trace: the
// order and levels of its lines, the 600 ms reset pulse, SPI0 taken 200 ms
// later; and the relay read-backs it leaves wired up.
#include <bcm2835.h>
#include <gtest/gtest.h>

#include "board.h"
#include "program_run.h"
#include "spi0.h"
#include "test_stand.h"
#include "trace.h"
#include "wiring.h"

namespace {

using namespace sim::line;

// Outputs first, then the inputs; everything LOW but the read-backs of idle
// relays; the reset released after 600 ms; SPI0 claimed when the pulse ends
// and GPIO 7 handed back as an input without a glitch.
const char kStartupLog[] = R"(       0.000 ms  LN_BR        0
       0.000 ms  LN_OD        0
       0.000 ms  LN_IMIT      0
       0.000 ms  RST          0
       0.000 ms  REL0_OUT     0
       0.000 ms  REL1_OUT     0
       0.000 ms  REL2_OUT     0
       0.000 ms  REL3_OUT     0
       0.000 ms  CE0          0
       0.000 ms  STM_INT      0
       0.000 ms  EK_OUT       0
       0.000 ms  SEL0_OUT     0
       0.000 ms  SEL1_OUT     0
       0.000 ms  DOOR_OUT     0
       0.000 ms  REL0_IN      1
       0.000 ms  REL1_IN      1
       0.000 ms  REL2_IN      1
       0.000 ms  REL3_IN      1
       0.000 ms  BR_IN        1
     600.000 ms  RST          1
     800.000 ms  CE0          1
     800.000 ms  MISO         0
     800.000 ms  MOSI         0
     800.000 ms  SCLK         0
)";

TEST(Startup, ConfiguresTheLinesPulsesResetAndTakesSpi0InThatOrder) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(sim::trace_open(dir.path(), "start", error)) << error;
  TestStand().start_program();
  EXPECT_EQ(read_file(dir.file("start.log")), kStartupLog);
  EXPECT_EQ(sim::clock_now(), 1'000'000u) << "start-up ends after the SPI settle time";

  EXPECT_EQ(sim::board_function(rel1_in), BCM2835_GPIO_FSEL_INPT);
  for (uint8_t gpio : {ce0, miso, mosi, sclk}) EXPECT_EQ(sim::board_function(gpio), BCM2835_GPIO_FSEL_ALT0);
  EXPECT_EQ(sim::spi0_clock_divider(), 889u);
  EXPECT_EQ(sim::spi0_control() & (BCM2835_SPI0_CS_CSPOL0 | BCM2835_SPI0_CS_CPOL | BCM2835_SPI0_CS_CPHA), 0u)
      << "CE0 active low, mode 0";
}

TEST(Startup, EachReadBackFollowsItsOwnOutputInverted) {
  TestStand().start_program();
  const std::pair<uint8_t, uint8_t> pairs[] = {
      {rel0_out, rel0_in}, {rel1_out, rel1_in}, {rel2_out, rel2_in}, {rel3_out, rel3_in}, {ln_br, br_in}};
  for (auto [output, input] : pairs) {
    bcm2835_gpio_write(output, HIGH);
    for (auto [other_output, other_input] : pairs)
      EXPECT_EQ(bcm2835_gpio_lev(other_input), other_input == input ? LOW : HIGH)
          << sim::trace_line_name(output) << " on, " << sim::trace_line_name(other_input) << " read";
    bcm2835_gpio_write(output, LOW);
  }
}

}  // namespace
