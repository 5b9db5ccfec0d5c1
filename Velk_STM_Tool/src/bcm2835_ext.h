// What the stand needs of the bcm2835 library beyond its public API: the
// clock divider the link runs at, the bit-order correction of the bytes that
// pass through the FIFO, and write-only and read-only block transfers, built
// on the library's register access functions.
#pragma once
#include <bcm2835.h>

#include <cstdint>

// About 281 kHz at the nominal 250 MHz core clock.
inline constexpr uint16_t BCM2835_SPI_CLOCK_DIVIDER_889 = 889;

// Sets the bit order on the controller and for bcm2835_correct_order.
void bcm2835_ext_spi_setBitOrder(uint8_t order);

// The byte as it must go to (or comes from) the FIFO for the chosen bit
// order: the controller itself always shifts the most significant bit first.
uint8_t bcm2835_correct_order(uint8_t b);

// Sends `len` bytes in one chip-select window; what comes back is dropped.
void bcm2835_spi_transfer_write(const uint8_t* tbuf, uint32_t len);
// Sends `len` zero bytes in one chip-select window and keeps what comes back.
void bcm2835_spi_transfer_read(uint8_t* rbuf, uint32_t len);
