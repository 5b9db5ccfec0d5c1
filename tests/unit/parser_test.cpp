#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

#include "Buffer.h"
#include "CRC16.h"
#include "queued_frames.h"
#include "records.h"
#include "spi.h"

namespace {

using Head = std::array<uint8_t, 6>;  // a reply's bytes 0 to 5; the checksum is added
using Frame = QueuedFrame;

const Frame kShieldRead = {0xA1, 0x02, 0xEF, 0, 0, 0, 0x7E, 0x54, SPI_TypeSend_ReadFunction};

// Hands a reply to the parser as the exchange thread does: into the incoming queue.
void deliver(const Head& head, bool good_checksum = true) {
  std::copy(head.begin(), head.end(), bufferSPI_MISO.write);
  ModRTU_CRC_Wrap(bufferSPI_MISO.write, _FRAME_BYTES);
  if (!good_checksum) bufferSPI_MISO.write[7] ^= 0x01;
  bufferSPI_MISO.write[_FRAME_SENDTYPE] = 0;
  buffer_write(&bufferSPI_MISO);
}

// Takes every request waiting to go out.
std::vector<Frame> sent_requests() { return take_all(bufferSPI_MOSI); }

// The inputs as the shield reported them: Ek, S0, S1, EkS, door detector.
void expect_inputs(const std::array<GPIO_Digital, 5>& levels) {
  EXPECT_EQ(stend_signal.Ek, levels[0]);
  EXPECT_EQ(stend_signal.S0, levels[1]);
  EXPECT_EQ(stend_signal.S1, levels[2]);
  EXPECT_EQ(stend_signal.EkS, levels[3]);
  EXPECT_EQ(stend_signal.DoorDetector, levels[4]);
}

class ReplyParser : public testing::Test {
 protected:
  void SetUp() override {
    SPI_str.maxRepeat = 5;
    // The ShieldRead request has gone out: it is what a resend repeats.
    SPI_command_ShieldRead();
    sent_requests();
  }
};

TEST_F(ReplyParser, AcceptedRepliesFillTheRecordsTheyCarryAndSetTheReplyCode) {
  struct Case {
    Head reply;
    uint8_t code;
    std::function<void()> check;
  };
  const Case cases[] = {
      {{0xA1, 0x02, 0x00, 0x01, 0x42, 0x1B},
       2,
       [] {
         EXPECT_EQ(shieldSt.firmware, 322);
         EXPECT_EQ(shieldSt.shield, 27);
       }},
      {{0xA1, 0x14, 0x2A, 0, 0, 0}, 20, [] {}},
      {{0xA1, 0x18, 0x01, 0x00, 0x00, 0x02},
       24,
       [] {
         EXPECT_EQ(shieldSt.id[0], 0x01000002u);
         EXPECT_TRUE(shieldSt.idAnswered[0]);
         EXPECT_FALSE(shieldSt.idAnswered[1]);
       }},
      {{0xA1, 0x19, 0x12, 0x34, 0x56, 0x78},
       25,
       [] {
         EXPECT_EQ(shieldSt.id[1], 0x12345678u);
         EXPECT_TRUE(shieldSt.idAnswered[1]);
       }},
      {{0xA1, 0x1A, 0xFE, 0xDC, 0xBA, 0x98},
       26,
       [] {
         EXPECT_EQ(shieldSt.id[2], 0xFEDCBA98u);
         EXPECT_TRUE(shieldSt.idAnswered[2]);
       }},
      {{0xA1, 0xE2, 0, 0, 0x01, 0x05},
       226,
       [] {
         expect_inputs({PIN_HIGH, PIN_LOW, PIN_HIGH, PIN_LOW, PIN_HIGH});
       }},
      // The opposite pattern, with the unused bits set: a swapped or shifted bit shows.
      {{0xA1, 0xE2, 0xFF, 0xFF, 0xFE, 0xFA},
       226,
       [] {
         expect_inputs({PIN_LOW, PIN_HIGH, PIN_LOW, PIN_HIGH, PIN_LOW});
       }},
      {{0xA1, 0xE4, 0, 0, 0x0A, 0x28}, 228, [] { EXPECT_EQ(stend_signal.Line, 2600); }},
      {{0xA1, 0xE4, 0, 0, 0xFF, 0xFF}, 228, [] { EXPECT_EQ(stend_signal.Line, 65535); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "reply code " << int{c.reply[1]});
    menuSt.functionRead = 0;
    for (auto& answered : shieldSt.idAnswered) answered = false;
    deliver(c.reply);
    SPI_parser();
    EXPECT_EQ(menuSt.functionRead, c.code);
    c.check();
    EXPECT_TRUE(sent_requests().empty()) << "an accepted reply asks for nothing";
  }
}

TEST_F(ReplyParser, APleaseRepeatReplyQueuesTheLastRequestAgainAndKeepsTheReplyCode) {
  menuSt.functionRead = 226;
  deliver({0xA1, 0xFF, 0, 0, 0, 0});
  SPI_parser();
  EXPECT_EQ(menuSt.functionRead, 226);
  EXPECT_EQ(sent_requests(), std::vector<Frame>{kShieldRead});
}

// Neither a reply for another address nor an unknown function code may touch
// the records, the reply code or the outgoing queue.
TEST_F(ReplyParser, IgnoresRepliesWithAnotherAddressOrAnUnknownCode) {
  const Head ignored[] = {
      {0x00, 0x02, 0x00, 0x01, 0x42, 0x1B},
      {0x00, 0xE4, 0, 0, 0x0A, 0x28},
      {0x00, 0xFF, 0, 0, 0, 0},
      {0xA1, 0x03, 0x00, 0x01, 0x42, 0x1B},
      {0xA1, 0x30, 1, 2, 3, 4},
      {0xA1, 0xE3, 0, 0, 0x0A, 0x28},
      {0xA1, 0x1B, 1, 2, 3, 4},
  };
  menuSt.functionRead = 24;
  shieldSt.firmware = 321;
  shieldSt.shield = 7;
  stend_signal.Line = 1234;
  for (auto& answered : shieldSt.idAnswered) answered = false;
  for (const Head& reply : ignored) {
    SCOPED_TRACE(testing::Message() << int{reply[0]} << " " << int{reply[1]});
    deliver(reply);
    SPI_parser();
    EXPECT_EQ(menuSt.functionRead, 24);
    EXPECT_EQ(shieldSt.firmware, 321);
    EXPECT_EQ(shieldSt.shield, 7);
    EXPECT_EQ(stend_signal.Line, 1234);
    EXPECT_FALSE(shieldSt.idAnswered[0] || shieldSt.idAnswered[1] || shieldSt.idAnswered[2]);
    EXPECT_TRUE(sent_requests().empty());
  }
}

// Bad checksums are counted over the whole run: every fifth marks the link
// failed instead of asking again; good and ignored frames do not reset the count.
TEST_F(ReplyParser, EveryFifthBadChecksumOfTheRunMarksTheLinkFailedAndTheOthersAskAgain) {
  enum Kind { Bad, Ignored, ShieldReply, DiReply };
  struct Step {
    Kind kind;
    bool resent;
    uint8_t code_after;
  };
  const Step script[] = {
      {Bad, true, 0},    {Ignored, false, 0},     {Bad, true, 0},    {Bad, true, 0}, {Bad, true, 0},
      {Bad, false, 255}, {ShieldReply, false, 2}, {Bad, true, 2},    {Bad, true, 2}, {DiReply, false, 226},
      {Bad, true, 226},  {Bad, true, 226},        {Bad, false, 255},
  };
  menuSt.functionRead = 0;
  int step = 0;
  for (const Step& s : script) {
    SCOPED_TRACE(testing::Message() << "step " << ++step);
    switch (s.kind) {
      case Bad:
        deliver({0xA1, 0x02, 0x00, 0x01, 0x42, 0x1B}, false);
        break;
      case Ignored:
        deliver({0x00, 0x02, 0x00, 0x01, 0x42, 0x1B});
        break;
      case ShieldReply:
        deliver({0xA1, 0x02, 0x00, 0x01, 0x42, 0x1B});
        break;
      case DiReply:
        deliver({0xA1, 0xE2, 0, 0, 0, 0});
        break;
    }
    SPI_parser();
    EXPECT_EQ(menuSt.functionRead, s.code_after);
    EXPECT_EQ(sent_requests(), s.resent ? std::vector<Frame>{kShieldRead} : std::vector<Frame>{});
  }
}

}  // namespace
