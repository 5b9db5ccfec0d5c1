// The part of the bcm2835 library's API that the stand programs use, served by
// the simulated board. Declarations come from the real bcm2835.h, so the names,
// constants and signatures are the library's own. Register accesses to the
// SPI0 block go to the controller model; anything else of the library is left
// out (bcm2835_init, which puts the stand together, is the stand's). Using the
// peripherals before a successful bcm2835_init, or SPI0 when it could not be
// mapped, stops the process: the real library would crash there.
#include <bcm2835.h>
#include <sys/mman.h>

#include <cstdio>
#include <cstdlib>

#include "board/board.h"
#include "time/clock.h"
#include "board/spi0.h"

volatile uint32_t* bcm2835_spi0 = static_cast<uint32_t*>(MAP_FAILED);
volatile uint32_t* bcm2835_gpio = static_cast<uint32_t*>(MAP_FAILED);

namespace {

constexpr size_t kSpi0Words = BCM2835_SPI0_DC / 4 + 1;
uint32_t spi0_block[kSpi0Words];  // addresses only: the contents live in the model
uint32_t gpio_block[1];
uint8_t spi_bit_order = BCM2835_SPI_BIT_ORDER_MSBFIRST;

[[noreturn]] void misuse(const char* what) {
  std::fprintf(stderr, "simulated stand: %s\n", what);
  std::fflush(nullptr);
  std::abort();
}

void need_gpio() {
  if (bcm2835_gpio == MAP_FAILED) misuse("GPIO used without a successful bcm2835_init");
}

bool in_spi0(volatile uint32_t* p) { return p >= spi0_block && p < spi0_block + kSpi0Words; }

uint32_t offset_of(volatile uint32_t* p) { return static_cast<uint32_t>((p - spi0_block) * 4); }

void need_spi0(volatile uint32_t* p) {
  if (!in_spi0(p)) misuse("register access outside the mapped SPI0 block");
  if (bcm2835_spi0 == MAP_FAILED) misuse("SPI0 register used although SPI0 is not mapped");
}

uint8_t correct(uint8_t b) {
  if (spi_bit_order == BCM2835_SPI_BIT_ORDER_MSBFIRST) return b;
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r = static_cast<uint8_t>(r | ((b >> i) & 1) << (7 - i));
  return r;
}

volatile uint32_t* spi0_reg(uint32_t offset) { return bcm2835_spi0 + offset / 4; }

}  // namespace

void sim::board_map_peripherals(bool with_spi0) {
  bcm2835_gpio = gpio_block;
  if (with_spi0) bcm2835_spi0 = spi0_block;
}

extern "C" {

void bcm2835_gpio_fsel(uint8_t pin, uint8_t mode) {
  need_gpio();
  sim::StandLock lock(sim::stand_mutex());
  sim::board_fsel_locked(lock, pin, mode);
}

void bcm2835_gpio_write(uint8_t pin, uint8_t on) {
  need_gpio();
  sim::StandLock lock(sim::stand_mutex());
  sim::board_write_locked(lock, pin, on);
}

void bcm2835_gpio_set(uint8_t pin) { bcm2835_gpio_write(pin, HIGH); }
void bcm2835_gpio_clr(uint8_t pin) { bcm2835_gpio_write(pin, LOW); }

uint8_t bcm2835_gpio_lev(uint8_t pin) {
  need_gpio();
  sim::StandLock lock(sim::stand_mutex());
  return sim::board_level_locked(lock, pin);
}

void bcm2835_delay(unsigned int millis) { sim::clock_delay_us(uint64_t{millis} * 1000); }
void bcm2835_delayMicroseconds(uint64_t micros) { sim::clock_delay_us(micros); }

uint32_t bcm2835_peri_read(volatile uint32_t* paddr) {
  need_spi0(paddr);
  sim::StandLock lock(sim::stand_mutex());
  return sim::spi0_read_locked(lock, offset_of(paddr));
}

uint32_t bcm2835_peri_read_nb(volatile uint32_t* paddr) { return bcm2835_peri_read(paddr); }

void bcm2835_peri_write(volatile uint32_t* paddr, uint32_t value) {
  need_spi0(paddr);
  sim::StandLock lock(sim::stand_mutex());
  sim::spi0_write_locked(lock, offset_of(paddr), value);
}

void bcm2835_peri_write_nb(volatile uint32_t* paddr, uint32_t value) { bcm2835_peri_write(paddr, value); }

void bcm2835_peri_set_bits(volatile uint32_t* paddr, uint32_t value, uint32_t mask) {
  uint32_t v = bcm2835_peri_read(paddr);
  bcm2835_peri_write(paddr, (v & ~mask) | (value & mask));
}

int bcm2835_spi_begin(void) {
  if (bcm2835_spi0 == MAP_FAILED) return 0;
  for (uint8_t pin = 7; pin <= 11; ++pin) bcm2835_gpio_fsel(pin, BCM2835_GPIO_FSEL_ALT0);
  sim::StandLock lock(sim::stand_mutex());
  sim::spi0_reset_locked(lock);
  return 1;
}

void bcm2835_spi_end(void) {
  for (uint8_t pin = 7; pin <= 11; ++pin) bcm2835_gpio_fsel(pin, BCM2835_GPIO_FSEL_INPT);
}

void bcm2835_spi_setBitOrder(uint8_t order) { spi_bit_order = order; }

void bcm2835_spi_setClockDivider(uint16_t divider) { bcm2835_peri_write(spi0_reg(BCM2835_SPI0_CLK), divider); }

void bcm2835_spi_setDataMode(uint8_t mode) {
  bcm2835_peri_set_bits(spi0_reg(BCM2835_SPI0_CS), static_cast<uint32_t>(mode) << 2,
                        BCM2835_SPI0_CS_CPOL | BCM2835_SPI0_CS_CPHA);
}

void bcm2835_spi_chipSelect(uint8_t cs) { bcm2835_peri_set_bits(spi0_reg(BCM2835_SPI0_CS), cs, BCM2835_SPI0_CS_CS); }

void bcm2835_spi_setChipSelectPolarity(uint8_t cs, uint8_t active) {
  uint8_t shift = static_cast<uint8_t>(21 + cs);
  bcm2835_peri_set_bits(spi0_reg(BCM2835_SPI0_CS), static_cast<uint32_t>(active) << shift, 1u << shift);
}

void bcm2835_spi_transfernb(char* tbuf, char* rbuf, uint32_t len) {
  auto* cs = spi0_reg(BCM2835_SPI0_CS);
  auto* fifo = spi0_reg(BCM2835_SPI0_FIFO);
  bcm2835_peri_set_bits(cs, BCM2835_SPI0_CS_CLEAR, BCM2835_SPI0_CS_CLEAR);
  bcm2835_peri_set_bits(cs, BCM2835_SPI0_CS_TA, BCM2835_SPI0_CS_TA);
  uint32_t sent = 0, received = 0;
  while (sent < len || received < len) {
    while ((bcm2835_peri_read(cs) & BCM2835_SPI0_CS_TXD) && sent < len)
      bcm2835_peri_write_nb(fifo, correct(static_cast<uint8_t>(tbuf[sent++])));
    while ((bcm2835_peri_read(cs) & BCM2835_SPI0_CS_RXD) && received < len)
      rbuf[received++] = static_cast<char>(correct(static_cast<uint8_t>(bcm2835_peri_read_nb(fifo))));
  }
  while (!(bcm2835_peri_read_nb(cs) & BCM2835_SPI0_CS_DONE)) {
  }
  bcm2835_peri_set_bits(cs, 0, BCM2835_SPI0_CS_TA);
}

uint8_t bcm2835_spi_transfer(uint8_t value) {
  char t = static_cast<char>(value), r = 0;
  bcm2835_spi_transfernb(&t, &r, 1);
  return static_cast<uint8_t>(r);
}

}  // extern "C"
