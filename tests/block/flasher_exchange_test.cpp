// The flasher's exchanges with the simulated bootloader: what goes over the
// bus and into the dump, how failed attempts are retried and counted, and
// that an erase is answered only once it is done.
#include <bcm2835.h>
#include <gtest/gtest.h>

#include "CRC16.h"
#include "SPI.h"
#include "console_capture.h"
#include "shield_hooks.h"
#include "test_stand.h"
#include "trace.h"
#include "update.h"

namespace {

// A stand set up as the flasher does it, the shield started into its bootloader.
void start_bootloader() {
  ASSERT_TRUE(TestStand().start());
  ASSERT_TRUE(init());
  ResetController(HIGH);
}

// The bytes sent since `since`, one chip-select window each: "A1 01 ..."; "!" for a longer window.
std::string bus_since(sim::StandTime since) {
  std::string out;
  char hex[8];
  for (auto& w : sim::trace_windows()) {
    if (w.time < since) continue;
    std::snprintf(hex, sizeof hex, w.mosi.size() == 1 ? " %02X" : " !", w.mosi[0]);
    out += hex;
  }
  return out.substr(out.empty() ? 0 : 1);
}

// Each request byte and each reply byte is its own one-byte transfer; every
// attempt dumps both frames. The bootloader does not answer the trojan's
// address: ten attempts, ten error lines, ten more failed attempts counted.
TEST(FlasherExchange, SendsEachByteAloneAndDumpsEveryAttempt) {
  start_bootloader();
  const std::string failed = "a2 1 0 0 0 0 99 24 \n0 0 0 0 0 0 0 0 \nERROR: Ошибка CRC или ответа посылки\n";
  const struct {
    SPI_Command_enum command;
    uint8_t address;
    uint32_t wait_read;
    uint8_t result;
    std::string dump, bus;
  } cases[] = {
      {SPIc_STMdetect, 0xA1, 5, 0x01, "a1 1 0 0 0 0 aa 24 \na1 1 1 0 0 0 56 25 \n",
       "A1 01 00 00 00 00 AA 24 00 00 00 00 00 00 00 00"},
      {SPIc_ReadVersion_Boot, 0xA1, 100, 0x01, "a1 64 0 0 0 0 a2 68 \na1 64 0 0 0 5 a1 a8 \n",
       "A1 64 00 00 00 00 A2 68 00 00 00 00 00 00 00 00"},
      {SPIc_Erase, 0xA1, 10000, 0x01, "a1 4 0 0 0 0 aa e8 \na1 4 1 0 0 0 56 e9 \n",
       "A1 04 00 00 00 00 AA E8 00 00 00 00 00 00 00 00"},
      {SPIc_STMdetect, 0xA2, 5, 0x02, times(10, failed),
       times(9, "A2 01 00 00 00 00 99 24 00 00 00 00 00 00 00 00 ") +
           "A2 01 00 00 00 00 99 24 00 00 00 00 00 00 00 00"},
  };
  for (auto& c : cases) {
    auto since = sim::clock_now();
    auto errors = SPI_error;
    StdoutCapture out;
    uint8_t result = SPI_send(c.command, c.address, c.wait_read, 5, c.command == SPIc_Erase);
    EXPECT_EQ(out.text(), "\nПосылка:\n" + c.dump);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(bus_since(since), c.bus);
    EXPECT_EQ(SPI_error - errors, c.result == 0x02 ? 10u : 0u);
  }
}

// Replies garbled at the first attempts, or refusing (byte 2 not 1): the
// result bits, the failed attempts counted and reported, per case.
TEST(FlasherExchange, RetriesAFailedAttemptUpToTenTimesAndSaysWhetherAnyFailed) {
  start_bootloader();
  int garble = 0;
  bool refuse = false;
  sim::RequestHookScope hook([&](std::span<const uint8_t>, std::optional<sim::Bytes>& reply) {
    if (refuse) (*reply)[2] = 0, ModRTU_CRC_Wrap(reply->data(), 8);
    if (garble > 0) --garble, (*reply)[6] ^= 1;
  });
  const struct {
    int garbled;
    bool refused;
    uint8_t control, result;
    uint32_t failed;
  } cases[] = {
      {0, false, 1, 0x01, 0},   {1, false, 1, 0x03, 1}, {2, false, 0, 0x03, 2}, {9, false, 0, 0x03, 9},
      {10, false, 0, 0x02, 10}, {0, true, 0, 0x01, 0},  {0, true, 1, 0x02, 10}, {0, false, 2, 0x02, 10},
  };
  for (auto& c : cases) {
    garble = c.garbled;
    refuse = c.refused;
    auto errors = SPI_error;
    StdoutCapture out;
    uint8_t result = SPI_send(SPIc_STMdetect, 0xA1, 5, 5, c.control);
    std::string text = out.text();
    EXPECT_EQ(result, c.result) << c.garbled << c.refused << +c.control;
    size_t lines = 0;
    for (auto at = text.find("ERROR: Ошибка CRC"); at != std::string::npos; at = text.find("ERROR: Ошибка CRC", at + 1))
      ++lines;
    EXPECT_EQ(SPI_error - errors, c.failed);
    EXPECT_EQ(lines, c.failed);
  }
}

// Erasing the 64 KiB application area takes 1.6 s: read earlier, the reply is
// not there yet, and every new attempt starts the erase again.
TEST(FlasherExchange, TheBootloaderAnswersAnEraseOnlyOnceTheAreaIsErased) {
  start_bootloader();
  StdoutCapture quiet;
  uint8_t early = SPI_send(SPIc_Erase, 0xA1, 1599, 5, 1), in_time = SPI_send(SPIc_Erase, 0xA1, 1600, 5, 1);
  quiet.text();
  EXPECT_EQ(early, 0x02);
  EXPECT_EQ(in_time, 0x01);
}

}  // namespace
