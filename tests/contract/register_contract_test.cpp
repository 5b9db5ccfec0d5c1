// The simulated stand's SPI0 functions leave the register words and send the
// bytes that Debian's real bcm2835 library does. The real library runs on
// memory arrays in place of the peripheral blocks; the same calls go to the
// simulated stand, read back through its SPI0 model and GPIO lines.
#include <bcm2835.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "board/board.h"
#include "board/spi0.h"
#include "test_stand.h"

// The real library, its symbols renamed at build time. Weak: they are null
// when the library is not installed.
extern "C" {
[[gnu::weak]] int real_bcm2835_spi_begin(void);
[[gnu::weak]] void real_bcm2835_spi_end(void);
[[gnu::weak]] void real_bcm2835_spi_setChipSelectPolarity(uint8_t, uint8_t);
[[gnu::weak]] void real_bcm2835_spi_setDataMode(uint8_t);
[[gnu::weak]] void real_bcm2835_spi_setClockDivider(uint16_t);
[[gnu::weak]] void real_bcm2835_spi_chipSelect(uint8_t);
[[gnu::weak]] void real_bcm2835_spi_setBitOrder(uint8_t);
[[gnu::weak]] void real_bcm2835_spi_transfernb(char*, char*, uint32_t);
[[gnu::weak]] uint8_t real_bcm2835_spi_transfer(uint8_t);
[[gnu::weak]] extern volatile uint32_t* real_bcm2835_spi0;
[[gnu::weak]] extern volatile uint32_t* real_bcm2835_gpio;
}

namespace {

// One controller taken through every setting, both ways, each call starting
// from what the previous ones left: b begin, e end, p<chip select>,<level>
// polarity, m mode, d divider (0 is 65536), s chip select, o bit order (0 LSB
// first), n and t send 0x31, which reads differently in each bit order, by
// transfernb and by transfer.
constexpr const char* kScript[] = {"b",    "p0,1", "p1,1", "p2,1", "m3",     "m1", "m2",   "m0", "p1,0",
                                   "p0,0", "p2,0", "d889", "d2",   "d65535", "d0", "s1",   "m3", "s0",
                                   "n",    "t",    "o0",   "n",    "t",      "o1", "p0,1", "e",  "b"};

// Returns what the call returns (the byte received for a transfer), 0 for none.
template <bool kReal>
int call(const char* c) {
#define SPI(f) (kReal ? real_bcm2835_spi_##f : bcm2835_spi_##f)
  unsigned short a = 0;
  uint8_t b = 0;
  std::sscanf(c + 1, "%hu,%hhu", &a, &b);
  auto a8 = static_cast<uint8_t>(a);
  char out = 0x31, in = 0;
  // clang-format off
  switch (c[0]) {
    case 'b': return SPI(begin)();
    case 'e': return SPI(end)(), 0;
    case 'p': return SPI(setChipSelectPolarity)(a8, b), 0;
    case 'm': return SPI(setDataMode)(a8), 0;
    case 'd': return SPI(setClockDivider)(a), 0;
    case 's': return SPI(chipSelect)(a8), 0;
    case 'o': return SPI(setBitOrder)(a8), 0;
    case 'n': return SPI(transfernb)(&out, &in, 1), static_cast<uint8_t>(in);
    default: return SPI(transfer)(0x31);
  }
    // clang-format on
#undef SPI
}

// What a call left: its result, the byte it sent, the settings CS holds, the
// divider, whether the receive FIFO was cleared, and the function of SPI0's
// pins and their neighbours.
std::string line(const char* c, int result, unsigned sent, uint32_t cs, uint32_t clk, bool cleared, auto fsel) {
  char text[128];
  int n = std::snprintf(text, sizeof text, "%s: %d sent %02x CS %08x CLK %u%s fsel ", c, result, sent, cs, clk,
                        cleared ? " cleared" : "");
  for (uint8_t pin = 6; pin <= 12; ++pin) n += std::snprintf(text + n, sizeof text - n, "%u", fsel(pin));
  return std::string(text) + "\n";
}

uint32_t spi0[8], gpio[64];  // the real library's peripheral blocks

std::string real_trace() {
  constexpr uint32_t kClear = BCM2835_SPI0_CS_CLEAR, kStatus = BCM2835_SPI0_CS_DONE | BCM2835_SPI0_CS_RXD |
                                                               BCM2835_SPI0_CS_TXD | BCM2835_SPI0_CS_RXR |
                                                               BCM2835_SPI0_CS_RXF;  // reported, not held
  real_bcm2835_spi0 = spi0, real_bcm2835_gpio = gpio;
  gpio[0] = 1 << 18, gpio[1] = 1 << 6;  // pins 6 and 12 outputs: SPI0 must leave its neighbours alone
  uint32_t &cs = spi0[BCM2835_SPI0_CS / 4], &fifo = spi0[BCM2835_SPI0_FIFO / 4];  // a written byte reads back
  std::string trace;
  for (auto c : kScript) {
    cs |= BCM2835_SPI0_CS_TXD | BCM2835_SPI0_CS_RXD | BCM2835_SPI0_CS_DONE;  // so a transfer runs through
    fifo = 0;
    int result = call<true>(c);
    bool cleared = (cs & kClear) == kClear;
    cs &= ~(kClear | kStatus);  // what the controller would read back
    trace += line(c, result, fifo, cs, spi0[BCM2835_SPI0_CLK / 4], cleared,
                  [](uint8_t pin) { return (gpio[pin / 10] >> (pin % 10 * 3)) & 7; });
  }
  return trace;
}

// The simulated side's bus loops too: a device on CE0 answers each byte with itself.
struct Loopback : sim::SpiDevice {
  uint8_t sent = 0;
  uint8_t exchange(const sim::StandLock&, uint8_t mosi, sim::StandTime) override { return sent = mosi; }
};

TEST(RegisterContract, SpiFunctionsLeaveTheWordsAndSendTheBytesOfTheRealLibrary) {
  if (real_bcm2835_spi_begin == nullptr) GTEST_SKIP() << "the real bcm2835 library (libbcm2835-dev) is not installed";
  ASSERT_TRUE(TestStand().start());
  Loopback device;
  sim::spi0_attach(0, &device);
  for (uint8_t pin : {uint8_t{6}, uint8_t{12}}) bcm2835_gpio_fsel(pin, BCM2835_GPIO_FSEL_OUTP);
  volatile uint32_t* cs = bcm2835_spi0 + BCM2835_SPI0_CS / 4;
  std::string trace;
  for (auto c : kScript) {
    // A byte left in the receive FIFO shows whether the call cleared it.
    uint32_t held = sim::spi0_control();
    bcm2835_peri_write(cs, held | BCM2835_SPI0_CS_TA);
    bcm2835_peri_write(bcm2835_spi0 + BCM2835_SPI0_FIFO / 4, 0);
    bcm2835_peri_write(cs, held);
    device.sent = 0;
    int result = call<false>(c);
    trace += line(c, result, device.sent, sim::spi0_control(), sim::spi0_clock_divider(),
                  (bcm2835_peri_read(cs) & BCM2835_SPI0_CS_RXD) == 0, sim::board_function);
  }
  EXPECT_EQ(trace, real_trace());
  sim::spi0_attach(0, nullptr);
}

}  // namespace
