#include "CRC16.h"

#include <gtest/gtest.h>

namespace {

// The link's own frames are checked with their requests; here the edges: the
// checksum sits in the last two bytes, high byte first, so two bytes leave no
// room for a payload, and a frame too short for a checksum is never valid
// (nothing outside it is read: a sanitizer build would see a stray read).
TEST(Crc16, CoversAllButTheLastTwoBytesAndSitsThereHighByteFirst) {
  const uint8_t one[1] = {0xFF}, nothing_checked[2] = {0xFF, 0xFF};
  uint8_t two[2] = {0x12, 0x34}, three[3] = {'1', 0, 0}, swapped[3] = {'1', 0, 0};
  EXPECT_EQ(ModRTU_CRC(one, 0), 0xFFFF);
  ModRTU_CRC_Wrap(two, 2);
  ModRTU_CRC_Wrap(three, 3);
  ModRTU_CRC_Wrap(swapped, 3);
  std::swap(swapped[1], swapped[2]);
  EXPECT_EQ(two[0] << 8 | two[1], 0x1234);
  EXPECT_EQ(three[1] << 8 | three[2], 0x947E);
  EXPECT_EQ(ModRTU_CRC_True(three, 3), 1);
  EXPECT_EQ(ModRTU_CRC_True(swapped, 3), 0) << "low byte first";
  EXPECT_EQ(ModRTU_CRC_True(nothing_checked, 2), 1) << "the checksum of nothing";
  EXPECT_EQ(ModRTU_CRC_True(one, 0) + ModRTU_CRC_True(one, 1), 0);
}

}  // namespace
