// Image files sent to the simulated bootloader: the words on the bus, the
// lines printed, and how a refused frame or a read error ends the transfer.
#include <gtest/gtest.h>

#include <sstream>

#include "SPI.h"
#include "console_capture.h"
#include "firmware.h"
#include "shield_hooks.h"
#include "test_stand.h"
#include "trace.h"
#include "update.h"

namespace {

// The image words of the requests sent since `since`: "01020304 05FFFFFF".
std::string words_since(sim::StandTime since) {
  std::vector<uint8_t> sent;
  for (auto& w : sim::trace_windows())
    if (w.time >= since) sent.push_back(w.mosi[0]);
  std::string out;
  char word[16];
  for (size_t i = 0; i + 16 <= sent.size(); i += 16)
    if (sent[i + 1] == 0x05)
      std::snprintf(word, sizeof word, " %02X%02X%02X%02X", sent[i + 2], sent[i + 3], sent[i + 4], sent[i + 5]),
          out += word;
  return out.substr(out.empty() ? 0 : 1);
}

// The transfer's own lines, without the exchanges' dumps.
std::string lines_of(const std::string& text) {
  std::istringstream in(text);
  std::string out;
  for (std::string line; std::getline(in, line);)
    if (line.ends_with("файла")) out += line + "|";
  return out;
}

// A file of S bytes goes out in S / 4 + 1 frames, the last filled up with
// 0xFF; a frame that needed a second attempt ends the transfer, and so does a
// read error (a directory opens, but cannot be read), before its frame goes.
TEST(FlasherTransfer, SendsTheFileInWordsUntilItsEndOrAFrameThatWasNotAcceptedAtOnce) {
  ASSERT_TRUE(TestStand().start());
  ASSERT_TRUE(init());
  ResetController(HIGH);
  int refuse_word = 0, words = 0;
  sim::RequestHookScope hook([&](std::span<const uint8_t> request, std::optional<sim::Bytes>& reply) {
    if (request[1] == 0x05 && ++words == refuse_word) (*reply)[7] ^= 1;
  });
  const std::string read = "Считывание файла|";
  const struct {
    const char* content;  // nullptr: a directory
    size_t size;
    int refused;
    uint8_t result;
    std::string words, lines;
  } cases[] = {
      {"\x01\x02\x03\x04\x05", 5, 0, 1, "01020304 05FFFFFF", read + read + "Конец файла|"},
      {"\x01\x02\x03\x04\x05\x06\x07\x08", 8, 0, 1, "01020304 05060708 FFFFFFFF", times(3, read) + "Конец файла|"},
      {"", 0, 0, 1, "FFFFFFFF", read + "Конец файла|"},
      {"\x01\x02\x03\x04\x05\x06\x07\x08", 8, 2, 0, "01020304 05060708 05060708",
       read + read + "Ошибка передачи файла|"},
      {nullptr, 0, 0, 0, "", read + "Ошибка чтения файла|"},
  };
  for (auto& c : cases) {
    StdoutCapture out;
    uint8_t ready = SPI_send(SPIc_Erase, 0xA1, 10000, 5, 1) & SPI_send(SPIc_ProgStart, 0xA1, 100, 5, 1);
    firmware_st image{c.content ? std::tmpfile() : std::fopen("/", "rb"), 0};
    if (c.content) std::fwrite(c.content, 1, c.size, image.name), std::rewind(image.name);
    words = 0;
    refuse_word = c.refused;
    auto since = sim::clock_now();
    uint8_t result = firmware_send(&image, 0xA1);
    EXPECT_EQ(lines_of(out.text()), c.lines) << c.words;
    EXPECT_EQ(ready, 0x01);
    EXPECT_EQ(result, c.result) << c.words;
    EXPECT_EQ(words_since(since), c.words);
    if (&c == &cases[0]) {
      since = sim::clock_now();
      StdoutCapture again;
      result = firmware_send(&image, 0xA1);
      EXPECT_EQ(lines_of(again.text()), "Конец файла|") << "a file at its end: nothing more to send";
      EXPECT_EQ(result, 1);
      EXPECT_EQ(words_since(since), "");
    }
    std::fclose(image.name);
  }
}

}  // namespace
