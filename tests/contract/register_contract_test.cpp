// The simulated stand's SPI0 set-up functions write the register words that
// Debian's real bcm2835 library writes. The real library runs on memory arrays
// in place of the peripheral blocks; the same calls go to the simulated stand,
// whose SPI0 model and GPIO lines are read through its back door.
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
[[gnu::weak]] void real_bcm2835_spi_transfernb(char*, char*, uint32_t);
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
  void (*transfernb)(char*, char*, uint32_t);
};

enum class Call { begin, end, polarity, mode, divider, select, transfer };

struct Step {
  Call call;
  uint16_t a = 0, b = 0;
};

// Every setting, both ways, on one controller: each step starts from what the
// previous ones left.
// clang-format off
constexpr Step kSteps[] = {
    {Call::begin}, {Call::polarity, 0, HIGH}, {Call::polarity, 1, HIGH}, {Call::polarity, 2, HIGH},
    {Call::mode, 3}, {Call::mode, 1}, {Call::mode, 2}, {Call::mode, 0},
    {Call::polarity, 1, LOW}, {Call::polarity, 0, LOW}, {Call::polarity, 2, LOW},
    {Call::divider, 889}, {Call::divider, 2}, {Call::divider, 65535}, {Call::divider, BCM2835_SPI_CLOCK_DIVIDER_65536},
    {Call::select, 1}, {Call::mode, 3}, {Call::select, 0}, {Call::transfer},
    {Call::polarity, 0, HIGH}, {Call::end}, {Call::begin}};
// clang-format on

// Returns what the call returns, 0 for none.
int run(const Api& api, const Step& s) {
  char out = 0x5a, in = 0;
  switch (s.call) {
    case Call::begin:
      return api.begin();
    case Call::end:
      api.end();
      break;
    case Call::polarity:
      api.polarity(static_cast<uint8_t>(s.a), static_cast<uint8_t>(s.b));
      break;
    case Call::mode:
      api.mode(static_cast<uint8_t>(s.a));
      break;
    case Call::divider:
      api.divider(s.a);
      break;
    case Call::select:
      api.select(static_cast<uint8_t>(s.a));
      break;
    case Call::transfer:
      api.transfernb(&out, &in, 1);
      break;
  }
  return 0;
}

constexpr uint32_t kClear = BCM2835_SPI0_CS_CLEAR;
// Bits the controller reports rather than holds.
constexpr uint32_t kStatus =
    BCM2835_SPI0_CS_DONE | BCM2835_SPI0_CS_RXD | BCM2835_SPI0_CS_TXD | BCM2835_SPI0_CS_RXR | BCM2835_SPI0_CS_RXF;
constexpr uint8_t kPins[] = {6, 7, 8, 9, 10, 11, 12};  // SPI0's and their neighbours
using Functions = uint8_t[std::size(kPins)];

// One line per step: its result, the settings CS holds, the divider, whether
// both FIFOs were cleared, and the function of each pin around SPI0.
std::string line(size_t i, int result, uint32_t cs, uint32_t clk, bool cleared, const Functions& fsel) {
  char text[96];
  int n =
      std::snprintf(text, sizeof text, "%zu: %d CS %08x CLK %u%s fsel ", i, result, cs, clk, cleared ? " cleared" : "");
  for (auto f : fsel) n += std::snprintf(text + n, sizeof text - n, "%u", f);
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
                real_bcm2835_spi_transfernb};
  std::string trace;
  for (size_t i = 0; i < std::size(kSteps); ++i) {
    uint32_t& cs = spi0[BCM2835_SPI0_CS / 4];
    cs |= BCM2835_SPI0_CS_TXD | BCM2835_SPI0_CS_RXD | BCM2835_SPI0_CS_DONE;  // so a transfer runs through
    int result = run(api, kSteps[i]);
    bool cleared = (cs & kClear) == kClear;
    cs &= ~(kClear | kStatus);  // what the controller would read back
    Functions fsel;
    for (size_t p = 0; p < std::size(kPins); ++p) fsel[p] = (gpio[kPins[p] / 10] >> (kPins[p] % 10 * 3)) & 7;
    trace += line(i, result, cs, spi0[BCM2835_SPI0_CLK / 4], cleared, fsel);
  }
  return trace;
}

std::string sim_trace() {
  const Api api{bcm2835_spi_begin,
                bcm2835_spi_end,
                bcm2835_spi_setChipSelectPolarity,
                bcm2835_spi_setDataMode,
                bcm2835_spi_setClockDivider,
                bcm2835_spi_chipSelect,
                bcm2835_spi_transfernb};
  volatile uint32_t* cs = bcm2835_spi0 + BCM2835_SPI0_CS / 4;
  std::string trace;
  for (size_t i = 0; i < std::size(kSteps); ++i) {
    // A byte left in the receive FIFO shows whether the step cleared it.
    uint32_t held = sim::spi0_control();
    bcm2835_peri_write(cs, held | BCM2835_SPI0_CS_TA);
    bcm2835_peri_write(bcm2835_spi0 + BCM2835_SPI0_FIFO / 4, 0);
    bcm2835_peri_write(cs, held);
    int result = run(api, kSteps[i]);
    bool cleared = (bcm2835_peri_read(cs) & BCM2835_SPI0_CS_RXD) == 0;
    Functions fsel;
    for (size_t p = 0; p < std::size(kPins); ++p) fsel[p] = sim::board_function(kPins[p]);
    trace += line(i, result, sim::spi0_control(), sim::spi0_clock_divider(), cleared, fsel);
  }
  return trace;
}

TEST(RegisterContract, SpiSetUpWritesTheWordsOfTheRealLibrary) {
  if (real_bcm2835_spi_begin == nullptr) GTEST_SKIP() << "the real bcm2835 library (libbcm2835-dev) is not installed";
  TestStand stand;
  ASSERT_TRUE(stand.start());
  sim::spi0_attach(0, nullptr);  // registers only: the shield stays out of it
  EXPECT_EQ(sim_trace(), real_trace());
}

}  // namespace
