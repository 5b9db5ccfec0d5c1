// The flasher's exchanges and image transfers with the simulated bootloader:
// what goes over the bus and into the dump, how failed attempts are retried
// and counted, and how a refused frame or a read error ends a transfer.
#include <bcm2835.h>
#include <gtest/gtest.h>

#include <sstream>
#include <tuple>

#include "CRC16.h"
#include "SPI.h"
#include "console_capture.h"
#include "firmware.h"
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

// The bytes sent since `since`, one chip-select window each: "A1 01 ... "; "!" for a longer window.
std::string bus_since(sim::StandTime since) {
  std::string out;
  char hex[8];
  for (auto& w : sim::trace_windows())
    if (w.time >= since) std::snprintf(hex, sizeof hex, w.mosi.size() == 1 ? "%02X " : "! ", w.mosi[0]), out += hex;
  return out;
}

// Each request byte and each reply byte is its own one-byte transfer; every
// attempt dumps both frames. The bootloader does not answer the trojan's
// address, nor an erase (1.6 s for the application area) asked for too early:
// ten attempts, ten error lines, ten more failed attempts counted.
TEST(FlasherExchange, SendsEachByteAloneAndDumpsEveryAttempt) {
  start_bootloader();
  const std::string idle = "0 0 0 0 0 0 0 0 \nERROR: Ошибка CRC или ответа посылки\n",
                    zeros = "00 00 00 00 00 00 00 00 ";
  // Command, address, wait before the reply; then the result, the dump and the bytes on the bus.
  const std::tuple<SPI_Command_enum, uint8_t, uint32_t, uint8_t, std::string, std::string> cases[] = {
      {SPIc_STMdetect, 0xA1, 5, 1, "a1 1 0 0 0 0 aa 24 \na1 1 1 0 0 0 56 25 \n", "A1 01 00 00 00 00 AA 24 " + zeros},
      {SPIc_ReadVersion_Boot, 0xA1, 100, 1, "a1 64 0 0 0 0 a2 68 \na1 64 0 0 0 5 a1 a8 \n",
       "A1 64 00 00 00 00 A2 68 " + zeros},
      {SPIc_Erase, 0xA1, 1600, 1, "a1 4 0 0 0 0 aa e8 \na1 4 1 0 0 0 56 e9 \n", "A1 04 00 00 00 00 AA E8 " + zeros},
      {SPIc_STMdetect, 0xA2, 5, 2, times(10, "a2 1 0 0 0 0 99 24 \n" + idle),
       times(10, "A2 01 00 00 00 00 99 24 " + zeros)},
      {SPIc_Erase, 0xA1, 1599, 2, times(10, "a1 4 0 0 0 0 aa e8 \n" + idle),
       times(10, "A1 04 00 00 00 00 AA E8 " + zeros)},
  };
  for (auto& [command, address, wait_read, expected, dump, bus] : cases) {
    auto since = sim::clock_now();
    auto errors = SPI_error;
    StdoutCapture out;
    uint8_t result = SPI_send(command, address, wait_read, 5, command == SPIc_Erase);
    EXPECT_EQ(out.text(), "\nПосылка:\n" + dump);
    EXPECT_EQ(result, expected);
    EXPECT_EQ(bus_since(since), bus);
    EXPECT_EQ(SPI_error - errors, expected == 2 ? 10u : 0u);
  }
}

// Replies garbled at the first attempts, or refusing (byte 2 not 1): the
// result bits and the failed attempts counted, per case.
TEST(FlasherExchange, RetriesAFailedAttemptUpToTenTimesAndSaysWhetherAnyFailed) {
  start_bootloader();
  int garble = 0;
  bool refuse = false;
  sim::RequestHookScope hook([&](std::span<const uint8_t>, std::optional<sim::Bytes>& reply) {
    if (refuse) (*reply)[2] = 0, ModRTU_CRC_Wrap(reply->data(), 8);
    if (garble > 0) --garble, (*reply)[6] ^= 1;
  });
  // Attempts garbled, replies refusing, ControlRead; then the result bits and the failed attempts.
  const std::tuple<int, bool, uint8_t, uint8_t, uint32_t> cases[] = {
      {0, false, 1, 1, 0},   {1, false, 1, 3, 1}, {2, false, 0, 3, 2}, {9, false, 0, 3, 9},
      {10, false, 0, 2, 10}, {0, true, 0, 1, 0},  {0, true, 1, 2, 10}, {0, false, 2, 2, 10}};
  for (auto& [garbled, refused, control, expected, failed] : cases) {
    garble = garbled;
    refuse = refused;
    auto errors = SPI_error;
    StdoutCapture quiet;
    uint8_t result = SPI_send(SPIc_STMdetect, 0xA1, 5, 5, control);
    quiet.text();
    EXPECT_EQ(result, expected) << garbled << refused << +control;
    EXPECT_EQ(SPI_error - errors, failed) << garbled << refused << +control;
  }
}

// A file of S bytes goes out in S / 4 + 1 frames, the last filled up with
// 0xFF; a frame that needed a second attempt ends the transfer, and so does a
// read error (a directory opens, but cannot be read), before its frame goes.
TEST(FlasherTransfer, SendsTheFileInWordsUntilItsEndOrAFrameThatWasNotAcceptedAtOnce) {
  start_bootloader();
  int refuse_word = 0, words = 0;
  sim::RequestHookScope hook([&](std::span<const uint8_t> request, std::optional<sim::Bytes>& reply) {
    if (request[1] == 0x05 && ++words == refuse_word) (*reply)[7] ^= 1;
  });
  const std::string eight = "\x01\x02\x03\x04\x05\x06\x07\x08", read = "Считывание файла\n";
  // The file ("/": a directory), the frame refused once; then the result, the words sent and the lines printed.
  const std::tuple<std::string, int, uint8_t, std::string, std::string> cases[] = {
      {eight.substr(0, 5), 0, 1, "01020304 05FFFFFF ", read + read + "Конец файла\n"},
      {eight, 0, 1, "01020304 05060708 FFFFFFFF ", times(3, read) + "Конец файла\n"},
      {"", 0, 1, "FFFFFFFF ", read + "Конец файла\n"},
      {eight, 2, 0, "01020304 05060708 05060708 ", read + read + "Ошибка передачи файла\n"},
      {"/", 0, 0, "", read + "Ошибка чтения файла\n"},
  };
  for (auto& [content, refused, expected, words_sent, printed_lines] : cases) {
    StdoutCapture out;
    uint8_t ready = SPI_send(SPIc_Erase, 0xA1, 10000, 5, 1) & SPI_send(SPIc_ProgStart, 0xA1, 100, 5, 1);
    firmware_st image{content == "/" ? std::fopen("/", "rb") : std::tmpfile(), 0};
    if (content != "/") std::fputs(content.c_str(), image.name), std::rewind(image.name);
    words = 0;
    refuse_word = refused;
    auto since = sim::clock_now();
    uint8_t result = firmware_send(&image, 0xA1);
    std::istringstream printed(out.text());
    std::string lines, bus = bus_since(since), sent;
    for (std::string line; std::getline(printed, line);)
      if (line.ends_with("файла")) lines += line + "\n";
    EXPECT_EQ(lines, printed_lines);
    EXPECT_EQ(ready & result, expected) << words_sent;
    for (size_t at = 0; at + 48 <= bus.size(); at += 48)  // an attempt: 16 bytes "XX "
      if (bus.compare(at, 6, "A1 05 ") == 0)
        for (size_t b = 6; b < 18; b += 3) sent += bus.substr(at + b, 2) + (b == 15 ? " " : "");
    EXPECT_EQ(sent, words_sent);
    std::fclose(image.name);
  }
}

}  // namespace
