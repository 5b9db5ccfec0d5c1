#include <gtest/gtest.h>

#include <string>

#include "bcm2835_ext.h"

namespace {

// The controller always shifts the most significant bit first: for the other
// order each byte is mirrored on its way through the FIFO.
TEST(BitOrder, MirrorsEachByteOnlyWhenTheLeastSignificantBitGoesFirst) {
  std::string mirrored;
  for (uint8_t order : {BCM2835_SPI_BIT_ORDER_MSBFIRST, BCM2835_SPI_BIT_ORDER_LSBFIRST}) {
    bcm2835_ext_spi_setBitOrder(order);
    for (int b : {0x01, 0x80, 0xA1, 0x0F})
      mirrored += std::to_string(bcm2835_correct_order(static_cast<uint8_t>(b))) + " ";
  }
  EXPECT_EQ(mirrored, "1 128 161 15 128 1 133 240 ");
}

}  // namespace
