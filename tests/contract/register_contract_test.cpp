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

enum class Call { begin, end, polarity, mode, divider, select, order, transfernb, transfer };

struct Step {
  Call call;
  uint16_t a = 0, b = 0;
};

// Every setting, both ways, on one controller: each step starts from what the
// previous ones left. 0x31 reads differently in each bit order.
// clang-format off
constexpr Step kSteps[] = {
    {Call::begin}, {Call::polarity, 0, HIGH}, {Call::polarity, 1, HIGH}, {Call::polarity, 2, HIGH},
    {Call::mode, 3}, {Call::mode, 1}, {Call::mode, 2}, {Call::mode, 0},
    {Call::polarity, 1, LOW}, {Call::polarity, 0, LOW}, {Call::polarity, 2, LOW},
    {Call::divider, 889}, {Call::divider, 2}, {Call::divider, 65535}, {Call::divider, BCM2835_SPI_CLOCK_DIVIDER_65536},
    {Call::select, 1}, {Call::mode, 3}, {Call::select, 0}, {Call::transfernb, 0x31}, {Call::transfer, 0x31},
    {Call::order, BCM2835_SPI_BIT_ORDER_LSBFIRST}, {Call::transfernb, 0x31}, {Call::transfer, 0x31},
    {Call::order, BCM2835_SPI_BIT_ORDER_MSBFIRST}, {Call::polarity, 0, HIGH}, {Call::end}, {Call::begin}};
// clang-format on

// Returns what the call returns (the byte received for a transfer), 0 for none.
int run(const Api& api, const Step& s) {
  auto a = static_cast<uint8_t>(s.a), b = static_cast<uint8_t>(s.b);
  char in = 0;
  switch (s.call) {
    case Call::begin:
      return api.begin();
    case Call::end:
      api.end();
      break;
    case Call::polarity:
      api.polarity(a, b);
      break;
    case Call::mode:
      api.mode(a);
      break;
    case Call::divider:
      api.divider(s.a);
      break;
    case Call::select:
      api.select(a);
      break;
    case Call::order:
      api.order(a);
      break;
    case Call::transfernb:
      api.transfernb(reinterpret_cast<char*>(&a), &in, 1);
      return static_cast<uint8_t>(in);
    case Call::transfer:
      return api.transfer(a);
  }
  return 0;
}

constexpr uint32_t kClear = BCM2835_SPI0_CS_CLEAR;
// Bits the controller reports rather than holds.
constexpr uint32_t kStatus =
    BCM2835_SPI0_CS_DONE | BCM2835_SPI0_CS_RXD | BCM2835_SPI0_CS_TXD | BCM2835_SPI0_CS_RXR | BCM2835_SPI0_CS_RXF;
constexpr uint8_t kPins[] = {6, 7, 8, 9, 10, 11, 12};  // SPI0's and their neighbours

// What a step left: its result, the byte it sent, the settings CS holds, the
// divider, whether both FIFOs were cleared, and the function of each pin.
struct After {
  int result;
  unsigned sent;
  uint32_t cs, clk;
  bool cleared;
  uint8_t fsel[std::size(kPins)];
};

std::string line(size_t i, const After& a) {
  char text[128];
  int n = std::snprintf(text, sizeof text, "%zu: %d sent %02x CS %08x CLK %u%s fsel ", i, a.result, a.sent, a.cs, a.clk,
                        a.cleared ? " cleared" : "");
  for (auto f : a.fsel) n += std::snprintf(text + n, sizeof text - n, "%u", f);
  return std::string(text) + "\n";
}

std::string real_trace() {
  static uint32_t spi0[8], gpio[64];
  real_bcm2835_spi0 = spi0;
  real_bcm2835_gpio = gpio;
  const Api api{real_bcm2835_spi_begin,
                real_bcm2835_spi_end,
                real_bcm2835_spi_setChipSelectPolarity,
                real_bcm2835_spi_setDataMode,
                real_bcm2835_spi_setClockDivider,
                real_bcm2835_spi_chipSelect,
                real_bcm2835_spi_setBitOrder,
                real_bcm2835_spi_transfernb,
                real_bcm2835_spi_transfer};
  uint32_t& cs = spi0[BCM2835_SPI0_CS / 4];
  uint32_t& fifo = spi0[BCM2835_SPI0_FIFO / 4];  // a written byte reads back: the bus loops
  std::string trace;
  for (size_t i = 0; i < std::size(kSteps); ++i) {
    cs |= BCM2835_SPI0_CS_TXD | BCM2835_SPI0_CS_RXD | BCM2835_SPI0_CS_DONE;  // so a transfer runs through
    fifo = 0;
    After a{run(api, kSteps[i]), fifo, 0, spi0[BCM2835_SPI0_CLK / 4], (cs & kClear) == kClear, {}};
    cs &= ~(kClear | kStatus);  // what the controller would read back
    a.cs = cs;
    for (size_t p = 0; p < std::size(kPins); ++p) a.fsel[p] = (gpio[kPins[p] / 10] >> (kPins[p] % 10 * 3)) & 7;
    trace += line(i, a);
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
  volatile uint32_t* cs = bcm2835_spi0 + BCM2835_SPI0_CS / 4;
  std::string trace;
  for (size_t i = 0; i < std::size(kSteps); ++i) {
    // A byte left in the receive FIFO shows whether the step cleared it.
    uint32_t held = sim::spi0_control();
    bcm2835_peri_write(cs, held | BCM2835_SPI0_CS_TA);
    bcm2835_peri_write(bcm2835_spi0 + BCM2835_SPI0_FIFO / 4, 0);
    bcm2835_peri_write(cs, held);
    device.sent = 0;
    int result = run(api, kSteps[i]);
    After a{result,
            device.sent,
            sim::spi0_control(),
            sim::spi0_clock_divider(),
            (bcm2835_peri_read(cs) & BCM2835_SPI0_CS_RXD) == 0,
            {}};
    for (size_t p = 0; p < std::size(kPins); ++p) a.fsel[p] = sim::board_function(kPins[p]);
    trace += line(i, a);
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
