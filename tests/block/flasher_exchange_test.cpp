// The flasher's exchanges with the simulated bootloader: what goes over the bus
// and into the dump, how failed attempts are retried and counted. (Image
// transfers, whole or ended by a refused frame, are played in the catalogue.)
#include <bcm2835.h>
#include <gtest/gtest.h>

#include <tuple>

#include "CRC16.h"
#include "SPI.h"
#include "console_capture.h"
#include "shield/shield_hooks.h"
#include "test_stand.h"
#include "board/trace.h"
#include "update.h"

namespace {

// A stand set up as the flasher does it, the shield started into its bootloader.
void start_bootloader() {
  ASSERT_TRUE(TestStand().start());
  ASSERT_TRUE(init());
  ResetController(HIGH);
}

std::string hex(uint8_t byte) {
  char two[3];
  std::snprintf(two, sizeof two, "%02X", byte);
  return two;
}

// `text` `n` times over: an attempt made again and again.
std::string times(int n, const std::string& text) {
  std::string out;
  while (n-- > 0) out += text;
  return out;
}

// Each request byte and each reply byte is its own one-byte transfer (on the
// bus: one chip-select window each, "!" for a longer one); every attempt dumps
// both frames. The bootloader does not answer the trojan's address, nor an
// erase (1.6 s for the application area) asked for too early.
TEST(FlasherExchange, SendsEachByteAloneDumpsEveryAttemptAndRetriesAFailedOneUpToTenTimes) {
  SKIP_IF_CLOCK_RUNS_FREE();
  start_bootloader();
  const std::string idle = "0 0 0 0 0 0 0 0 \nERROR: Ошибка CRC или ответа посылки\n";
  // Command, address, wait before the reply; then the result and the dump.
  const std::tuple<SPI_Command_enum, uint8_t, uint32_t, uint8_t, std::string> cases[] = {
      {SPIc_STMdetect, 0xA1, 5, 1, "a1 1 0 0 0 0 aa 24 \na1 1 1 0 0 0 56 25 \n"},
      {SPIc_ReadVersion_Boot, 0xA1, 100, 1, "a1 64 0 0 0 0 a2 68 \na1 64 0 0 0 5 a1 a8 \n"},
      {SPIc_Erase, 0xA1, 1600, 1, "a1 4 0 0 0 0 aa e8 \na1 4 1 0 0 0 56 e9 \n"},
      {SPIc_ProgStart, 0xA1, 100, 1, "a1 2 0 0 0 0 aa 60 \na1 2 1 0 0 0 56 61 \n"},
      {SPIc_Firmware, 0xA1, 1, 1, "a1 5 0 0 0 0 6a d5 \na1 5 1 0 0 0 96 d4 \n"},  // into what the erase left
      {SPIc_Erase, 0xA1, 1600, 1, "a1 4 0 0 0 0 aa e8 \na1 4 1 0 0 0 56 e9 \n"},  // ends the programming:
      {SPIc_Firmware, 0xA1, 1, 1, "a1 5 0 0 0 0 6a d5 \na1 5 0 0 0 0 6a d5 \n"},  // the word refused
      {SPIc_STMdetect, 0xA2, 5, 2, times(10, "a2 1 0 0 0 0 99 24 \n" + idle)},
      {SPIc_Erase, 0xA1, 1599, 2, times(10, "a1 4 0 0 0 0 aa e8 \n" + idle)},
  };
  for (auto& [command, address, wait_read, expected, dump] : cases) {
    auto since = sim::clock_now();
    int result = 0;
    std::string got = printed([&] { result = SPI_send(command, address, wait_read, 5, command == SPIc_Erase); });
    got = std::to_string(result) + got;
    std::string request;  // on the bus: the request, then its reply clocked out with zeros
    for (uint8_t b : Array_tx) request += hex(b) + " ";
    for (auto& w : sim::trace_windows())
      if (w.time >= since) got += w.mosi.size() == 1 ? hex(w.mosi[0]) + " " : "! ";
    EXPECT_EQ(got, std::to_string(expected) + "\nПосылка:\n" + dump +
                       times(expected == 1 ? 1 : 10, request + "00 00 00 00 00 00 00 00 "));
  }
  // Replies garbled at the first attempts, or refusing (byte 2 not 1), for
  // ControlRead 0, 1 and 2: the result bits and the failed attempts counted.
  int garble = 0, refuse = 0;
  sim::RequestHookScope hook([&](std::span<const uint8_t>, std::optional<sim::Bytes>& reply) {
    if (refuse) (*reply)[2] = 0, ModRTU_CRC_Wrap(reply->data(), 8);
    if (garble > 0) --garble, (*reply)[6] ^= 1;
  });
  const std::tuple<int, bool, uint8_t> attempts[] = {{0, false, 1},  {1, false, 1}, {2, false, 0}, {9, false, 0},
                                                     {10, false, 0}, {0, true, 0},  {0, true, 1},  {0, false, 2}};
  std::string results;
  for (auto [garbled, refused, control] : attempts) {
    garble = garbled, refuse = refused;
    auto errors = SPI_error;
    printed([&] { results += std::to_string(SPI_send(SPIc_STMdetect, 0xA1, 5, 5, control)) + "/"; });
    results += std::to_string(SPI_error - errors) + " ";
  }
  EXPECT_EQ(results, "1/0 3/1 3/2 3/9 2/10 1/0 2/10 2/10 ");
}

// While a request comes in the bootloader shifts out zeros. A window of two
// bytes is not this protocol: the request begun before it is dropped, and the
// next one is answered at its first attempt. A reset ends the programming.
TEST(FlasherExchange, AWindowOfTwoBytesDropsTheRequestBegunBeforeItAndAResetEndsTheProgramming) {
  SKIP_IF_CLOCK_RUNS_FREE();
  start_bootloader();
  for (uint8_t b : {uint8_t{0xA1}, uint8_t{0x01}, uint8_t{0}, uint8_t{0}}) EXPECT_EQ(bcm2835_spi_transfer(b), 0);
  char two[2] = {}, back[2];
  bcm2835_spi_transfernb(two, back, 2);
  auto errors = SPI_error;
  printed([] {
    EXPECT_EQ(SPI_send(SPIc_Erase, 0xA1, 1600, 5, 1), 1);
    EXPECT_EQ(SPI_send(SPIc_ProgStart, 0xA1, 100, 5, 1), 1);
  });
  EXPECT_EQ(SPI_error, errors);
  ResetController(HIGH);
  printed([] { SPI_send(SPIc_Firmware, 0xA1, 1, 5, 0); });
  EXPECT_EQ(Array_rx[2], 0) << "a word after a reset is refused";
}

}  // namespace
