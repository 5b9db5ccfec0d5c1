#include "bcm2835_ext.h"

#include <atomic>

namespace {

std::atomic<uint8_t> bit_order{BCM2835_SPI_BIT_ORDER_MSBFIRST};

volatile uint32_t* spi0_cs() { return bcm2835_spi0 + BCM2835_SPI0_CS / 4; }
volatile uint32_t* spi0_fifo() { return bcm2835_spi0 + BCM2835_SPI0_FIFO / 4; }

void start_transfer() {
  bcm2835_peri_set_bits(spi0_cs(), BCM2835_SPI0_CS_CLEAR, BCM2835_SPI0_CS_CLEAR);
  bcm2835_peri_set_bits(spi0_cs(), BCM2835_SPI0_CS_TA, BCM2835_SPI0_CS_TA);
}

void finish_transfer() {
  while (!(bcm2835_peri_read_nb(spi0_cs()) & BCM2835_SPI0_CS_DONE)) {
  }
  bcm2835_peri_set_bits(spi0_cs(), 0, BCM2835_SPI0_CS_TA);
}

}  // namespace

void bcm2835_ext_spi_setBitOrder(uint8_t order) {
  bit_order = order;
  bcm2835_spi_setBitOrder(order);
}

uint8_t bcm2835_correct_order(uint8_t b) {
  if (bit_order == BCM2835_SPI_BIT_ORDER_MSBFIRST) return b;
  uint8_t reversed = 0;
  for (int i = 0; i < 8; ++i) reversed = static_cast<uint8_t>(reversed | ((b >> i) & 1) << (7 - i));
  return reversed;
}

void bcm2835_spi_transfer_write(const uint8_t* tbuf, uint32_t len) {
  start_transfer();
  for (uint32_t sent = 0; sent < len;) {
    while ((bcm2835_peri_read(spi0_cs()) & BCM2835_SPI0_CS_TXD) && sent < len)
      bcm2835_peri_write_nb(spi0_fifo(), bcm2835_correct_order(tbuf[sent++]));
  }
  finish_transfer();
}

void bcm2835_spi_transfer_read(uint8_t* rbuf, uint32_t len) {
  start_transfer();
  uint32_t sent = 0, received = 0;
  while (sent < len || received < len) {
    while ((bcm2835_peri_read(spi0_cs()) & BCM2835_SPI0_CS_TXD) && sent < len) {
      bcm2835_peri_write_nb(spi0_fifo(), bcm2835_correct_order(0x00));
      ++sent;
    }
    while ((bcm2835_peri_read(spi0_cs()) & BCM2835_SPI0_CS_RXD) && received < len)
      rbuf[received++] = bcm2835_correct_order(static_cast<uint8_t>(bcm2835_peri_read_nb(spi0_fifo())));
  }
  finish_transfer();
}
