// The simulated shield: when its firmware answers, and its lasting state file.
#include "shield.h"

#include <bcm2835.h>
#include <gtest/gtest.h>

#include "CRC16.h"
#include "bcm2835_ext.h"
#include "gpio.h"
#include "test_stand.h"

namespace {

// One request exchanged as the link does it: write, then two reads 100 ms apart.
std::array<uint8_t, 8> exchange(std::array<uint8_t, 8> request) {
  bcm2835_spi_transfer_write(request.data(), 8);
  std::array<uint8_t, 8> reply{};
  bcm2835_delay(100);
  bcm2835_spi_transfer_read(reply.data(), 8);
  bcm2835_delay(100);
  bcm2835_spi_transfer_read(reply.data(), 8);
  return reply;
}

constexpr std::array<uint8_t, 8> kShieldRead = {0xA1, 0x02, 0xEF, 0, 0, 0, 0x7E, 0x54};

void start_bus(TestStand stand) {
  ASSERT_TRUE(stand.start());
  GPIO_init();
  ASSERT_EQ(bcm2835_spi_begin(), 1);
}

void release_reset(uint8_t start_mode) {
  bcm2835_gpio_write(PIN_RST, LOW);
  bcm2835_gpio_write(PIN_STM_INT, start_mode);
  bcm2835_delay(10);
  bcm2835_gpio_write(PIN_RST, HIGH);
  bcm2835_delay(10);
}

TEST(ShieldFirmware, AnswersOnlyAfterAResetReleasedWithTheStartModeLineLow) {
  start_bus(TestStand().firmware(0x0142).number(27));
  EXPECT_EQ(exchange(kShieldRead)[1], 0x00) << "held in reset: silent";
  release_reset(HIGH);
  EXPECT_EQ(exchange(kShieldRead)[1], 0x00) << "started with the line high: not the firmware";
  release_reset(LOW);
  auto reply = exchange(kShieldRead);
  std::array<uint8_t, 8> expected = {0xA1, 0x02, 0x00, 0x01, 0x42, 0x1B};
  ModRTU_CRC_Wrap(expected.data(), 8);
  EXPECT_EQ(reply, expected);
  bcm2835_gpio_write(PIN_RST, LOW);
  EXPECT_EQ(exchange(kShieldRead)[1], 0x00) << "reset again: silent";
}

TEST(ShieldFirmware, IgnoresARequestWithABadChecksum) {
  start_bus(TestStand());
  release_reset(LOW);
  auto request = kShieldRead;
  request[7] ^= 1;
  EXPECT_EQ(exchange(request)[0], 0x00);
}

TEST(ShieldState, ReadsBackWhatItWrites) {
  sim::ShieldState s;
  s.number = 42;
  s.edition = sim::Edition::kordent;
  s.firmware = 321;
  s.id[0] = 0xFFFFFFFF;
  s.link_fault = sim::LinkFault::late;
  s.link_fault_count = 3;
  s.link_fault_code = 0x18;
  std::string error;
  auto back = sim::shield_state_parse(sim::shield_state_text(s), error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(sim::shield_state_text(*back), sim::shield_state_text(s));
}

TEST(ShieldState, NamesTheLineItCannotUse) {
  const char* broken[] = {"number=300", "number=abc",      "edition=special", "id=1,2",
                          "id=1,2,3,4", "link_fault=loud", "colour=red",      "firmware"};
  for (auto* line : broken) {
    std::string error;
    EXPECT_FALSE(sim::shield_state_parse(std::string("# shield\n") + line + "\n", error)) << line;
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  }
}

}  // namespace
