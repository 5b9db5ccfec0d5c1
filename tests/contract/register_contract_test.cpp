// The simulated stand's SPI0 functions leave the register words and send the
// bytes that Debian's real bcm2835 library does. The real library runs on
// memory arrays in place of the peripheral blocks; the same calls go to the
// simulated stand, read back through its SPI0 model and GPIO lines.
#include <bcm2835.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "board.h"
#include "spi0.h"
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

struct Api {
  int (*begin)();
  void (*end)();
  void (*polarity)(uint8_t, uint8_t);
  void (*mode)(uint8_t);
  void (*divider)(uint16_t);
  void (*select)(uint8_t);
  void (*order)(uint8_t);
  void (*transfernb)(char*, char*, uint32_t);
  uint8_t (*transfer)(uint8_t);
};

// One controller taken through every setting, both ways: each step starts from
// what the previous ones left, and returns what its call returns (the byte
// received for a transfer), 0 for none. 0x31 reads differently in each bit order.
using Step = int (*)(const Api&);
int transfernb(const Api& l) {
  char out = 0x31, in = 0;
  l.transfernb(&out, &in, 1);
  return static_cast<uint8_t>(in);
}
// clang-format off
constexpr Step kSteps[] = {
    [](const Api& l) { return l.begin(); },
    [](const Api& l) { return l.polarity(0, HIGH), l.polarity(1, HIGH), l.polarity(2, HIGH), 0; },
    [](const Api& l) { return l.mode(3), 0; }, [](const Api& l) { return l.mode(1), 0; },
    [](const Api& l) { return l.mode(2), 0; }, [](const Api& l) { return l.mode(0), 0; },
    [](const Api& l) { return l.polarity(1, LOW), l.polarity(0, LOW), l.polarity(2, LOW), 0; },
    [](const Api& l) { return l.divider(889), 0; }, [](const Api& l) { return l.divider(2), 0; },
    [](const Api& l) { return l.divider(65535), 0; },
    [](const Api& l) { return l.divider(BCM2835_SPI_CLOCK_DIVIDER_65536), 0; },
    [](const Api& l) { return l.select(1), l.mode(3), 0; }, [](const Api& l) { return l.select(0), 0; },
    transfernb, [](const Api& l) { return int{l.transfer(0x31)}; },
    [](const Api& l) { return l.order(BCM2835_SPI_BIT_ORDER_LSBFIRST), 0; },
    transfernb, [](const Api& l) { return int{l.transfer(0x31)}; },
    [](const Api& l) { return l.order(BCM2835_SPI_BIT_ORDER_MSBFIRST), l.polarity(0, HIGH), 0; },
    [](const Api& l) { return l.end(), 0; }, [](const Api& l) { return l.begin(); }};
// clang-format on

constexpr uint32_t kClear = BCM2835_SPI0_CS_CLEAR;
// Bits the controller reports rather than holds.
constexpr uint32_t kStatus =
    BCM2835_SPI0_CS_DONE | BCM2835_SPI0_CS_RXD | BCM2835_SPI0_CS_TXD | BCM2835_SPI0_CS_RXR | BCM2835_SPI0_CS_RXF;
// What a step left: its result, the byte it sent, the settings CS holds, the
// divider, whether the receive FIFO was cleared, and the function of SPI0's
// pins and their neighbours.
std::string line(int result, unsigned sent, uint32_t cs, uint32_t clk, bool cleared, auto function_of) {
  char text[128];
  int n = std::snprintf(text, sizeof text, "%d sent %02x CS %08x CLK %u%s fsel ", result, sent, cs, clk,
                        cleared ? " cleared" : "");
  for (uint8_t pin = 6; pin <= 12; ++pin) n += std::snprintf(text + n, sizeof text - n, "%u", function_of(pin));
  return std::string(text) + "\n";
}

uint32_t spi0[8], gpio[64];  // the real library's peripheral blocks

std::string real_trace() {
  real_bcm2835_spi0 = spi0;
  real_bcm2835_gpio = gpio;
  gpio[0] = 1 << 18, gpio[1] = 1 << 6;  // pins 6 and 12 outputs: SPI0 must leave its neighbours alone
  // clang-format off
  const Api api{real_bcm2835_spi_begin, real_bcm2835_spi_end, real_bcm2835_spi_setChipSelectPolarity,
                real_bcm2835_spi_setDataMode, real_bcm2835_spi_setClockDivider, real_bcm2835_spi_chipSelect,
                real_bcm2835_spi_setBitOrder, real_bcm2835_spi_transfernb, real_bcm2835_spi_transfer};
  // clang-format on
  uint32_t& cs = spi0[BCM2835_SPI0_CS / 4];
  uint32_t& fifo = spi0[BCM2835_SPI0_FIFO / 4];  // a written byte reads back: the bus loops
  std::string trace;
  for (auto step : kSteps) {
    cs |= BCM2835_SPI0_CS_TXD | BCM2835_SPI0_CS_RXD | BCM2835_SPI0_CS_DONE;  // so a transfer runs through
    fifo = 0;
    int result = step(api);
    bool cleared = (cs & kClear) == kClear;
    cs &= ~(kClear | kStatus);  // what the controller would read back
    trace += line(result, fifo, cs, spi0[BCM2835_SPI0_CLK / 4], cleared,
                  [](uint8_t pin) { return (gpio[pin / 10] >> (pin % 10 * 3)) & 7; });
  }
  return trace;
}

// The simulated side's bus loops too: a device on CE0 answers each byte with itself.
struct Loopback : sim::SpiDevice {
  uint8_t sent = 0;
  uint8_t exchange(const sim::StandLock&, uint8_t mosi, sim::StandTime) override { return sent = mosi; }
};

std::string sim_trace() {
  const Api api{
      bcm2835_spi_begin,           bcm2835_spi_end,        bcm2835_spi_setChipSelectPolarity, bcm2835_spi_setDataMode,
      bcm2835_spi_setClockDivider, bcm2835_spi_chipSelect, bcm2835_spi_setBitOrder,           bcm2835_spi_transfernb,
      bcm2835_spi_transfer};
  Loopback device;
  sim::spi0_attach(0, &device);
  for (uint8_t pin : {uint8_t{6}, uint8_t{12}}) bcm2835_gpio_fsel(pin, BCM2835_GPIO_FSEL_OUTP);
  volatile uint32_t* cs = bcm2835_spi0 + BCM2835_SPI0_CS / 4;
  std::string trace;
  for (auto step : kSteps) {
    // A byte left in the receive FIFO shows whether the step cleared it.
    uint32_t held = sim::spi0_control();
    bcm2835_peri_write(cs, held | BCM2835_SPI0_CS_TA);
    bcm2835_peri_write(bcm2835_spi0 + BCM2835_SPI0_FIFO / 4, 0);
    bcm2835_peri_write(cs, held);
    device.sent = 0;
    int result = step(api);
    trace += line(result, device.sent, sim::spi0_control(), sim::spi0_clock_divider(),
                  (bcm2835_peri_read(cs) & BCM2835_SPI0_CS_RXD) == 0, sim::board_function);
  }
  sim::spi0_attach(0, nullptr);
  return trace;
}

TEST(RegisterContract, SpiFunctionsLeaveTheWordsAndSendTheBytesOfTheRealLibrary) {
  if (real_bcm2835_spi_begin == nullptr) GTEST_SKIP() << "the real bcm2835 library (libbcm2835-dev) is not installed";
  TestStand stand;
  ASSERT_TRUE(stand.start());
  EXPECT_EQ(sim_trace(), real_trace());
}

}  // namespace
