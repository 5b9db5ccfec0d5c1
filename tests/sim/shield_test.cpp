// The simulated shield's firmware: when it answers, what each command of its
// table answers, and the fault hooks a test installs on it.
#include <bcm2835.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "CRC16.h"
#include "bcm2835_ext.h"
#include "gpio.h"
#include "shield/shield_firmware.h"
#include "shield/shield_hooks.h"
#include "test_stand.h"
#include "board/trace.h"
#include "board/wiring.h"

namespace {

using sim::Frame;
using namespace sim::line;
namespace command = sim::command;

// A frame sealed with the stand program's own checksum.
Frame frame(uint8_t code, uint8_t b2 = 0, uint8_t b3 = 0, uint8_t b4 = 0, uint8_t b5 = 0) {
  Frame f = {sim::kShieldAddress, code, b2, b3, b4, b5};
  ModRTU_CRC_Wrap(f.data(), 8);
  return f;
}

Frame read_after(unsigned ms) {
  Frame reply{};
  bcm2835_delay(ms), bcm2835_spi_transfer_read(reply.data(), 8);
  return reply;
}

// One request exchanged as the link does it: write, then two reads 100 ms apart.
Frame exchange(Frame request) {
  bcm2835_spi_transfer_write(request.data(), 8);
  read_after(100);
  return read_after(100);
}

// The stand's lines set up and the shield started as the stand program does it.
void start_shield(TestStand stand) {
  ASSERT_TRUE(stand.start());
  GPIO_init();
  GPIO_hardReset();
  ASSERT_EQ(bcm2835_spi_begin(), 1);
  bcm2835_spi_setClockDivider(BCM2835_SPI_CLOCK_DIVIDER_889);
}

// The reply is ready 120 ms after a well-formed request, and only from the
// firmware: not in reset, not after a start with the start-mode line high.
TEST(ShieldFirmware, AnswersEachCommandOfItsTableOnlyToAWellFormedRequestOfARunningFirmware) {
  start_shield(TestStand("edition=kordent number=27 firmware=322 id=11,2233,44556677"));
  const auto read = frame(command::read_parameters, 0xEF), answer = frame(command::read_parameters, 0, 1, 0x42, 27);
  bcm2835_spi_transfer_write(read.data(), 8);
  EXPECT_EQ(read_after(119), Frame{});
  EXPECT_EQ(read_after(1), answer);
  for (uint8_t gpio : {ek_out, sel0_out, sel1_out, door_out, ln_br, ln_od})
    bcm2835_gpio_write(gpio, gpio == sel1_out || gpio == ln_br || gpio == ln_od);
  auto bad_checksum = frame(command::read_id0);
  bad_checksum[7] ^= 1;
  const std::pair<Frame, Frame> cases[] = {
      {bad_checksum, answer},  // ignored: the last reply stays
      {frame(command::write_number, 42, 1, 2, 3), frame(command::write_number, 42, 1, 2, 3)},
      {read, frame(command::read_parameters, 0, 0x01, 0x42, 42)},
      {frame(command::read_id0), frame(command::read_id0, 0, 0, 0, 0x11)},
      {frame(command::read_id1), frame(command::read_id1, 0, 0, 0x22, 0x33)},
      {frame(command::read_id2), frame(command::read_id2, 0x44, 0x55, 0x66, 0x77)},
      {frame(command::repeat), frame(command::read_id2, 0x44, 0x55, 0x66, 0x77)},
      {frame(command::read_inputs), frame(command::read_inputs, 0, 0, 0x01, 0x0B)},  // all but S1, door
      {frame(command::read_line), frame(command::read_line, 0, 0, 0x09, 0x2E)},      // OD on a kordent: 2350
      {frame(0x33, 1, 2, 3, 4), frame(0x33)},
  };
  for (auto& [request, reply] : cases) EXPECT_EQ(exchange(request), reply) << "code " << int{request[1]};
  EXPECT_EQ(sim::shield_state().number, 42);
  bcm2835_gpio_write(ln_imit, HIGH);
  EXPECT_EQ(exchange(frame(command::read_line)), frame(command::read_line, 0, 0, 0x08, 0x34)) << "IMIT over OD: 2100";
  for (int step : {0, 1, 2}) {  // held in reset, started with the start-mode line high, then low
    bcm2835_gpio_write(rst, LOW);
    bcm2835_gpio_write(stm_int, step == 1);
    bcm2835_gpio_write(rst, step > 0);
    EXPECT_EQ(exchange(read), step == 2 ? cases[2].second : Frame{}) << "step " << step;
  }
}

// What the shield reports and what the Pi reads back (the last its own S1 output), in one line.
std::string observed() {
  auto inputs = exchange(frame(command::read_inputs));
  auto line = exchange(frame(command::read_line));
  char buf[64];
  std::snprintf(buf, sizeof buf, "DI %02X %02X  line %u  read-backs ", inputs[4], inputs[5], line[4] << 8 | line[5]);
  std::string out = buf;
  for (uint8_t gpio : {rel0_in, rel1_in, rel2_in, rel3_in, br_in, sel1_out})
    out += std::to_string(bcm2835_gpio_lev(gpio));
  return out;
}

// A request hook sees the reply after the declarative fault; a level hook
// changes what the shield sees or the Pi reads back, and the trace shows it.
TEST(ShieldHooks, ChangeOnlyWhatTheyTargetUntilRemoved) {
  start_shield(TestStand("id=11,22,33 link.fault=wrong-code link.code=0x1A"));
  for (uint8_t gpio : {ek_out, sel0_out, sel1_out, door_out, stm_int, ln_br}) bcm2835_gpio_write(gpio, HIGH);
  auto changed = frame(command::read_id1, 0, 0, 0, 0x22);
  changed[5] = 0x99;  // the checksum left as it was
  std::string seen;   // per request: its code and the code of the reply the hook was handed
  sim::StandTime installed = 0;
  {
    sim::RequestHookScope hook([&](std::span<const uint8_t> request, std::optional<sim::Bytes>& reply) {
      seen += std::to_string(request[1]) + ":" + (reply ? std::to_string((*reply)[1]) : "none") + " ";
      if (request[1] == command::read_id0) reply.reset();
      if (request[1] == command::read_id1) (*reply)[5] = 0x99;
    });
    sim::LevelHookScope levels([](uint8_t gpio, uint8_t healthy) -> uint8_t {
      if (gpio == sel1_out || gpio == rel2_in) return LOW;  // S1 seen asserted, relay 2 read back as on
      return gpio == ln_imit ? HIGH : healthy;              // the IMIT source seen switched on
    });
    installed = sim::clock_now();
    EXPECT_EQ(exchange(frame(command::read_id0)), Frame{});
    EXPECT_EQ(exchange(frame(command::read_id1)), changed);
    EXPECT_EQ(exchange(frame(command::read_id2)), frame(0x1B, 0, 0, 0, 0x33)) << "the fault, not the hook";
    EXPECT_EQ(observed(), "DI 00 04  line 1850  read-backs 110101") << "S1 as the Pi sees its own output";
  }
  auto removed = sim::clock_now();
  EXPECT_EQ(seen, "24:24 25:25 26:27 226:226 228:228 ");
  EXPECT_EQ(exchange(frame(command::read_id0)), frame(command::read_id0, 0, 0, 0, 0x11)) << "the hook removed";
  EXPECT_EQ(observed(), "DI 00 00  line 2600  read-backs 111101");
  EXPECT_EQ(line_changes(installed, " REL2_IN "),
            " +0 REL2_IN 0 +" + std::to_string((removed - installed) / 1000) + " REL2_IN 1")
      << "the trace shows the hook's doing";
}

}  // namespace
