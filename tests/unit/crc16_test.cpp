#include "CRC16.h"

#include <gtest/gtest.h>

#include <array>

#include "link_codes.h"

namespace {

using Frame = std::array<uint8_t, 8>;

TEST(Crc16, IsModbusPlacedHighByteFirst) {
  const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(ModRTU_CRC(digits, 9), 0x4B37);
  EXPECT_EQ(ModRTU_CRC(digits, 0), 0xFFFF);
  // The request frames of the link, with the checksum the shield's firmware expects.
  const Frame wrapped[] = {
      {_SPI_ADDRESS, _FUNC_SHIELDREAD, 0xEF, 0, 0, 0, 0x7E, 0x54},
      {_SPI_ADDRESS, _FUNC_DI, 0, 0, 0, 0, 0x7C, 0xE1},
      {_SPI_ADDRESS, _FUNC_AI, 0, 0, 0, 0, 0x7C, 0x69},
      {_SPI_ADDRESS, _FUNC_PLEASEREPEAT, 0, 0, 0, 0, 0x7E, 0x0D},
  };
  for (const Frame& expected : wrapped) {
    Frame f = expected;
    f[6] = f[7] = 0;
    ModRTU_CRC_Wrap(f.data(), 8);
    EXPECT_EQ(f, expected);
    EXPECT_EQ(ModRTU_CRC_True(f.data(), 8), 1);
  }
  uint8_t two[2] = {0x12, 0x34}, three[3] = {'1', 0, 0};
  ModRTU_CRC_Wrap(two, 2);
  EXPECT_EQ(two[0] << 8 | two[1], 0x1234) << "two bytes leave no room for a payload";
  ModRTU_CRC_Wrap(three, 3);
  EXPECT_EQ(three[1] << 8 | three[2], ModRTU_CRC(three, 1)) << "one byte of payload";
}

// A garbled bit anywhere, and checksum bytes in the wrong order, are noticed;
// a frame too short for a checksum is never valid and nothing outside it is
// read (the buffer is one byte long: a sanitizer build would see a stray read).
TEST(Crc16, RejectsEveryCorruptedOrTooShortFrame) {
  Frame reply = {_SPI_ADDRESS, _FUNC_SHIELDREAD, 0x00, 0x01, 0x42, 0x1B, 0, 0};
  ModRTU_CRC_Wrap(reply.data(), 8);
  for (int bit = 0; bit < 64; ++bit) {
    Frame garbled = reply;
    garbled[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    EXPECT_EQ(ModRTU_CRC_True(garbled.data(), 8), 0) << "bit " << bit;
  }
  std::swap(reply[6], reply[7]);
  EXPECT_EQ(ModRTU_CRC_True(reply.data(), 8), 0) << "low byte first";
  const uint8_t one[1] = {0xFF};
  EXPECT_EQ(ModRTU_CRC_True(one, 0) + ModRTU_CRC_True(one, 1), 0);
  const uint8_t only_checksum[2] = {0xFF, 0xFF};
  EXPECT_EQ(ModRTU_CRC_True(only_checksum, 2), 1) << "the checksum of nothing";
}

}  // namespace
