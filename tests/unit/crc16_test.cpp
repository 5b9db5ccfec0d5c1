#include "CRC16.h"

#include <gtest/gtest.h>

#include <array>
#include <utility>

namespace {

using Frame = std::array<uint8_t, 8>;

TEST(Crc16, MatchesTheCheckValueOfTheDigitsOneToNine) {
  const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(ModRTU_CRC(digits, 9), 0x4B37);
}

TEST(Crc16, OfNoBytesIsTheInitialValue) {
  const uint8_t none[1] = {0x12};
  EXPECT_EQ(ModRTU_CRC(none, 0), 0xFFFF);
}

// The request frames of the link, with the checksum the shield's firmware expects.
TEST(Crc16, WrapPutsTheChecksumHighByteFirstIntoTheLastTwoBytesOfEachRequest) {
  const std::pair<Frame, Frame> cases[] = {
      {{0xA1, 0x02, 0xEF, 0, 0, 0, 0, 0}, {0xA1, 0x02, 0xEF, 0, 0, 0, 0x7E, 0x54}},
      {{0xA1, 0xE2, 0, 0, 0, 0, 0, 0}, {0xA1, 0xE2, 0, 0, 0, 0, 0x7C, 0xE1}},
      {{0xA1, 0xE4, 0, 0, 0, 0, 0, 0}, {0xA1, 0xE4, 0, 0, 0, 0, 0x7C, 0x69}},
      {{0xA1, 0xFF, 0, 0, 0, 0, 0, 0}, {0xA1, 0xFF, 0, 0, 0, 0, 0x7E, 0x0D}},
  };
  for (auto [frame, wrapped] : cases) {
    SCOPED_TRACE(testing::Message() << "function code " << int{frame[1]});
    ModRTU_CRC_Wrap(frame.data(), 8);
    EXPECT_EQ(frame, wrapped);
    EXPECT_EQ(ModRTU_CRC_True(frame.data(), 8), 1);
  }
}

TEST(Crc16, RejectsAFrameWhoseChecksumIsLowByteFirst) {
  Frame swapped = {0xA1, 0x02, 0xEF, 0, 0, 0, 0x54, 0x7E};
  EXPECT_EQ(ModRTU_CRC_True(swapped.data(), 8), 0);
}

// A garbled bit anywhere on the wire, payload or checksum, must be noticed.
TEST(Crc16, RejectsEverySingleBitErrorInAReply) {
  const Frame good = {0xA1, 0x02, 0x00, 0x01, 0x42, 0x1B, 0, 0};
  Frame reply = good;
  ModRTU_CRC_Wrap(reply.data(), 8);
  for (int bit = 0; bit < 64; ++bit) {
    Frame garbled = reply;
    garbled[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    EXPECT_EQ(ModRTU_CRC_True(garbled.data(), 8), 0) << "bit " << bit;
  }
}

TEST(Crc16, WrapLeavesAFrameOfTwoBytesOrLessUntouched) {
  uint8_t two[2] = {0x12, 0x34};
  ModRTU_CRC_Wrap(two, 2);
  EXPECT_EQ(two[0], 0x12);
  EXPECT_EQ(two[1], 0x34);
}

// Two bytes are only a checksum, of nothing: 0xFFFF. Shorter frames have no
// room for one and are never valid; the buffer is exactly one byte long, so a
// read outside it shows up in a sanitizer build.
TEST(Crc16, ValidatesFramesTooShortForAChecksumAsInvalidWithoutReadingOutside) {
  const uint8_t one[1] = {0xFF};
  EXPECT_EQ(ModRTU_CRC_True(one, 0), 0);
  EXPECT_EQ(ModRTU_CRC_True(one, 1), 0);
  const uint8_t only_checksum[2] = {0xFF, 0xFF};
  EXPECT_EQ(ModRTU_CRC_True(only_checksum, 2), 1);
}

}  // namespace
