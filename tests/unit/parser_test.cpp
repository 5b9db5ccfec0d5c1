#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "Buffer.h"
#include "CRC16.h"
#include "link_codes.h"
#include "link_probe.h"
#include "queued_frames.h"
#include "records.h"
#include "spi.h"

namespace {

using Head = std::array<uint8_t, 6>;  // a reply's bytes 0 to 5; the checksum is added
constexpr uint8_t A = _SPI_ADDRESS;

// Hands a reply to the parser as the exchange thread does, through the incoming
// queue, and returns the function codes of the requests it queued in turn.
std::string parse(const Head& head, bool good_checksum = true) {
  std::copy(head.begin(), head.end(), bufferSPI_MISO.write);
  ModRTU_CRC_Wrap(bufferSPI_MISO.write, _FRAME_BYTES);
  if (!good_checksum) bufferSPI_MISO.write[7] ^= 0x01;
  bufferSPI_MISO.write[_FRAME_SENDTYPE] = 0;
  buffer_write(&bufferSPI_MISO);
  SPI_parser();
  std::string queued;
  for (auto& f : take_all(bufferSPI_MOSI)) queued += std::to_string(f[1]) + (f[_FRAME_SENDTYPE] == 1 ? "" : "?");
  return queued;
}

class ReplyParser : public testing::Test {
 protected:
  void SetUp() override {
    SPI_str.maxRepeat = 5;
    SPI_command_ShieldRead();  // the request that went out last: what a resend repeats
    take_all(bufferSPI_MOSI);
  }
};

TEST_F(ReplyParser, AcceptedRepliesFillTheRecordsTheyCarry) {
  struct Case {
    Head reply;
    const char* records;
  };
  // Each reply lands on the records the one before left; the last bits set in
  // the inputs are the unused ones, so a shifted or swapped bit shows.
  const Case cases[] = {
      {{A, _FUNC_SHIELDREAD, 0x77, 0x01, 0x42, 0x1B},
       "code 2 | fw 322 no 27 | id 0 0 0 answered 000 | in 00000 line 0"},
      {{A, _FUNC_SHIELDWRITE, 0x2A, 0, 0, 0}, "code 20 | fw 322 no 27 | id 0 0 0 answered 000 | in 00000 line 0"},
      {{A, _FUNC_IDREAD_1, 0x01, 0x00, 0x00, 0x02},
       "code 24 | fw 322 no 27 | id 1000002 0 0 answered 100 | in 00000 line 0"},
      {{A, _FUNC_IDREAD_2, 0x12, 0x34, 0x56, 0x78},
       "code 25 | fw 322 no 27 | id 1000002 12345678 0 answered 110 | in 00000 line 0"},
      {{A, _FUNC_IDREAD_3, 0xFE, 0xDC, 0xBA, 0x98},
       "code 26 | fw 322 no 27 | id 1000002 12345678 fedcba98 answered 111 | in 00000 line 0"},
      {{A, _FUNC_DI, 0, 0, 0x01, 0x05},
       "code 226 | fw 322 no 27 | id 1000002 12345678 fedcba98 answered 111 | in 10101 line 0"},
      {{A, _FUNC_DI, 0xFF, 0xFF, 0xFE, 0xFA},
       "code 226 | fw 322 no 27 | id 1000002 12345678 fedcba98 answered 111 | in 01010 line 0"},
      {{A, _FUNC_AI, 0, 0, 0x0A, 0x28},
       "code 228 | fw 322 no 27 | id 1000002 12345678 fedcba98 answered 111 | in 01010 line 2600"},
      {{A, _FUNC_AI, 0xFF, 0xFF, 0xFF, 0xFE},
       "code 228 | fw 322 no 27 | id 1000002 12345678 fedcba98 answered 111 | in 01010 line 65534"},
      {{A, _FUNC_SHIELDREAD, 0, 0xFF, 0xFE, 0xFD},
       "code 2 | fw 65534 no 253 | id 1000002 12345678 fedcba98 answered 111 | in 01010 line 65534"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(parse(c.reply), "") << "an accepted reply asks for nothing";
    EXPECT_EQ(link_records(), c.records);
  }
}

// Neither a reply for another address nor an unknown code changes anything;
// a please-repeat queues the last request again, send type and all.
TEST_F(ReplyParser, IgnoresStrangeRepliesAndRepeatsOnRequest) {
  menuSt.functionRead = 24;
  const std::string untouched = link_records();
  const Head ignored[] = {
      {0x00, _FUNC_SHIELDREAD, 0, 0x01, 0x42, 0x1B},
      {0xA0, _FUNC_AI, 0, 0, 0x0A, 0x28},
      {0x00, _FUNC_PLEASEREPEAT, 0, 0, 0, 0},
      {A, 0x03, 0, 0x01, 0x42, 0x1B},
      {A, 0xE3, 0, 0, 0x0A, 0x28},
      {A, 0x1B, 1, 2, 3, 4},
      {A, 0x17, 1, 2, 3, 4},
      {A, 0xE1, 0, 0, 0x01, 0x0F},
  };
  for (const Head& reply : ignored) {
    EXPECT_EQ(parse(reply), "") << int{reply[0]} << " " << int{reply[1]};
    EXPECT_EQ(link_records(), untouched) << int{reply[0]} << " " << int{reply[1]};
  }
  EXPECT_EQ(parse({A, _FUNC_PLEASEREPEAT, 0, 0, 0, 0}), "2");
  EXPECT_EQ(link_records(), untouched);
}

// Bad checksums are counted over the whole run: every fifth marks the link
// failed instead of asking again; good and ignored frames do not reset the count.
TEST_F(ReplyParser, EveryFifthBadChecksumOfTheRunMarksTheLinkFailedAndTheOthersAskAgain) {
  const Head shield = {A, _FUNC_SHIELDREAD, 0x00, 0x01, 0x42, 0x1B};
  std::string trail;
  auto step = [&](const Head& reply, bool good) {
    trail += parse(reply, good);
    trail += "/" + std::to_string(menuSt.functionRead) + " ";
  };
  step(shield, false);
  step({0x00, _FUNC_SHIELDREAD, 0, 0, 0, 0}, true);
  for (int i = 0; i < 4; ++i) step(shield, false);
  step(shield, true);
  step(shield, false);
  step(shield, false);
  step({A, _FUNC_DI, 0, 0, 0, 0}, true);
  for (int i = 0; i < 3; ++i) step(shield, false);
  EXPECT_EQ(trail, "2/0 /0 2/0 2/0 2/0 /255 /2 2/2 2/2 /226 2/226 2/226 /255 ");
}

}  // namespace
