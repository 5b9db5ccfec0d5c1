// The stand's own lines: how start-up configures them, which the line reset
// leaves alone, and the shield's reset pulse.
#include <bcm2835.h>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "board/board.h"
#include "gpio.h"
#include "test_stand.h"
#include "board/trace.h"

namespace {

// In turn: every line in the order it was configured ("name:direction level");
// over output latches left HIGH by whatever ran on the Pi before, the nine
// lines the set-up drives LOW, the chip select and the shield's inputs left
// alone; the reset pulse from a start-mode line left HIGH (released LOW, the
// shield starts its firmware), in ms from its start. (The read-backs' fields
// and polarity are pinned by the checks of a test pass.)
TEST(StandLines, AreSetUpInOrderAndPulseTheShieldsReset) {
  SKIP_IF_CLOCK_RUNS_FREE();
  ASSERT_TRUE(TestStand().start());
  GPIO_init();
  std::string trail;
  bool seen[sim::kGpioLines] = {};
  std::vector<uint8_t> outputs;  // in the order configured
  for (auto& e : sim::trace_lines()) {
    bool output = sim::board_function(e.gpio) == BCM2835_GPIO_FSEL_OUTP;
    if (std::exchange(seen[e.gpio], true)) continue;
    if (output) outputs.push_back(e.gpio);
    trail +=
        sim::trace_line_name(e.gpio) + (output ? ":out " : ":in ") + std::to_string(sim::board_level(e.gpio)) + " ";
  }
  for (uint8_t gpio : outputs) bcm2835_gpio_write(gpio, HIGH);
  GPIO_init();
  trail += "\n";
  for (uint8_t gpio : outputs) trail += std::to_string(sim::board_level(gpio));
  bcm2835_gpio_write(PIN_STM_INT, HIGH);
  bcm2835_gpio_write(PIN_RST, HIGH);
  bcm2835_delay(1);
  auto start = sim::clock_now();
  GPIO_hardReset();
  trail += line_changes(start) + " returned +" + std::to_string((sim::clock_now() - start) / 1000);
  EXPECT_EQ(trail,
            "LN_BR:out 0 LN_OD:out 0 LN_IMIT:out 0 RST:out 0 REL0_OUT:out 0 REL1_OUT:out 0 REL2_OUT:out 0 "
            "REL3_OUT:out 0 CE0:out 0 STM_INT:out 0 EK_OUT:out 0 SEL0_OUT:out 0 SEL1_OUT:out 0 DOOR_OUT:out 0 "
            "REL0_IN:in 1 REL1_IN:in 1 REL2_IN:in 1 REL3_IN:in 1 BR_IN:in 1 \n"
            "00000000101111 +0 STM_INT 0 +0 RST 0 +600 RST 1 returned +800");
}

}  // namespace
